// SPDX-License-Identifier: MIT
#pragma once

#include "frame/framegeometry.h"

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

class QChildEvent;
class QMouseEvent;
class QPaintEvent;

// Base of the program's top-level windows: a frameless dialog that paints its background from
// one image by nine-slice scaling, moves when dragged by its title band and, when allowed,
// resizes from its edges and maximises on a double click.
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

private:
    void renderBackground(int width, int height);

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
};
