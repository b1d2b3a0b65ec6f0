// SPDX-License-Identifier: MIT
// Paints every picture of Orvane and OrvaneTool and writes them into one folder: PNGs and the
// window icon Orvane.ico, each also at twice its size under an "@2x" name for high-DPI screens.
// Into a second folder it writes the application icon for desktops: hicolor PNGs and an SVG.
// The pictures are committed; run this (through scripts/make-images) only after changing how
// they look.
//
// Usage: orvane-imagegen <images folder> <icons folder>

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// One blue family for everything; the hover and press shades are derived by eye from it.
const QColor kBlue(0x1E, 0x6F, 0xD9);
const QColor kBlueLight(0x4A, 0x90, 0xE8);
const QColor kBlueDark(0x15, 0x58, 0xB0);
const QColor kBlueTop(0x2F, 0x84, 0xEA);
const QColor kBlueBottom(0x1A, 0x62, 0xC8);
const QColor kBlueTint(0xE6, 0xF0, 0xFC);
const QColor kRed(0xE5, 0x48, 0x4D);
const QColor kRedDark(0xC2, 0x35, 0x3A);
const QColor kGlyphGray(0x8C, 0x9A, 0xAB);
const QColor kBorderGray(0xC3, 0xCD, 0xD9);

const QString kCjkFamily = QStringLiteral("Noto Sans CJK SC");

// The frameless windows draw their background by nine-slice with 20-pixel margins: the card and
// its shadow must lie inside those margins so that the stretched edges stay straight. The forms
// put their title bars 5 px from the window edge, so the card starts there, not at 20.
const int kCardInsetSide = 5;
const int kCardInsetTop = 3;
const int kCardInsetBottom = 7;
const qreal kCardRadius = 6.0;

// A picture of at most 256 colours is written with a palette: the same pixels, but QImage
// reads a byte a pixel instead of four, so the main window's background decodes several times
// faster.
QImage withPaletteIfFew(const QImage &argb)
{
    QVector<QRgb> colours;
    QHash<QRgb, int> indexOf;
    QImage indexed(argb.size(), QImage::Format_Indexed8);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            auto it = indexOf.constFind(in[x]);
            if (it == indexOf.constEnd()) {
                if (colours.size() == 256)
                    return argb;
                it = indexOf.insert(in[x], colours.size());
                colours.append(in[x]);
            }
            out[x] = uchar(*it);
        }
    }
    indexed.setColorTable(colours);
    return indexed;
}

// Pixels per logical pixel of the pictures being painted: 1, or 2 for the "@2x" set. Every
// painter works in logical pixels, so the 2x pictures are painted, not scaled up.
int g_ratio = 1;

QImage canvas(int w, int h)
{
    QImage img(w * g_ratio, h * g_ratio, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(g_ratio);
    img.fill(Qt::transparent);
    return img;
}

void smooth(QPainter &p)
{
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                     | QPainter::SmoothPixmapTransform);
}

// Separable box blur, three passes: close enough to a Gaussian for a shadow.
void blurAlpha(std::vector<float> &a, int w, int h, int radius)
{
    if (radius < 1)
        return;
    std::vector<float> tmp(a.size());
    const float norm = 1.0f / float(2 * radius + 1);
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k)
                    s += a[size_t(y * w + std::clamp(x + k, 0, w - 1))];
                tmp[size_t(y * w + x)] = s * norm;
            }
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k)
                    s += tmp[size_t(std::clamp(y + k, 0, h - 1) * w + x)];
                a[size_t(y * w + x)] = s * norm;
            }
        }
    }
}

