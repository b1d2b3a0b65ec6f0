// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

// What a person does and sees on one X display: windows found by title, mouse and
// keyboard through xdotool, the screen through ImageMagick's import.
class Desktop
{
public:
    explicit Desktop(const QString &display);

    // The id of the visible window with exactly this title, or empty.
    QString visibleWindow(const QString &title) const;
    // Waits until such a window is visible; its id, or empty after timeoutMs.
    QString waitForWindow(const QString &title, int timeoutMs = 30000) const;
    // Waits until no such window is visible.
    bool waitForNoWindow(const QString &title, int timeoutMs = 30000) const;
    // The window's position and size on the screen; null if unknown.
    QRect geometry(const QString &window) const;
    // The process that owns the window (_NET_WM_PID), or 0.
    qint64 windowPid(const QString &window) const;

    // The visible windows of a process (a program's menus among them).
    QStringList visibleWindowsOf(qint64 pid) const;
    // Waits until the first region of the colour shows within area; null after timeoutMs.
    QRect waitForColour(QRgb colour, const QRect &area, int timeoutMs = 20000) const;

    // Clicks at a position inside the window.
    bool click(const QString &window, const QPoint &pos, int button = 1) const;
    // Clicks at a position on the screen.
    bool clickAt(const QPoint &screenPos, int button = 1) const;
    bool moveMouse(const QPoint &screenPos) const;
    // Types text into whatever has the keyboard focus.
    bool type(const QString &text) const;
    // Presses keys by name ("ctrl+a", "Return").
    bool key(const QString &keys) const;

    QImage screenshot() const;
    // The bounding box of the first region (top to bottom) of exactly this colour within
    // area, pixels of other colours (text, say) enclosed; null if there is none.
    static QRect colourRegion(const QImage &image, QRgb colour, const QRect &area);

    // Runs an X client on this display; its standard output, or a null array on failure.
    QByteArray run(const QString &program, const QStringList &args, int timeoutMs = 15000) const;

private:
    QString m_display;
};

// True when the process no longer runs: gone, or a zombie nobody has reaped yet.
bool processEnded(qint64 pid);
