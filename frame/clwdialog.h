// SPDX-License-Identifier: MIT
#pragma once

#include "frame/framegeometry.h"

#include <QDialog>
#include <QMargins>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

class QChildEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;

// Base of the program's top-level windows: a frameless dialog that paints its background from
// one image by nine-slice scaling, moves when dragged by its title band and, when allowed,
// resizes from its edges and maximises on a double click. Where no compositing manager runs, the
// window is cut to the picture's opaque card, whose corners are then squared, so that its
// translucent shadow never shows black.
class CLWDialog : public QDialog
{
    Q_OBJECT

public:
    using Region = FrameGeometry::Region;

    explicit CLWDialog(QWidget *parent = nullptr);

    // Margins are in pixels, the same in the image and in the window.
    void setBackgroundImage(const QString &path, int left, int top, int right, int bottom);
    QString backgroundImage() const { return m_strBackgroundImage; }
    // A press in the centre moves the window only at y <= height; -1 means the whole centre.
    void setTitleHeight(int height);
    void setResizable(bool resizable);
    // The picture's translucent shadow around its opaque card.
    void setShadowMargins(const QMargins &margins);

    // Maximised by the frame itself, with or without a window manager: the window fills the work
    // area of its screen and keeps the geometry it goes back to.
    bool isWindowMaximized() const;
    void setWindowMaximized(bool maximized);
    // The geometry of the window when it is not maximised.
    QRect normalWindowGeometry() const;

    Region hitTest(int x, int y) const;
    void updateCursor(Region region);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void childEvent(QChildEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void renderBackground(int width, int height);
    void setComposited(bool composited);
    // The part of the window a person sees: the card without a compositor, else all of it.
    QRect visibleFrame() const;

    bool m_bResizable = true;
    QString m_strBackgroundImage;
    QPixmap m_pixBackground;
    int m_nCachedWidth = -1;
    int m_nCachedHeight = -1;
    Qt::CursorShape m_eCursorShape = Qt::ArrowCursor;
    int m_nBorderWidth = 4;
    int m_nLeftMargin = 20;
    int m_nTopMargin = 20;
    int m_nRightMargin = 20;
    int m_nBottomMargin = 20;
    bool m_bPressed = false;
    // Meaningful only once a press has happened.
    Region m_ePressRegion = FrameGeometry::Centre;
    QPoint m_ptPress;
    QRect m_rcPress;
    int m_nTitleHeight = -1;
    QMargins m_shadowMargins;
    bool m_bComposited = true;
    bool m_bMaximized = false;
    QRect m_rcNormal;
};
