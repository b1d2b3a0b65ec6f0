// SPDX-License-Identifier: MIT
#include "frame/framegeometry.h"

#include <QRegion>
#include <QtTest>

using FrameGeometry::Region;

Q_DECLARE_METATYPE(FrameGeometry::Region)
Q_DECLARE_METATYPE(QMargins)

class tst_FrameGeometry : public QObject
{
    Q_OBJECT

private slots:
    void hitTest_data();
    void hitTest();
    void regionCode_data();
    void regionCode();
    void cursorShape_data();
    void cursorShape();
    void resizedGeometry_data();
    void resizedGeometry();
    void nineSlices_data();
    void nineSlices();
    void nineSlicesTileImageAndTarget_data();
    void nineSlicesTileImageAndTarget();
};

void tst_FrameGeometry::hitTest_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("border");
    QTest::addColumn<Region>("expected");

    const int w = 360;
    const int h = 647;
    QTest::newRow("x 0 is the left column") << 0 << 300 << w << h << 4 << FrameGeometry::Left;
    QTest::newRow("x 4 is the left column") << 4 << 300 << w << h << 4 << FrameGeometry::Left;
    QTest::newRow("x 5 is the middle column") << 5 << 300 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("x w-5 is the middle column")
        << w - 5 << 300 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("x w-4 is the right column")
        << w - 4 << 300 << w << h << 4 << FrameGeometry::Right;
    QTest::newRow("x w-1 is the right column")
        << w - 1 << 300 << w << h << 4 << FrameGeometry::Right;
    QTest::newRow("y 0 is the top row") << 180 << 0 << w << h << 4 << FrameGeometry::Top;
    QTest::newRow("y 4 is the top row") << 180 << 4 << w << h << 4 << FrameGeometry::Top;
    QTest::newRow("y 5 is the middle row") << 180 << 5 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("y h-5 is the middle row")
        << 180 << h - 5 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("y h-4 is the bottom row")
        << 180 << h - 4 << w << h << 4 << FrameGeometry::Bottom;
    QTest::newRow("y h-1 is the bottom row")
        << 180 << h - 1 << w << h << 4 << FrameGeometry::Bottom;
    QTest::newRow("top-left corner") << 4 << 4 << w << h << 4 << FrameGeometry::TopLeft;
    QTest::newRow("top-right corner") << w - 4 << 4 << w << h << 4 << FrameGeometry::TopRight;
    QTest::newRow("bottom-left corner") << 4 << h - 4 << w << h << 4 << FrameGeometry::BottomLeft;
    QTest::newRow("bottom-right corner")
        << w - 4 << h - 4 << w << h << 4 << FrameGeometry::BottomRight;
    QTest::newRow("just inside every band") << 5 << 5 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("just inside the far bands")
        << w - 5 << h - 5 << w << h << 4 << FrameGeometry::Centre;
    QTest::newRow("left of the window") << -3 << 300 << w << h << 4 << FrameGeometry::Left;
    QTest::newRow("below the window") << 180 << h + 10 << w << h << 4 << FrameGeometry::Bottom;
    QTest::newRow("wider border, x 8") << 8 << 100 << 200 << 200 << 8 << FrameGeometry::Left;
    QTest::newRow("wider border, x 9") << 9 << 100 << 200 << 200 << 8 << FrameGeometry::Centre;
    QTest::newRow("wider border, y h-8") << 100 << 192 << 200 << 200 << 8 << FrameGeometry::Bottom;
}

void tst_FrameGeometry::hitTest()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, border);
    QFETCH(Region, expected);

    QCOMPARE(FrameGeometry::hitTest(x, y, width, height, border), expected);
}

void tst_FrameGeometry::regionCode_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");

    QTest::newRow("top-left") << FrameGeometry::TopLeft << 0x00 << 0 << 0;
    QTest::newRow("top") << FrameGeometry::Top << 0x01 << 0 << 1;
    QTest::newRow("top-right") << FrameGeometry::TopRight << 0x02 << 0 << 2;
    QTest::newRow("left") << FrameGeometry::Left << 0x10 << 1 << 0;
    QTest::newRow("centre") << FrameGeometry::Centre << 0x11 << 1 << 1;
    QTest::newRow("right") << FrameGeometry::Right << 0x12 << 1 << 2;
    QTest::newRow("bottom-left") << FrameGeometry::BottomLeft << 0x20 << 2 << 0;
    QTest::newRow("bottom") << FrameGeometry::Bottom << 0x21 << 2 << 1;
    QTest::newRow("bottom-right") << FrameGeometry::BottomRight << 0x22 << 2 << 2;
}

