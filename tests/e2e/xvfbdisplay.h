// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>

// A private X server for one test, on a display number it picks itself.
class XvfbDisplay
{
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 1024;

    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;

    // Starts Xvfb and waits until it accepts clients; false with error() on failure.
    bool start();
    // ":<n>"
    QString name() const { return m_name; }
    QString error() const { return m_error; }

private:
    QProcess m_process;
    QString m_name;
    QString m_error;
};
