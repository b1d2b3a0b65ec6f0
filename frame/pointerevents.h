// SPDX-License-Identifier: MIT
#pragma once

// Where Qt 5 and Qt 6 differ in the pointer's events. QWidget::enterEvent takes a plain QEvent
// on Qt 5 and a QEnterEvent on Qt 6: overrides name EnterEvent and use only what QEvent has. A
// mouse event's positions are localPos()/screenPos() on Qt 5, position()/globalPosition() on Qt 6.
#include <QEvent>
#include <QMouseEvent>
#include <QPointF>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QEnterEvent>
using EnterEvent = QEnterEvent;
#else
using EnterEvent = QEvent;
#endif

namespace PointerEvents {

// Where the pointer is, in the receiving widget's coordinates.
inline QPointF localPosition(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->position();
#else
    return event->localPos();
#endif
}

// Where the pointer is on the virtual desktop.
inline QPointF globalPosition(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->globalPosition();
#else
    return event->screenPos();
#endif
}

} // namespace PointerEvents