void tst_FrameGeometry::regionCode()
{
    QFETCH(Region, region);
    QFETCH(int, code);
    QFETCH(int, row);
    QFETCH(int, column);

    QCOMPARE(int(region), code);
    QCOMPARE(FrameGeometry::regionRow(region), row);
    QCOMPARE(FrameGeometry::regionColumn(region), column);
}

void tst_FrameGeometry::cursorShape_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<Qt::CursorShape>("shape");

    QTest::newRow("top-left") << FrameGeometry::TopLeft << Qt::SizeFDiagCursor;
    QTest::newRow("top") << FrameGeometry::Top << Qt::SizeVerCursor;
    QTest::newRow("top-right") << FrameGeometry::TopRight << Qt::SizeBDiagCursor;
    QTest::newRow("left") << FrameGeometry::Left << Qt::SizeHorCursor;
    QTest::newRow("centre") << FrameGeometry::Centre << Qt::ArrowCursor;
    QTest::newRow("right") << FrameGeometry::Right << Qt::SizeHorCursor;
    QTest::newRow("bottom-left") << FrameGeometry::BottomLeft << Qt::SizeBDiagCursor;
    QTest::newRow("bottom") << FrameGeometry::Bottom << Qt::SizeVerCursor;
    QTest::newRow("bottom-right") << FrameGeometry::BottomRight << Qt::SizeFDiagCursor;
}

void tst_FrameGeometry::cursorShape()
{
    QFETCH(Region, region);
    QFETCH(Qt::CursorShape, shape);

    QCOMPARE(FrameGeometry::cursorShape(region), shape);
}

void tst_FrameGeometry::resizedGeometry_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    // Press geometry (100, 80, 300 x 250): left 100, top 80, right 399, bottom 329.
    // Minimum size 200 x 150.
    QTest::newRow("left edge outwards")
        << FrameGeometry::Left << QPoint(-30, 17) << QRect(70, 80, 330, 250);
    QTest::newRow("left edge inwards")
        << FrameGeometry::Left << QPoint(40, -9) << QRect(140, 80, 260, 250);
    QTest::newRow("right edge outwards")
        << FrameGeometry::Right << QPoint(25, 50) << QRect(100, 80, 325, 250);
    QTest::newRow("top edge upwards")
        << FrameGeometry::Top << QPoint(33, -20) << QRect(100, 60, 300, 270);
    QTest::newRow("bottom edge downwards")
        << FrameGeometry::Bottom << QPoint(-7, 45) << QRect(100, 80, 300, 295);
    QTest::newRow("top-left corner")
        << FrameGeometry::TopLeft << QPoint(-10, -5) << QRect(90, 75, 310, 255);
    QTest::newRow("top-right corner")
        << FrameGeometry::TopRight << QPoint(12, 30) << QRect(100, 110, 312, 220);
    QTest::newRow("bottom-left corner")
        << FrameGeometry::BottomLeft << QPoint(20, 15) << QRect(120, 80, 280, 265);
    QTest::newRow("bottom-right corner")
        << FrameGeometry::BottomRight << QPoint(-50, -60) << QRect(100, 80, 250, 190);
    QTest::newRow("left edge exactly at the minimum")
        << FrameGeometry::Left << QPoint(100, 0) << QRect(200, 80, 200, 250);
    QTest::newRow("left edge past the minimum keeps the right edge")
        << FrameGeometry::Left << QPoint(170, 0) << QRect(200, 80, 200, 250);
    QTest::newRow("right edge past the minimum keeps the left edge")
        << FrameGeometry::Right << QPoint(-170, 0) << QRect(100, 80, 200, 250);
    QTest::newRow("top edge past the minimum keeps the bottom edge")
        << FrameGeometry::Top << QPoint(0, 400) << QRect(100, 180, 300, 150);
    QTest::newRow("bottom edge past the minimum keeps the top edge")
        << FrameGeometry::Bottom << QPoint(0, -400) << QRect(100, 80, 300, 150);
    QTest::newRow("top-left corner past the minimum in both directions")
        << FrameGeometry::TopLeft << QPoint(500, 500) << QRect(200, 180, 200, 150);
    QTest::newRow("bottom-right corner past the minimum in both directions")
        << FrameGeometry::BottomRight << QPoint(-500, -500) << QRect(100, 80, 200, 150);
    QTest::newRow("top-right corner past the minimum in width only")
        << FrameGeometry::TopRight << QPoint(-150, -10) << QRect(100, 70, 200, 260);
}

