// SPDX-License-Identifier: MIT
#include "main/mainwindowplacement.h"

MainWindowPlacement MainWindowPlacement::compute(int availWidth, int availHeight, int desktopWidth)
{
    constexpr int Width = 1080;
    constexpr int Height = 900;
    MainWindowPlacement placement;
    if (availWidth < Width)
        return placement;
    placement.fixedSize = true;
    if (availHeight >= Height) {
        placement.size = QSize(Width, Height);
        placement.position = QPoint((desktopWidth - Width) / 2, (availHeight - Height) / 2);
    } else {
        placement.size = QSize(Width, availHeight - 20);
        placement.position = QPoint((desktopWidth - Width) / 2, 10);
    }
    return placement;
}
