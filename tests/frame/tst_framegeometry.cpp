// SPDX-License-Identifier: MIT
#include "frame/framegeometry.h"

#include <QRegion>
#include <QtTest>

using FrameGeometry::Region;

Q_DECLARE_METATYPE(FrameGeometry::Region)
Q_DECLARE_METATYPE(QMargins)

// The band edges of the hit test are checked on the dialog itself (tst_clwdialog).
class tst_FrameGeometry : public QObject
{
    Q_OBJECT

private slots:
    void resizedGeometry_data();
    void resizedGeometry();
    void nineSlicesCoverImageAndTarget_data();
    void nineSlicesCoverImageAndTarget();
};

void tst_FrameGeometry::resizedGeometry_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    // From (100, 80, 300 x 250): left 100, top 80, right 399, bottom 329; minimum 200 x 150.
    QTest::newRow("left edge") << FrameGeometry::Left << QPoint(-30, 17) << QRect(70, 80, 330, 250);
    QTest::newRow("top edge") << FrameGeometry::Top << QPoint(33, -20) << QRect(100, 60, 300, 270);
    QTest::newRow("top-right corner")
        << FrameGeometry::TopRight << QPoint(12, 30) << QRect(100, 110, 312, 220);
    QTest::newRow("bottom-left corner")
        << FrameGeometry::BottomLeft << QPoint(20, 15) << QRect(120, 80, 280, 265);
    QTest::newRow("left edge past the minimum keeps the right edge")
        << FrameGeometry::Left << QPoint(170, 0) << QRect(200, 80, 200, 250);
    QTest::newRow("right edge past the minimum keeps the left edge")
        << FrameGeometry::Right << QPoint(-170, 0) << QRect(100, 80, 200, 250);
    QTest::newRow("top edge past the minimum keeps the bottom edge")
        << FrameGeometry::Top << QPoint(0, 400) << QRect(100, 180, 300, 150);
    QTest::newRow("bottom-right corner past the minimum keeps the top-left")
        << FrameGeometry::BottomRight << QPoint(-500, -500) << QRect(100, 80, 200, 150);
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

void tst_FrameGeometry::nineSlicesCoverImageAndTarget_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QMargins>("margins");

    QTest::newRow("stretched, uneven margins")
        << QSize(360, 647) << QSize(500, 800) << QMargins(20, 10, 30, 40);
    QTest::newRow("shrunk, uneven margins")
        << QSize(300, 200) << QSize(120, 90) << QMargins(7, 3, 11, 19);
}

void tst_FrameGeometry::nineSlicesCoverImageAndTarget()
{
    QFETCH(QSize, image);
    QFETCH(QSize, target);
    QFETCH(QMargins, margins);

    // Every pixel of the image and of the target lies in exactly one piece, and each piece
    // touches the same sides of the target as of the image.
    QRegion sources;
    QRegion targets;
    int sourceArea = 0;
    int targetArea = 0;
    const QRect imageRect(QPoint(0, 0), image);
    const QRect targetRect(QPoint(0, 0), target);
    for (const FrameGeometry::Slice &slice : FrameGeometry::nineSlices(image, target, margins)) {
        sources += slice.source;
        targets += slice.target;
        sourceArea += slice.source.width() * slice.source.height();
        targetArea += slice.target.width() * slice.target.height();
        const bool left = slice.target.left() == 0;
        const bool top = slice.target.top() == 0;
        const bool right = slice.target.right() == targetRect.right();
        const bool bottom = slice.target.bottom() == targetRect.bottom();
        QCOMPARE(slice.source.left() == 0, left);
        QCOMPARE(slice.source.top() == 0, top);
        QCOMPARE(slice.source.right() == imageRect.right(), right);
        QCOMPARE(slice.source.bottom() == imageRect.bottom(), bottom);
        // Corners are copied unscaled.
        if ((left || right) && (top || bottom))
            QCOMPARE(slice.source.size(), slice.target.size());
    }
    QCOMPARE(sources, QRegion(imageRect));
    QCOMPARE(targets, QRegion(targetRect));
    QCOMPARE(sourceArea, image.width() * image.height());
    QCOMPARE(targetArea, target.width() * target.height());
}

QTEST_APPLESS_MAIN(tst_FrameGeometry)
#include "tst_framegeometry.moc"