void tst_FrameGeometry::resizedGeometry()
{
    QFETCH(Region, region);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);

    const QRect press(100, 80, 300, 250);
    QCOMPARE(FrameGeometry::resizedGeometry(press, region, delta.x(), delta.y(), QSize(200, 150)),
             expected);
}

void tst_FrameGeometry::nineSlices_data()
{
    QTest::addColumn<int>("piece");
    QTest::addColumn<QRect>("source");
    QTest::addColumn<QRect>("target");

    // Image 360 x 647 into a 500 x 800 target, margins left 20, top 10, right 30, bottom 40.
    QTest::newRow("top-left corner") << 0 << QRect(0, 0, 20, 10) << QRect(0, 0, 20, 10);
    QTest::newRow("top edge") << 1 << QRect(20, 0, 310, 10) << QRect(20, 0, 450, 10);
    QTest::newRow("top-right corner") << 2 << QRect(330, 0, 30, 10) << QRect(470, 0, 30, 10);
    QTest::newRow("left edge") << 3 << QRect(0, 10, 20, 597) << QRect(0, 10, 20, 750);
    QTest::newRow("centre") << 4 << QRect(20, 10, 310, 597) << QRect(20, 10, 450, 750);
    QTest::newRow("right edge") << 5 << QRect(330, 10, 30, 597) << QRect(470, 10, 30, 750);
    QTest::newRow("bottom-left corner") << 6 << QRect(0, 607, 20, 40) << QRect(0, 760, 20, 40);
    QTest::newRow("bottom edge") << 7 << QRect(20, 607, 310, 40) << QRect(20, 760, 450, 40);
    QTest::newRow("bottom-right corner") << 8 << QRect(330, 607, 30, 40) << QRect(470, 760, 30, 40);
}

void tst_FrameGeometry::nineSlices()
{
    QFETCH(int, piece);
    QFETCH(QRect, source);
    QFETCH(QRect, target);

    const auto slices =
        FrameGeometry::nineSlices(QSize(360, 647), QSize(500, 800), QMargins(20, 10, 30, 40));
    QCOMPARE(slices.at(piece).source, source);
    QCOMPARE(slices.at(piece).target, target);
}

void tst_FrameGeometry::nineSlicesTileImageAndTarget_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QMargins>("margins");

    QTest::newRow("login background at its own size")
        << QSize(360, 647) << QSize(360, 647) << QMargins(20, 20, 20, 20);
    QTest::newRow("main background stretched")
        << QSize(1094, 914) << QSize(1600, 1000) << QMargins(20, 20, 20, 20);
    QTest::newRow("shrunk with uneven margins")
        << QSize(300, 200) << QSize(120, 90) << QMargins(7, 3, 11, 19);
}

void tst_FrameGeometry::nineSlicesTileImageAndTarget()
{
    QFETCH(QSize, image);
    QFETCH(QSize, target);
    QFETCH(QMargins, margins);

    // Every pixel of the image and of the target belongs to exactly one piece.
    QRegion sources;
    QRegion targets;
    int sourceArea = 0;
    int targetArea = 0;
    for (const FrameGeometry::Slice &slice : FrameGeometry::nineSlices(image, target, margins)) {
        QVERIFY(!slice.source.isEmpty());
        QVERIFY(!slice.target.isEmpty());
        sources += slice.source;
        targets += slice.target;
        sourceArea += slice.source.width() * slice.source.height();
        targetArea += slice.target.width() * slice.target.height();
    }
    QCOMPARE(sources, QRegion(QRect(QPoint(0, 0), image)));
    QCOMPARE(targets, QRegion(QRect(QPoint(0, 0), target)));
    QCOMPARE(sourceArea, image.width() * image.height());
    QCOMPARE(targetArea, target.width() * target.height());
}

QTEST_APPLESS_MAIN(tst_FrameGeometry)
#include "tst_framegeometry.moc"
