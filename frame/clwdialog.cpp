// SPDX-License-Identifier: MIT
#include "frame/clwdialog.h"

#include "frame/compositing.h"
#include "frame/pointerevents.h"

#include <QChildEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace {

// Event positions are fractional; every use works on them rounded as qRound does.
QPoint rounded(const QPointF &p)
{
    return QPoint(qRound(p.x()), qRound(p.y()));
}

// Without a compositor the card's rounded corners would show black where they are transparent:
// each row of a corner piece is continued outwards with its own outermost opaque colour.
// right and bottom: which corner the piece is.
QImage squaredCorner(QImage piece, bool right, bool bottom)
{
    piece = piece.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int n = piece.width();
    for (int y = 0; y < piece.height(); ++y) {
        const int row = bottom ? piece.height() - 1 - y : y;
        for (int step = 0; step < n; ++step) {
            const int x = right ? n - 1 - step : step;
            const QRgb colour = piece.pixel(x, row);
            if (qAlpha(colour) != 255)
                continue;
            for (int outer = 0; outer < step; ++outer)
                piece.setPixel(right ? n - 1 - outer : outer, row, colour);
            break;
        }
    }
    return piece;
}

} // namespace

CLWDialog::CLWDialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
    // Tracking lets the cursor follow the edge bands without a button held.
    setAttribute(Qt::WA_MouseTracking);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, false);
    Compositing &compositing = Compositing::instance();
    m_bComposited = compositing.isActive();
    connect(&compositing, &Compositing::activeChanged, this, &CLWDialog::setComposited);
}

void CLWDialog::setBackgroundImage(const QString &path, int left, int top, int right, int bottom)
{
    m_strBackgroundImage = path;
    m_nLeftMargin = left;
    m_nTopMargin = top;
    m_nRightMargin = right;
    m_nBottomMargin = bottom;
    // A size no window paints at, so the next paint renders anew.
    m_nCachedWidth = 0;
    m_nCachedHeight = 0;
    update();
}

void CLWDialog::setTitleHeight(int height)
{
    m_nTitleHeight = height;
}

void CLWDialog::setResizable(bool resizable)
{
    m_bResizable = resizable;
}

void CLWDialog::setShadowMargins(const QMargins &margins)
{
    m_shadowMargins = margins;
    setComposited(m_bComposited);
}

void CLWDialog::setComposited(bool composited)
{
    m_bComposited = composited;
    // The sizes stay: the window is only cut to its card, and the card drawn for it.
    if (composited || m_shadowMargins.isNull())
        clearMask();
    else
        setMask(QRegion(visibleFrame()));
    m_nCachedWidth = 0;
    m_nCachedHeight = 0;
    update();
}

QRect CLWDialog::visibleFrame() const
{
    return m_bComposited ? rect() : rect().marginsRemoved(m_shadowMargins);
}

bool CLWDialog::isWindowMaximized() const
{
    return m_bMaximized || isMaximized();
}

void CLWDialog::setWindowMaximized(bool maximized)
{
    if (maximized == isWindowMaximized())
        return;
    if (!maximized) {
        // Maximised by a window manager, or by this frame.
        if (isMaximized())
            showNormal();
        if (m_bMaximized) {
            m_bMaximized = false;
            setGeometry(m_rcNormal);
        }
        return;
    }
    const QScreen *target = QGuiApplication::screenAt(geometry().center());
    m_rcNormal = geometry();
    m_bMaximized = true;
    setGeometry((target ? target : screen())->availableGeometry());
    updateCursor(FrameGeometry::Centre);
}

QRect CLWDialog::normalWindowGeometry() const
{
    if (m_bMaximized)
        return m_rcNormal;
    return isMaximized() ? normalGeometry() : geometry();
}

CLWDialog::Region CLWDialog::hitTest(int x, int y) const
{
    // Without a compositor the edges a person can reach are the card's.
    const QRect frame = visibleFrame();
    return FrameGeometry::hitTest(x - frame.x(), y - frame.y(), frame.width(), frame.height(),
                                  m_nBorderWidth);
}

void CLWDialog::updateCursor(Region region)
{
    // The cursor keeps the shape it had when a drag began until the drag ends.
    if (m_bPressed)
        region = m_ePressRegion;
    const Qt::CursorShape shape = (!m_bResizable || isWindowMaximized())
        ? Qt::ArrowCursor
        : FrameGeometry::cursorShape(region);
    if (cursor().shape() == shape)
        return;
    m_eCursorShape = shape;
    setCursor(QCursor(shape));
}

bool CLWDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != this) {
        if (event->type() == QEvent::KeyPress) {
            // QDialog rejects on Escape; a frameless window has no other close affordance
            // than its own buttons, so Escape typed into a child must not close it.
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
                return true;
        } else if (event->type() == QEvent::Enter && m_eCursorShape != Qt::ArrowCursor) {
            // Leaving an edge band straight onto a child gives the dialog no move event, so
            // the resize cursor would stick on a child that inherits it.
            const QWidget *child = qobject_cast<QWidget *>(watched);
            if (child && child->cursor().shape() == m_eCursorShape)
                setCursor(QCursor(Qt::ArrowCursor));
            m_eCursorShape = Qt::ArrowCursor;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CLWDialog::childEvent(QChildEvent *event)
{
    // Only direct children are watched: a child that leaves stops being filtered, so its
    // key presses and enter events no longer concern this window.
    if (event->added() || event->polished())
        event->child()->installEventFilter(this);
    else if (event->removed())
        event->child()->removeEventFilter(this);
    QDialog::childEvent(event);
}

void CLWDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || isWindowMaximized()) {
        QDialog::mousePressEvent(event);
        return;
    }

    const QPoint pos = rounded(PointerEvents::localPosition(event));
    m_ePressRegion = hitTest(pos.x(), pos.y());

    const bool startDrag = m_ePressRegion == FrameGeometry::Centre
        ? m_nTitleHeight == -1 || pos.y() <= m_nTitleHeight
        : m_bResizable;

    if (startDrag) {
        m_bPressed = true;
        m_ptPress = rounded(PointerEvents::globalPosition(event));
        m_rcPress = geometry();
    }
    QDialog::mousePressEvent(event);
    event->ignore();
}

