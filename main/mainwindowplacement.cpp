// SPDX-License-Identifier: MIT
#include "main/mainwindowplacement.h"

namespace {

// OrvaneTool's size; it docks at the bottom-right corner of the same available area.
constexpr int ToolWidth = 160;
constexpr int ToolHeight = 74;

} // namespace

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
    // The tool stays on top, so a window under it would lose its corner: move left of the tool
    // where the screen is wide enough, otherwise end above it.
    const int toolLeft = availWidth - ToolWidth;
    const int toolTop = availHeight - ToolHeight;
    QPoint &position = placement.position;
    QSize &size = placement.size;
    if (position.x() < availWidth && position.x() + Width > toolLeft
        && position.y() + size.height() > toolTop) {
        if (toolLeft >= Width)
            position.setX(toolLeft - Width);
        else
            size.setHeight(toolTop - position.y());
    }
    return placement;
}

QSize MainWindowPlacement::minimumSize(const QSize &workArea)
{
    // Room for the title bar and a page that can still be read.
    return QSize(800, 600).boundedTo(workArea);
}

QRect MainWindowPlacement::restored(const QRect &remembered, const QList<QRect> &workAreas)
{
    if (remembered.isEmpty())
        return QRect();
    for (const QRect &area : workAreas) {
        if (!area.contains(remembered.center()))
            continue;
        QRect fitted(remembered.topLeft(), remembered.size().boundedTo(area.size()));
        fitted.moveRight(qMin(fitted.right(), area.right()));
        fitted.moveBottom(qMin(fitted.bottom(), area.bottom()));
        fitted.moveLeft(qMax(fitted.left(), area.left()));
        fitted.moveTop(qMax(fitted.top(), area.top()));
        return fitted;
    }
    return QRect();
}
