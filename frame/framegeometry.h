// SPDX-License-Identifier: MIT
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <Qt>

#include <array>

// Geometry of the frameless window: where a point lies, how a drag reshapes the window and
// how the background image is cut into nine pieces. Plain functions, so they need no window.
namespace FrameGeometry {

// Row (0 top, 1 middle, 2 bottom) times 16 plus column (0 left, 1 middle, 2 right).
enum Region : int {
    TopLeft = 0x00,
    Top = 0x01,
    TopRight = 0x02,
    Left = 0x10,
    Centre = 0x11,
    Right = 0x12,
    BottomLeft = 0x20,
    Bottom = 0x21,
    BottomRight = 0x22,
};

inline int regionRow(Region region)
{
    return region / 16;
}
inline int regionColumn(Region region)
{
    return region % 16;
}

// The top and left bands are border + 1 pixels deep, the bottom and right ones border pixels.
Region hitTest(int x, int y, int width, int height, int border);

// Cursor of a region when the window may be resized; the centre shows the arrow.
Qt::CursorShape cursorShape(Region region);

// Window geometry after a resize drag that began in an edge or corner region with the window at
// pressGeometry and has since moved the pointer by (dx, dy). The dragged edge stops at the
// minimum size while the opposite edge keeps its place.
QRect resizedGeometry(const QRect &pressGeometry, Region region, int dx, int dy,
                      const QSize &minimum);

struct Slice
{
    QRect source;
    QRect target;
};

// The nine pieces of a nine-slice drawing, in painting order: the top row left to right, then
// the middle row, then the bottom row. Corners keep their size; edges and centre stretch.
std::array<Slice, 9> nineSlices(const QSize &image, const QSize &target, const QMargins &margins);

} // namespace FrameGeometry