void CLWDialog::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = rounded(PointerEvents::localPosition(event));
    updateCursor(hitTest(pos.x(), pos.y()));

    if (m_bPressed) {
        // Always from the press state, never from the previous move, so rounding cannot add up.
        const QPoint delta = rounded(PointerEvents::globalPosition(event)) - m_ptPress;
        if (m_ePressRegion == FrameGeometry::Centre) {
            move(m_rcPress.topLeft() + delta);
        } else {
            setGeometry(FrameGeometry::resizedGeometry(m_rcPress, m_ePressRegion, delta.x(),
                                                       delta.y(), minimumSize()));
        }
    }
    QDialog::mouseMoveEvent(event);
}

void CLWDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_bPressed) {
        m_bPressed = false;
        event->ignore();
        releaseMouse();
    }
    QDialog::mouseReleaseEvent(event);
}

void CLWDialog::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The base handler would treat the double click as another press.
    if (event->button() != Qt::LeftButton || !m_bResizable)
        return;
    const QPoint pos = rounded(PointerEvents::localPosition(event));
    if (hitTest(pos.x(), pos.y()) != FrameGeometry::Centre)
        return;
    if (m_nTitleHeight != -1 && pos.y() > m_nTitleHeight)
        return;
    setWindowMaximized(!isWindowMaximized());
}

void CLWDialog::paintEvent(QPaintEvent *)
{
    if (m_strBackgroundImage.isEmpty()) {
        setAttribute(Qt::WA_TranslucentBackground, false);
        return;
    }
    const int w = width();
    const int h = height();
    // A move to a screen of another density renders anew too.
    if (w != m_nCachedWidth || h != m_nCachedHeight
        || m_pixBackground.devicePixelRatioF() != devicePixelRatioF())
        renderBackground(w, h);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixBackground);
}

void CLWDialog::resizeEvent(QResizeEvent *event)
{
    if (!m_bComposited && !m_shadowMargins.isNull())
        setMask(QRegion(visibleFrame()));
    QDialog::resizeEvent(event);
}

void CLWDialog::renderBackground(int width, int height)
{
    // On a denser screen the picture's "@2x" version where there is one; the reader takes
    // its pixel ratio from the name.
    const qreal ratio = devicePixelRatioF();
    QPixmap image;
    image.load(qt_findAtNxFile(m_strBackgroundImage, ratio));
    m_nCachedWidth = width;
    m_nCachedHeight = height;

    // Rendered in device pixels, so nothing is scaled again when it is painted.
    m_pixBackground = QPixmap(QSize(width, height) * ratio);
    m_pixBackground.setDevicePixelRatio(ratio);
    m_pixBackground.fill(QColor(0, 0, 0, 0));
    QPainter painter(&m_pixBackground);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Margins and slices are in the picture's logical pixels, a source rectangle in its own.
    // A picture that failed to load (a damaged installation) has the ratio 0: the card stays
    // plain.
    const qreal sourceRatio = image.isNull() ? 1.0 : image.devicePixelRatioF();
    const QMargins margins(m_nLeftMargin, m_nTopMargin, m_nRightMargin, m_nBottomMargin);
    for (const FrameGeometry::Slice &slice :
         FrameGeometry::nineSlices(image.size() / sourceRatio, QSize(width, height), margins)) {
        const QRectF source(QPointF(slice.source.topLeft()) * sourceRatio,
                            QSizeF(slice.source.size()) * sourceRatio);
        painter.drawPixmap(QRectF(slice.target), image, source);
    }
    painter.end();
    if (m_bComposited || m_shadowMargins.isNull())
        return;

    // Square corners and a plain border line, in the card's own colours.
    const QRect card = visibleFrame();
    const int corner = qMin(16, qMin(card.width(), card.height()) / 2);
    QList<QPair<QPoint, QImage>> corners;
    for (const bool right : {false, true}) {
        for (const bool bottom : {false, true}) {
            const QPoint topLeft(right ? card.right() - corner + 1 : card.left(),
                                 bottom ? card.bottom() - corner + 1 : card.top());
            QImage piece = squaredCorner(
                m_pixBackground.copy(QRect(topLeft * ratio, QSize(corner, corner) * ratio))
                    .toImage(),
                right, bottom);
            piece.setDevicePixelRatio(ratio);
            corners.append({topLeft, piece});
        }
    }
    painter.begin(&m_pixBackground);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const auto &piece : qAsConst(corners))
        painter.drawImage(piece.first, piece.second);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QColor(0xC3, 0xCD, 0xD9));
    painter.drawRect(card.adjusted(0, 0, -1, -1));
}
