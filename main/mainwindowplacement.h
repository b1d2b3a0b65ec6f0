// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the main window goes on its first show, from the default screen's available
// width and height and the whole desktop's width; a fixed-size window keeps clear of the
// always-on-top tool docked at the available area's bottom-right corner.
struct MainWindowPlacement
{
    bool fixedSize = false; // otherwise simply maximised
    QSize size;             // fixed minimum and maximum size
    QPoint position;

    static MainWindowPlacement compute(int availWidth, int availHeight, int desktopWidth);

    // The smallest the window may be made on a screen of this work area.
    static QSize minimumSize(const QSize &workArea);
    // A remembered geometry where the screens of these work areas can show it: on the screen
    // that holds its centre, shrunk to fit and moved wholly onto it. Null when no screen holds
    // its centre, as when it was left on a screen that is gone.
    static QRect restored(const QRect &remembered, const QList<QRect> &workAreas);
};
