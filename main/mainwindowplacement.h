// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
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
};
