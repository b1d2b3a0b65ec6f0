// SPDX-License-Identifier: MIT
#include "frame/framegeometry.h"

namespace FrameGeometry {

namespace {

int band(int position, int extent, int border)
{
    if (position <= border)
        return 0;
    if (position >= extent - border)
        return 2;
    return 1;
}

} // namespace

Region hitTest(int x, int y, int width, int height, int border)
{
    return static_cast<Region>(band(y, height, border) * 16 + band(x, width, border));
}

Qt::CursorShape cursorShape(Region region)
{
    switch (region) {
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case TopRight:
    case BottomLeft:
        return Qt::SizeBDiagCursor;
    case Top:
    case Bottom:
        return Qt::SizeVerCursor;
    case Left:
    case Right:
        return Qt::SizeHorCursor;
    case Centre:
        break;
    }
    return Qt::ArrowCursor;
}

QRect resizedGeometry(const QRect &pressGeometry, Region region, int dx, int dy,
                      const QSize &minimum)
{
    const int row = regionRow(region);
    const int column = regionColumn(region);
    QRect r = pressGeometry;
    if (column == 0)
        r.setLeft(r.left() + dx);
    else if (column == 2)
        r.setRight(r.right() + dx);
    if (row == 0)
        r.setTop(r.top() + dy);
    else if (row == 2)
        r.setBottom(r.bottom() + dy);

    if (r.width() < minimum.width()) {
        if (column == 2)
            r.setWidth(minimum.width());
        else
            r.setLeft(r.right() - minimum.width() + 1);
    }
    if (r.height() < minimum.height()) {
        if (row == 2)
            r.setHeight(minimum.height());
        else
            r.setTop(r.bottom() - minimum.height() + 1);
    }
    return r;
}

std::array<Slice, 9> nineSlices(const QSize &image, const QSize &target, const QMargins &margins)
{
    const int l = margins.left();
    const int t = margins.top();
    const int r = margins.right();
    const int b = margins.bottom();
    const int sw = image.width();
    const int sh = image.height();
    const int w = target.width();
    const int h = target.height();
    return {{
        {QRect(0, 0, l, t), QRect(0, 0, l, t)},
        {QRect(l, 0, sw - l - r, t), QRect(l, 0, w - l - r, t)},
        {QRect(sw - r, 0, r, t), QRect(w - r, 0, r, t)},
        {QRect(0, t, l, sh - t - b), QRect(0, t, l, h - t - b)},
        {QRect(l, t, sw - l - r, sh - t - b), QRect(l, t, w - l - r, h - t - b)},
        {QRect(sw - r, t, r, sh - t - b), QRect(w - r, t, r, h - t - b)},
        {QRect(0, sh - b, l, b), QRect(0, h - b, l, b)},
        {QRect(l, sh - b, sw - l - r, b), QRect(l, h - b, w - l - r, b)},
        {QRect(sw - r, sh - b, r, b), QRect(w - r, h - b, r, b)},
    }};
}

} // namespace FrameGeometry
