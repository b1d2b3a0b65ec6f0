// SPDX-License-Identifier: MIT
#pragma once

// Both programs scale by the screen's factor, rounded .5 down, and take pictures from their
// "@2x" versions. Qt 6 always scales and picks those pictures; Qt 5 is told to.
#include <QGuiApplication>

namespace HighDpi {

// Before the application object exists.
inline void enable()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
}

} // namespace HighDpi