// A soft shadow of `shape`, offset and blurred, in `color` (whose alpha is the peak opacity).
// The blur works on a padded copy, so shapes touching the picture edge fade naturally. `size`
// and `radius` are logical; the blur runs on device pixels.
QImage shadowOf(QSize size, const QPainterPath &shape, QPointF offset, int radius, QColor color)
{
    const int pad = radius * 3 * g_ratio;
    size *= g_ratio;
    QImage mask(size.width() + 2 * pad, size.height() + 2 * pad, QImage::Format_ARGB32);
    mask.setDevicePixelRatio(g_ratio);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        smooth(p);
        p.translate(pad / g_ratio + offset.x(), pad / g_ratio + offset.y());
        p.fillPath(shape, Qt::black);
    }
    const int w = mask.width();
    const int h = mask.height();
    std::vector<float> alpha(size_t(w * h));
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[size_t(y * w + x)] = qAlpha(line[x]) / 255.0f;
    }
    blurAlpha(alpha, w, h, radius * g_ratio);

    QImage out(size, QImage::Format_ARGB32);
    out.setDevicePixelRatio(g_ratio);
    const float peak = float(color.alphaF());
    for (int y = 0; y < size.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const float v = alpha[size_t((y + pad) * w + x + pad)] * peak;
            line[x] = qRgba(color.red(), color.green(), color.blue(), int(std::lround(v * 255)));
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath rectPath(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

QRectF cardRect(int w, int h)
{
    return QRectF(kCardInsetSide, kCardInsetTop, w - 2 * kCardInsetSide,
                  h - kCardInsetTop - kCardInsetBottom);
}

// White rounded card on a transparent picture, with a shadow that falls mostly downwards.
QImage windowCard(int w, int h)
{
    QImage img = canvas(w, h);
    const QPainterPath card = roundedRect(cardRect(w, h), kCardRadius);
    QPainter p(&img);
    smooth(p);
    p.drawImage(0, 0, shadowOf(QSize(w, h), card, QPointF(0, 2), 2, QColor(16, 40, 80, 90)));
    p.drawImage(0, 0, shadowOf(QSize(w, h), card, QPointF(0, 1), 1, QColor(16, 40, 80, 60)));
    p.fillPath(card, Qt::white);
    return img;
}

QFont cjkFont(qreal pixelSize, int weight = QFont::Normal)
{
    QFont f(kCjkFamily);
    f.setPixelSize(int(std::lround(pixelSize)));
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The mark: a mortarboard in a design grid of 64 units centred on the origin. Painted and
// written as SVG from these same shapes.
struct Mortarboard
{
    QPainterPath base;
    QPainterPath board;
    // From the centre button down past the right edge of the board.
    QPainterPath tassel;
    QRectF tasselEnd = QRectF(15.2, 7, 3.6, 6.5);
    qreal tasselEndRadius = 1.4;
    // The gap is a stroke round the board that cuts it off the base.
    qreal gapWidth = 3.2;
    qreal cordWidth = 1.8;
};

Mortarboard mortarboard()
{
    Mortarboard m;
    m.base.moveTo(-12.5, -2);
    m.base.lineTo(-12.5, 9);
    m.base.cubicTo(-7, 14.5, 7, 14.5, 12.5, 9);
    m.base.lineTo(12.5, -2);
    m.base.closeSubpath();

    m.board.moveTo(-22, -5);
    m.board.lineTo(0, -15);
    m.board.lineTo(22, -5);
    m.board.lineTo(0, 5);
    m.board.closeSubpath();

    m.tassel.moveTo(0, -5);
    m.tassel.lineTo(17, -3);
    m.tassel.lineTo(17, 8);
    return m;
}

// The mortarboard drawn in `fg` and cut out of whatever `gap` paints, centred on `c` and scaled
// to radius `r`.
void drawMortarboard(QPainter &p, QPointF c, qreal r, const QBrush &fg, const QBrush &gap)
{
    const Mortarboard m = mortarboard();
    p.save();
    p.translate(c);
    p.scale(r / 32.0, r / 32.0);
    p.fillPath(m.base, fg);
    p.strokePath(m.board, QPen(gap, m.gapWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(m.board, fg);
    p.setPen(QPen(fg, m.cordWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(m.tassel);
    p.setPen(Qt::NoPen);
    p.setBrush(fg);
    p.drawRoundedRect(m.tasselEnd, m.tasselEndRadius, m.tasselEndRadius);
    p.restore();
}

const QColor kLogoTop(0x3C, 0x90, 0xF2);
const QColor kLogoBottom(0x16, 0x5C, 0xC4);
const int kShineAlpha = 46;
// The mortarboard's radius as a share of the disc's.
const qreal kMarkScale = 0.92;

QRadialGradient logoShine(QPointF c, qreal r)
{
    QRadialGradient shine(c.x() - r * 0.3, c.y() - r * 0.6, r * 1.1);
    shine.setColorAt(0, QColor(255, 255, 255, kShineAlpha));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    return shine;
}

QLinearGradient logoGradient(QPointF c, qreal r)
{
    QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
    g.setColorAt(0, kLogoTop);
    g.setColorAt(1, kLogoBottom);
    return g;
}

// The round blue logo. `ring` adds a white rim, for places where the logo sits on blue.
void drawLogo(QPainter &p, QPointF c, qreal r, qreal ring = 0)
{
    p.save();
    p.setPen(Qt::NoPen);
    if (ring > 0) {
        p.setBrush(Qt::white);
        p.drawEllipse(c, r, r);
        r -= ring;
    }
    const QLinearGradient g = logoGradient(c, r);
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    // A soft highlight on the upper half keeps the flat disc from looking dull at large sizes.
    p.setBrush(logoShine(c, r));
    p.drawEllipse(c, r, r);
    drawMortarboard(p, c, r * kMarkScale, Qt::white, g);
    p.restore();
}

// Campus skyline: teaching blocks, a clock tower and trees, as one silhouette standing on
// y = `ground`, for the header of the login window. The clock face is left open, so the tower
// reads as a building and not as a blob.
QPainterPath skyline(qreal left, qreal right, qreal ground)
{
    QPainterPath s;
    s.setFillRule(Qt::WindingFill);
    auto block = [&](qreal x, qreal w, qreal h) {
        s.addRect(QRectF(x, ground - h, w, h));
    };
    auto tree = [&](qreal x, qreal r, qreal h) {
        s.addEllipse(QPointF(x, ground - h), r, r * 1.15);
        s.addRect(QRectF(x - 1, ground - h, 2, h));
    };
    block(left, 34, 15);
    tree(left + 44, 7, 15);
    block(left + 52, 46, 22);
    block(left + 62, 26, 29);
    tree(left + 106, 6, 12);
    const qreal mid = (left + right) / 2;
    block(mid - 52, 104, 27);
    block(mid - 38, 76, 34);
    block(mid - 11, 22, 50);
    QPainterPath roof;
    roof.moveTo(mid - 14, ground - 50);
    roof.lineTo(mid, ground - 61);
    roof.lineTo(mid + 14, ground - 50);
    roof.closeSubpath();
    s.addPath(roof);
    tree(right - 104, 6, 13);
    block(right - 96, 40, 24);
    block(right - 84, 16, 31);
    tree(right - 46, 8, 17);
    block(right - 36, 36, 16);

    QPainterPath clock;
    clock.addEllipse(QPointF(mid, ground - 40), 4, 4);
    return s.simplified().subtracted(clock);
}

// A plainer row of rooftops to stand behind the skyline.
QPainterPath backRow(qreal left, qreal right, qreal ground)
{
    static const int heights[] = {30, 22, 38, 26, 44, 20, 34, 40, 24, 31, 18, 36, 27, 42, 23};
    const int n = int(sizeof(heights) / sizeof(*heights));
    const qreal step = (right - left) / n;
    QPainterPath s;
    s.setFillRule(Qt::WindingFill);
    for (int i = 0; i < n; ++i)
        s.addRect(QRectF(left + i * step, ground - heights[i], step * 0.82, heights[i]));
    return s.simplified();
}

// Background of the login window. The password page gets the full blue header behind the title
// bar and the drag band; the QR-code page only the strip behind the title bar.
QImage loginBackground(bool fullHeader)
{
    const int w = 360;
    const int h = 647;
    QImage img = windowCard(w, h);
    QPainter p(&img);
    smooth(p);

    const QRectF card = cardRect(w, h);
    // The form's title bar ends at y = 25; the password page starts at y = 247 and the window
    // is dragged by its top 240 px, so the header fills exactly that band.
    const qreal headerBottom = fullHeader ? 240 : 25;
    const QPainterPath header =
        roundedRect(card, kCardRadius).intersected(rectPath(QRectF(0, 0, w, headerBottom)));
    QLinearGradient g(0, card.top(), 0, headerBottom);
    g.setColorAt(0, kBlueTop);
    g.setColorAt(1, fullHeader ? kBlueBottom : kBlue);
    p.fillPath(header, g);

    if (!fullHeader)
        return img;

    p.save();
    p.setClipPath(header);
    p.setPen(Qt::NoPen);
    // Large faint circles give the band some depth without disturbing the title text.
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawEllipse(QPointF(318, 40), 118, 118);
    p.setBrush(QColor(255, 255, 255, 10));
    p.drawEllipse(QPointF(36, 214), 92, 92);

    const qreal ground = headerBottom;
    p.fillPath(backRow(card.left(), card.right(), ground), QColor(255, 255, 255, 12));
    p.fillPath(skyline(card.left(), card.right(), ground), QColor(255, 255, 255, 30));
    p.restore();

    const QPointF logoCentre(w / 2.0, 84);
    // A pale halo sets the logo off the band.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(logoCentre, 41, 41);
    drawLogo(p, logoCentre, 35, 3);

    p.setPen(Qt::white);
    QFont title = cjkFont(20, QFont::Medium);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.drawText(QRectF(0, 127, w, 30), Qt::AlignCenter, QStringLiteral("欢迎登录"));
    QFont sub = cjkFont(11);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(sub);
    p.setPen(QColor(255, 255, 255, 190));
    p.drawText(QRectF(0, 155, w, 18), Qt::AlignCenter, QStringLiteral("智慧校园 · 公共云平台"));
    return img;
}

// Background of the main window: the white title bar of the form covers y 5 to 33, so only a
// thin blue cap along the top of the card shows. Everything else must be plain, because the
// window is stretched to any size.
QImage mainBackground()
{
    const int w = 1094;
    const int h = 914;
    QImage img = windowCard(w, h);
    QPainter p(&img);
    smooth(p);
    const QRectF card = cardRect(w, h);
    const QPainterPath cap =
        roundedRect(card, kCardRadius).intersected(rectPath(QRectF(0, 0, w, 5)));
    p.fillPath(cap, kBlue);
    return img;
}

enum class Glyph { Minimise, Close };

void drawGlyph(QPainter &p, Glyph glyph, QPointF c, qreal half, const QColor &color, qreal width)
{
    p.save();
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (glyph == Glyph::Minimise) {
        p.drawLine(QPointF(c.x() - half, c.y()), QPointF(c.x() + half, c.y()));
    } else {
        p.drawLine(QPointF(c.x() - half, c.y() - half), QPointF(c.x() + half, c.y() + half));
        p.drawLine(QPointF(c.x() - half, c.y() + half), QPointF(c.x() + half, c.y() - half));
    }
    p.restore();
}

// Title-bar buttons, 20 x 20. `disc` is the round face behind the glyph (none when invalid).
QImage titleButton(Glyph glyph, const QColor &disc, const QColor &fg)
{
    QImage img = canvas(20, 20);
    QPainter p(&img);
    smooth(p);
    const QPointF c(10, 10);
    if (disc.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(disc);
        p.drawEllipse(c, 9, 9);
    }
    // The dash is two whole pixel rows thick so that it stays sharp; the cross is antialiased
    // anyway and looks as heavy at 1.6.
    if (glyph == Glyph::Minimise)
        drawGlyph(p, glyph, c, 4, fg, 2.0);
    else
        drawGlyph(p, glyph, c, 3.8, fg, 1.6);
    return img;
}

QImage userIcon()
{
    QImage img = canvas(24, 24);
    QPainter p(&img);
    smooth(p);
    p.setPen(QPen(kBlue, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 8.2), 4.3, 4.3);
    QPainterPath body;
    body.moveTo(4.2, 20.5);
    body.cubicTo(4.6, 15.6, 8.0, 13.6, 12, 13.6);
    body.cubicTo(16.0, 13.6, 19.4, 15.6, 19.8, 20.5);
    body.closeSubpath();
    p.drawPath(body);
    return img;
}

// Upright strokes on pixel centres, symmetric about x = 12.
QImage lockIcon()
{
    QImage img = canvas(24, 24);
    QPainter p(&img);
    smooth(p);
    p.setPen(QPen(kBlue, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(8.5, 11.5);
    shackle.lineTo(8.5, 7.5);
    shackle.arcTo(QRectF(8.5, 4, 7, 7), 180, -180);
    shackle.lineTo(15.5, 11.5);
    p.drawPath(shackle);
    p.drawRoundedRect(QRectF(5.5, 11.5, 13, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRect(11, 14, 2, 4));
    return img;
}

// Drop-down arrow of the user-name box; the style sheet centres it in a 40 px wide sub-control.
QImage selectorIcon()
{
    QImage img = canvas(40, 40);
    QPainter p(&img);
    smooth(p);
    p.setPen(QPen(kGlyphGray, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath chevron;
    chevron.moveTo(14, 17.5);
    chevron.lineTo(20, 23.5);
    chevron.lineTo(26, 17.5);
    p.drawPath(chevron);
    return img;
}

QImage checkBoxIcon(bool hover, bool checked)
{
    QImage img = canvas(16, 16);
    QPainter p(&img);
    smooth(p);
    const QRectF box(0.5, 0.5, 15, 15);
    if (checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRoundedRect(box.adjusted(-0.5, -0.5, 0.5, 0.5), 3, 3);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(4, 8.2);
        tick.lineTo(6.8, 11);
        tick.lineTo(12, 5.3);
        p.drawPath(tick);
    } else {
        p.setPen(QPen(hover ? kBlue : kBorderGray, 1));
        p.setBrush(hover ? kBlueTint : QColor(Qt::white));
        p.drawRoundedRect(box, 2.5, 2.5);
    }
    return img;
}

// Face of the login and back buttons; the form writes the white label on it.
QImage buttonFace()
{
    const int w = 319;
    const int h = 56;
    QImage img = canvas(w, h);
    QPainter p(&img);
    smooth(p);
    const QRectF r(0, 0, w, h);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kBlueTop);
    g.setColorAt(1, kBlueBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
    // A one-pixel light edge at the top lifts the face off the white page.
    p.setClipRect(QRectF(0, 0, w, 1.5));
    p.setBrush(QColor(255, 255, 255, 50));
    p.drawRoundedRect(r, 4, 4);
    return img;
}

// A small QR code symbol: three finder squares and a few modules, on a 3 px grid.
QImage qrGlyph()
{
    QImage img = canvas(28, 27);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    const int ox = 1;
    const int oy = 0;
    auto finder = [&](int x, int y) {
        const QRect outer(ox + x, oy + y, 9, 9);
        p.drawRect(outer.x(), outer.y(), 9, 2);
        p.drawRect(outer.x(), outer.y() + 7, 9, 2);
        p.drawRect(outer.x(), outer.y(), 2, 9);
        p.drawRect(outer.x() + 7, outer.y(), 2, 9);
        p.drawRect(outer.x() + 3, outer.y() + 3, 3, 3);
    };
    finder(0, 0);
    finder(18, 0);
    finder(0, 18);
    // Data modules, 3 x 3 cells; row by row over the free part of a 9 x 9 cell grid.
    const char *rows[] = {
        "...#.#...", "....#....", "...##....", "#.#.#.##.", ".#..##.#.",
        "##.#..#.#", "....#.#..", "...#.###.", "....#..##",
    };
    for (int row = 0; row < 9; ++row)
        for (int col = 0; col < 9; ++col)
            if (rows[row][col] == '#')
                p.drawRect(ox + col * 3, oy + row * 3, 3, 3);
    return img;
}

QImage deleteButton(bool blue)
{
    QImage img = canvas(30, 30);
    QPainter p(&img);
    smooth(p);
    const QPointF c(15, 15);
    if (blue) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlueTint);
        p.drawEllipse(c, 10, 10);
    }
    drawGlyph(p, Glyph::Close, c, 4, blue ? kBlue : kGlyphGray, 1.6);
    return img;
}

// Walls, floor and door sit on pixel centres so the upright strokes stay sharp.
QPainterPath housePath(QPointF c)
{
    QPainterPath h;
    h.moveTo(c.x() - 8.5, c.y() - 1.5);
    h.lineTo(c.x(), c.y() - 8.5);
    h.lineTo(c.x() + 8.5, c.y() - 1.5);
    h.moveTo(c.x() - 5.5, c.y() - 3.5);
    h.lineTo(c.x() - 5.5, c.y() + 7.5);
    h.lineTo(c.x() + 5.5, c.y() + 7.5);
    h.lineTo(c.x() + 5.5, c.y() - 3.5);
    h.moveTo(c.x() - 1.5, c.y() + 7.5);
    h.lineTo(c.x() - 1.5, c.y() + 2.5);
    h.lineTo(c.x() + 1.5, c.y() + 2.5);
    h.lineTo(c.x() + 1.5, c.y() + 7.5);
    return h;
}

QImage homeButton(bool hover)
{
    QImage img = canvas(32, 26);
    QPainter p(&img);
    smooth(p);
    const QPointF c(16, 13);
    if (hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(0, 0, 32, 26), 4, 4);
    }
    p.setPen(
        QPen(hover ? QColor(Qt::white) : kBlue, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(housePath(c));
    return img;
}

// Maximise (one frame) and restore (two stacked frames), 15 x 12, for the white title bar.
// Filled on whole pixels: at this size antialiased strokes only look blurred.
QImage frameButton(bool restore)
{
    QImage img = canvas(15, 12);
    QPainter p(&img);
    auto frame = [&](const QRect &r) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 2), kBlue);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), kBlue);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), kBlue);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), kBlue);
    };
    if (!restore) {
        frame(QRect(2, 1, 11, 10));
        return img;
    }
    frame(QRect(1, 4, 10, 8));
    // The frame behind shows only where the front one leaves a one-pixel gap.
    p.fillRect(QRect(4, 0, 10, 2), kBlue);
    p.fillRect(QRect(13, 0, 1, 8), kBlue);
    p.fillRect(QRect(12, 7, 2, 1), kBlue);
    p.fillRect(QRect(4, 2, 1, 1), kBlue);
    return img;
}

// The floating tool: a pill with the logo on its left end (the drag handle, x < 68) and the
// classroom label on the right. Highlighted is the look while the mouse is over the window.
QImage toolButton(bool highlighted)
{
    const int w = 160;
    const int h = 74;
    QImage img = canvas(w, h);
    QPainter p(&img);
    smooth(p);

    const QRectF pill(8, 12, 148, 50);
    const QPainterPath pillPath = roundedRect(pill, 25);
    const QPointF logoCentre(36, 37);
    const qreal logoRadius = 30;
    QPainterPath body = pillPath;
    body.addEllipse(logoCentre, logoRadius, logoRadius);
    body.setFillRule(Qt::WindingFill);
    body = body.simplified();

    p.drawImage(0, 0, shadowOf(QSize(w, h), body, QPointF(0, 1.5), 2, QColor(16, 40, 80, 80)));
    if (highlighted) {
        QLinearGradient g(0, pill.top(), 0, pill.bottom());
        g.setColorAt(0, kBlueTop);
        g.setColorAt(1, kBlueBottom);
        p.fillPath(pillPath, g);
    } else {
        p.fillPath(pillPath, Qt::white);
        p.strokePath(pillPath, QPen(QColor(0xC9, 0xDA, 0xF2), 1));
    }
    drawLogo(p, logoCentre, logoRadius, 2.5);

    QFont f = cjkFont(16, QFont::Bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(f);
    p.setPen(highlighted ? QColor(Qt::white) : kBlue);
    const QRectF label(70, pill.top(), 72, pill.height());
    p.drawText(label, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("进入课堂"));
    p.setPen(QPen(highlighted ? QColor(Qt::white) : kBlue, 1.6, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    QPainterPath arrow;
    const QPointF a(144, pill.center().y());
    arrow.moveTo(a.x() - 2.5, a.y() - 4.5);
    arrow.lineTo(a.x() + 2, a.y());
    arrow.lineTo(a.x() - 2.5, a.y() + 4.5);
    p.drawPath(arrow);
    return img;
}

// The logo on a 64-unit grid, scaled to `size`.
const QPointF kIconCentre(32, 32);
const qreal kIconRadius = 31;

QImage appIcon(int size)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    smooth(p);
    p.scale(size / 64.0, size / 64.0);
    drawLogo(p, kIconCentre, kIconRadius);
    return img;
}

QString svgNumber(qreal v)
{
    return QString::number(v, 'g', 6);
}

QString svgColour(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

// Path data of a path of moves, lines and cubics; Qt closes a subpath with a line back to
// its start, which becomes "Z" so that strokes join there.
QString svgPathData(const QPainterPath &path)
{
    QString d;
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const bool lastOfSubpath = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
        switch (e.type) {
        case QPainterPath::MoveToElement:
            start = e;
            d += QLatin1String(d.isEmpty() ? "M" : " M");
            break;
        case QPainterPath::LineToElement:
            if (lastOfSubpath && QPointF(e) == start) {
                d += QLatin1String(" Z");
                continue;
            }
            d += QLatin1String(" L");
            break;
        case QPainterPath::CurveToElement:
            d += QLatin1String(" C");
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
        d += QLatin1Char(' ') + svgNumber(e.x) + QLatin1Char(' ') + svgNumber(e.y);
    }
    return d;
}

// The application icon as SVG 1.1, from the numbers appIcon() paints with. Like a QPainter
// brush, a userSpaceOnUse gradient follows the transform of the element that uses it, so the
// gap round the board takes the disc gradient in the mark's own grid, as it does when painted.
QString logoSvg()
{
    const QPointF c = kIconCentre;
    const qreal r = kIconRadius;
    const qreal markRadius = r * kMarkScale;
    const QLinearGradient disc = logoGradient(c, r);
    const QRadialGradient shine = logoShine(c, r);
    const Mortarboard m = mortarboard();
    const QString white = QStringLiteral("#ffffff");

    QString svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"64\" height=\"64\""
        << " viewBox=\"0 0 64 64\">\n"
        << "  <defs>\n"
        << "    <linearGradient id=\"disc\" gradientUnits=\"userSpaceOnUse\" x1=\""
        << svgNumber(disc.start().x()) << "\" y1=\"" << svgNumber(disc.start().y()) << "\" x2=\""
        << svgNumber(disc.finalStop().x()) << "\" y2=\"" << svgNumber(disc.finalStop().y())
        << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << svgColour(kLogoTop) << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << svgColour(kLogoBottom) << "\"/>\n"
        << "    </linearGradient>\n"
        << "    <radialGradient id=\"shine\" gradientUnits=\"userSpaceOnUse\" cx=\""
        << svgNumber(shine.center().x()) << "\" cy=\"" << svgNumber(shine.center().y()) << "\" r=\""
        << svgNumber(shine.radius()) << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << white << "\" stop-opacity=\""
        << svgNumber(kShineAlpha / 255.0) << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << white << "\" stop-opacity=\"0\"/>\n"
        << "    </radialGradient>\n"
        << "  </defs>\n";
    const QString circle = QStringLiteral("cx=\"%1\" cy=\"%2\" r=\"%3\"")
                               .arg(svgNumber(c.x()), svgNumber(c.y()), svgNumber(r));
    out << "  <circle " << circle << " fill=\"url(#disc)\"/>\n"
        << "  <circle " << circle << " fill=\"url(#shine)\"/>\n"
        << "  <g transform=\"translate(" << svgNumber(c.x()) << " " << svgNumber(c.y())
        << ") scale(" << svgNumber(markRadius / 32.0) << ")\">\n"
        << "    <path d=\"" << svgPathData(m.base) << "\" fill=\"" << white << "\"/>\n"
        << "    <path d=\"" << svgPathData(m.board)
        << "\" fill=\"none\" stroke=\"url(#disc)\" stroke-width=\"" << svgNumber(m.gapWidth)
        << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
        << "    <path d=\"" << svgPathData(m.board) << "\" fill=\"" << white << "\"/>\n"
        << "    <path d=\"" << svgPathData(m.tassel) << "\" fill=\"none\" stroke=\"" << white
        << "\" stroke-width=\"" << svgNumber(m.cordWidth)
        << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
        << "    <rect x=\"" << svgNumber(m.tasselEnd.x()) << "\" y=\"" << svgNumber(m.tasselEnd.y())
        << "\" width=\"" << svgNumber(m.tasselEnd.width()) << "\" height=\""
        << svgNumber(m.tasselEnd.height()) << "\" rx=\"" << svgNumber(m.tasselEndRadius)
        << "\" ry=\"" << svgNumber(m.tasselEndRadius) << "\" fill=\"" << white << "\"/>\n"
        << "  </g>\n"
        << "</svg>\n";
    out.flush();
    return svg;
}

struct Picture
{
    const char *file;
    std::function<QImage()> paint;
};

// Writes the picture, with a palette where few colours allow, and checks that it reads back
// as painted. Prints its path and size; false (and a message) on failure.
bool writePicture(const QString &path, const QImage &painted, QTextStream &err)
{
    const QImage img = painted.convertToFormat(QImage::Format_ARGB32);
    const bool icon = path.endsWith(QLatin1String(".ico"));
    QImageWriter writer(path);
    if (icon)
        writer.setFormat("ico");
    if (!writer.write(icon ? img : withPaletteIfFew(img))) {
        err << "orvane-imagegen: " << path << ": " << writer.errorString() << "\n";
        return false;
    }
    if (!icon && QImage(path).convertToFormat(QImage::Format_ARGB32) != img) {
        err << "orvane-imagegen: " << path << " does not read back as painted\n";
        return false;
    }
    QTextStream(stdout) << path << " " << img.width() << "x" << img.height() << "\n";
    return true;
}

// "bk1.png" becomes "bk1@2x.png": the name Qt looks for on a screen of twice the density.
// The window icon at 2x is a PNG: Qt's ico writer stores bitmaps only, eight times larger.
QString atRatio(const char *file, int ratio)
{
    QString name = QString::fromLatin1(file);
    if (ratio == 1)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (name.endsWith(QLatin1String(".ico")))
        name.replace(dot, 4, QStringLiteral(".png"));
    return name.insert(dot, QStringLiteral("@%1x").arg(ratio));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: orvane-imagegen <images folder> <icons folder>\n";
        return 2;
    }
    // Fontconfig would quietly substitute another face; the Chinese labels need this one.
    if (!QFontDatabase().families().contains(kCjkFamily)) {
        err << "orvane-imagegen: font \"" << kCjkFamily << "\" is not installed (fonts-noto-cjk)\n";
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir iconsOut(QString::fromLocal8Bit(argv[2]));
    for (const QDir &dir : {out, iconsOut}) {
        if (!QDir().mkpath(dir.path())) {
            err << "orvane-imagegen: cannot create " << dir.path() << "\n";
            return 1;
        }
    }

    const std::vector<Picture> pictures = {
        {"bk1.png",
         [] {
             return loginBackground(true);
         }},
        {"bk2.png",
         [] {
             return loginBackground(false);
         }},
        {"mianbk.png", mainBackground},
        // White glyphs for the blue band of the password page.
        {"min.png",
         [] {
             return titleButton(Glyph::Minimise, QColor(), Qt::white);
         }},
        {"close.png",
         [] {
             return titleButton(Glyph::Close, QColor(), Qt::white);
         }},
        // On a white disc, so they read on the white main title bar and on the blue strip alike.
        {"min1.png",
         [] {
             return titleButton(Glyph::Minimise, Qt::white, kBlue);
         }},
        {"close1.png",
         [] {
             return titleButton(Glyph::Close, Qt::white, kBlue);
         }},
        {"min_hover.png",
         [] {
             return titleButton(Glyph::Minimise, kBlueLight, Qt::white);
         }},
        {"min_press.png",
         [] {
             return titleButton(Glyph::Minimise, kBlueDark, Qt::white);
         }},
        {"close_hover.png",
         [] {
             return titleButton(Glyph::Close, kRed, Qt::white);
         }},
        {"close_press.png",
         [] {
             return titleButton(Glyph::Close, kRedDark, Qt::white);
         }},
        {"userimg.png", userIcon},
        {"pwdimg.png", lockIcon},
        {"selector.png", selectorIcon},
        {"checkBox.png",
         [] {
             return checkBoxIcon(false, false);
         }},
        {"checkBox_hover.png",
         [] {
             return checkBoxIcon(true, false);
         }},
        {"checkBox_checked.png",
         [] {
             return checkBoxIcon(false, true);
         }},
        {"ret.png", buttonFace},
        {"btnRcode.png", qrGlyph},
        {"itemCloseGray.png",
         [] {
             return deleteButton(false);
         }},
        {"itemCloseBlue.png",
         [] {
             return deleteButton(true);
         }},
        {"home.png",
         [] {
             return homeButton(false);
         }},
        {"home1.png",
         [] {
             return homeButton(true);
         }},
        {"btnNor.png",
         [] {
             return frameButton(true);
         }},
        {"btnMax.png",
         [] {
             return frameButton(false);
         }},
        {"line1.png",
         [] {
             return toolButton(false);
         }},
        {"line2.png",
         [] {
             return toolButton(true);
         }},
        {"Orvane.ico",
         [] {
             return appIcon(64);
         }},
    };

    int failures = 0;
    for (const int ratio : {1, 2}) {
        g_ratio = ratio;
        for (const Picture &pic : pictures) {
            if (!writePicture(out.filePath(atRatio(pic.file, ratio)), pic.paint(), err))
                ++failures;
        }
    }

    // The icon theme's sizes for applications; desktops scale the SVG for any other.
    g_ratio = 1;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = iconsOut.filePath(QStringLiteral("orvane-%1.png").arg(size));
        if (!writePicture(path, appIcon(size), err))
            ++failures;
    }
    const QString svgPath = iconsOut.filePath(QStringLiteral("orvane.svg"));
    QSaveFile svg(svgPath);
    if (!svg.open(QIODevice::WriteOnly) || svg.write(logoSvg().toUtf8()) < 0 || !svg.commit()) {
        err << "orvane-imagegen: " << svgPath << ": " << svg.errorString() << "\n";
        ++failures;
    } else {
        QTextStream(stdout) << svgPath << " 64x64\n";
    }
    return failures == 0 ? 0 : 1;
}
