// SPDX-License-Identifier: MIT
// The window arithmetic of both programs, without a window: where a point lies in the
// frameless frame, how a drag resizes it, how the background is cut into nine pieces, how the
// tool slides at the screen edge, and where the main window goes.
#include "frame/framegeometry.h"
#include "main/mainwindowplacement.h"
#include "tool/slide.h"

#include <QTest>

using FrameGeometry::Region;
Q_DECLARE_METATYPE(FrameGeometry::Region)
Q_DECLARE_METATYPE(QMargins)

namespace {

constexpr int ToolWidth = 160;
constexpr int Step = 5;
constexpr int Strip = 35;

} // namespace

class TstGeometry : public QObject
{
    Q_OBJECT

private slots:
    void hitTest_data();
    void hitTest();
    void resize_data();
    void resize();
    void docked_data();
    void docked();
    void slide_data();
    void slide();
    void placement_data();
    void placement();
    void restored_data();
    void restored();
};

void TstGeometry::hitTest_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Region>("expected");

    // The login window's 360 x 647; the bands are 4 + 1 pixels at top and left, 4 at the others.
    QTest::newRow("x 4: left") << QPoint(4, 300) << FrameGeometry::Left;
    QTest::newRow("x 5: centre") << QPoint(5, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-5: centre") << QPoint(355, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-4: right") << QPoint(356, 300) << FrameGeometry::Right;
    QTest::newRow("y 4: top") << QPoint(180, 4) << FrameGeometry::Top;
    QTest::newRow("y 5: centre") << QPoint(180, 5) << FrameGeometry::Centre;
    QTest::newRow("y h-5: centre") << QPoint(180, 642) << FrameGeometry::Centre;
    QTest::newRow("y h-4: bottom") << QPoint(180, 643) << FrameGeometry::Bottom;
    QTest::newRow("top-left") << QPoint(4, 4) << FrameGeometry::TopLeft;
    QTest::newRow("top-right") << QPoint(356, 4) << FrameGeometry::TopRight;
    QTest::newRow("bottom-left") << QPoint(4, 643) << FrameGeometry::BottomLeft;
    QTest::newRow("bottom-right") << QPoint(356, 643) << FrameGeometry::BottomRight;
}

void TstGeometry::hitTest()
{
    QFETCH(QPoint, point);
    QFETCH(Region, expected);
    QCOMPARE(FrameGeometry::hitTest(point.x(), point.y(), 360, 647, 4), expected);
}

void TstGeometry::resize_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    // From (100, 80, 300 x 250): right 399, bottom 329; minimum 200 x 150.
    QTest::newRow("left") << FrameGeometry::Left << QPoint(-30, 17) << QRect(70, 80, 330, 250);
    QTest::newRow("top") << FrameGeometry::Top << QPoint(33, -20) << QRect(100, 60, 300, 270);
    QTest::newRow("top-right") << FrameGeometry::TopRight << QPoint(12, 30)
                               << QRect(100, 110, 312, 220);
    QTest::newRow("bottom-left") << FrameGeometry::BottomLeft << QPoint(20, 15)
                                 << QRect(120, 80, 280, 265);
    QTest::newRow("left-to-minimum")
        << FrameGeometry::Left << QPoint(100, 0) << QRect(200, 80, 200, 250);
    QTest::newRow("left-past-minimum")
        << FrameGeometry::Left << QPoint(170, 0) << QRect(200, 80, 200, 250);
    QTest::newRow("right-past-minimum")
        << FrameGeometry::Right << QPoint(-170, 0) << QRect(100, 80, 200, 250);
    QTest::newRow("top-one-short-of-minimum")
        << FrameGeometry::Top << QPoint(0, 99) << QRect(100, 179, 300, 151);
    QTest::newRow("top-past-minimum")
        << FrameGeometry::Top << QPoint(0, 400) << QRect(100, 180, 300, 150);
    QTest::newRow("bottom-right-past-minimum")
        << FrameGeometry::BottomRight << QPoint(-500, -500) << QRect(100, 80, 200, 150);
}

void TstGeometry::resize()
{
    QFETCH(Region, region);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(FrameGeometry::resizedGeometry(QRect(100, 80, 300, 250), region, delta.x(), delta.y(),
                                            QSize(200, 150)),
             expected);
}

void TstGeometry::docked_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("right"); // the last column the tool covers; flush is availWidth - 1
    QTest::addColumn<bool>("docked");
    QTest::newRow("flush") << 800 << 799 << true;
    QTest::newRow("five-inside") << 800 << 794 << true;
    QTest::newRow("six-inside") << 800 << 793 << false;
    QTest::newRow("five-inside-wide") << 1920 << 1914 << true;
    QTest::newRow("six-inside-wide") << 1920 << 1913 << false;
    QTest::newRow("at-the-strip") << 800 << 800 - Strip + ToolWidth - 1 << true;
    QTest::newRow("far-left") << 800 << ToolWidth - 1 << false;
}

void TstGeometry::docked()
{
    QFETCH(int, availWidth);
    QFETCH(int, right);
    QFETCH(bool, docked);
    QCOMPARE(Slide::isDocked(right, availWidth, Step), docked);
}

void TstGeometry::slide_data()
{
    QTest::addColumn<bool>("out");
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("movingTicks");
    QTest::addColumn<int>("finalLeft");

    // Out: 5 px a tick until only the strip shows; the stopping tick snaps to the strip.
    QTest::newRow("out-from-flush") << true << 800 << 800 - ToolWidth << 25 << 800 - Strip;
    QTest::newRow("out-from-flush-wide") << true << 1920 << 1920 - ToolWidth << 25 << 1920 - Strip;
    QTest::newRow("out-overshoot-snapped")
        << true << 800 << 800 - ToolWidth - 2 << 26 << 800 - Strip;
    QTest::newRow("out-at-the-strip") << true << 800 << 800 - Strip << 0 << 800 - Strip;
    QTest::newRow("out-beyond-snaps-back") << true << 800 << 790 << 0 << 800 - Strip;
    // In: until the tool lies wholly inside, without a snap.
    QTest::newRow("in-from-the-strip") << false << 800 << 800 - Strip << 25 << 800 - ToolWidth;
    QTest::newRow("in-one-over") << false << 800 << 800 - ToolWidth + 1 << 1 << 800 - ToolWidth - 4;
    QTest::newRow("in-flush") << false << 800 << 800 - ToolWidth << 0 << 800 - ToolWidth;
    QTest::newRow("in-five-inside")
        << false << 800 << 800 - ToolWidth - 5 << 0 << 800 - ToolWidth - 5;
}

void TstGeometry::slide()
{
    QFETCH(bool, out);
    QFETCH(int, availWidth);
    QFETCH(int, left);
    QFETCH(int, movingTicks);
    QFETCH(int, finalLeft);

    int ticks = 0;
    for (;;) {
        const Slide::Tick tick = out ? Slide::slideOutStep(left, availWidth, Step, Strip)
                                     : Slide::slideInStep(left, ToolWidth, availWidth, Step);
        if (tick.stop) {
            left = tick.left;
            break;
        }
        QCOMPARE(tick.left, left + (out ? Step : -Step));
        left = tick.left;
        QVERIFY2(++ticks <= 1000, "the slide never stops");
    }
    QCOMPARE(ticks, movingTicks);
    QCOMPARE(left, finalLeft);
}

void TstGeometry::placement_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("availHeight");
    QTest::addColumn<int>("desktopWidth");
    QTest::addColumn<QRect>("geometry"); // null: maximised

    QTest::newRow("narrow-maximises") << 1079 << 1040 << 1079 << QRect();
    QTest::newRow("full-hd") << 1920 << 1040 << 1920 << QRect(420, 70, 1080, 900);
    // Logical sizes of scaled screens: 1440 x 900 at 1.5, 2880 x 1800 at 2.
    QTest::newRow("960x600-maximises") << 960 << 600 << 960 << QRect();
    QTest::newRow("1440x900-clear") << 1440 << 900 << 1440 << QRect(180, 0, 1080, 900);
    // Where the tool's 160 x 74 corner would cover the window: moved left of the tool while
    // 1080 + 160 fit, otherwise ended above it.
    QTest::newRow("1280x800-left") << 1280 << 800 << 1280 << QRect(40, 10, 1080, 780);
    QTest::newRow("1366x768-left") << 1366 << 768 << 1366 << QRect(126, 10, 1080, 748);
    QTest::newRow("1240-wide-left") << 1240 << 800 << 1240 << QRect(0, 10, 1080, 780);
    QTest::newRow("1239-wide-above") << 1239 << 800 << 1239 << QRect(79, 10, 1080, 716);
    QTest::newRow("1239-wide-clear") << 1239 << 1100 << 1239 << QRect(79, 100, 1080, 900);
    QTest::newRow("1080x900-above") << 1080 << 900 << 1080 << QRect(0, 0, 1080, 826);
    QTest::newRow("899-high-above") << 1080 << 899 << 1080 << QRect(0, 10, 1080, 815);
    QTest::newRow("odd-difference-above") << 1081 << 901 << 1081 << QRect(0, 0, 1080, 827);
    // Centred on the desktop, across the first screen's corner or wholly beyond it.
    QTest::newRow("two-screens-left") << 1920 << 1040 << 3840 << QRect(680, 70, 1080, 900);
    QTest::newRow("three-screens-clear") << 1920 << 1040 << 5760 << QRect(2340, 70, 1080, 900);
}

void TstGeometry::placement()
{
    QFETCH(int, availWidth);
    QFETCH(int, availHeight);
    QFETCH(int, desktopWidth);
    QFETCH(QRect, geometry);

    const MainWindowPlacement p =
        MainWindowPlacement::compute(availWidth, availHeight, desktopWidth);
    QCOMPARE(p.fixedSize, !geometry.isNull());
    if (p.fixedSize)
        QCOMPARE(QRect(p.position, p.size), geometry);
}

void TstGeometry::restored_data()
{
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QRect>("expected"); // null: placed as on a first start

    // Two screens side by side: 1920 x 1040 of work area, then 1280 x 1024 to its right.
    QTest::newRow("as-left") << QRect(300, 100, 1200, 800) << QRect(300, 100, 1200, 800);
    QTest::newRow("on-the-second-screen") << QRect(2000, 50, 900, 700) << QRect(2000, 50, 900, 700);
    QTest::newRow("over-the-right-edge")
        << QRect(1400, 100, 1000, 800) << QRect(920, 100, 1000, 800);
    QTest::newRow("above-the-top") << QRect(100, -30, 900, 700) << QRect(100, 0, 900, 700);
    QTest::newRow("larger-than-the-screen")
        << QRect(1950, 10, 1400, 1200) << QRect(1920, 0, 1280, 1024);
    QTest::newRow("across-the-join") << QRect(1700, 100, 1000, 700) << QRect(1920, 100, 1000, 700);
    // Before the window was remembered it came back wherever it had been, screen or no screen.
    QTest::newRow("on-a-screen-that-is-gone") << QRect(3300, 100, 900, 700) << QRect();
    QTest::newRow("nothing-remembered") << QRect() << QRect();
}

void TstGeometry::restored()
{
    QFETCH(QRect, remembered);
    QFETCH(QRect, expected);
    QCOMPARE(MainWindowPlacement::restored(remembered,
                                           {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)}),
             expected);
}

QTEST_APPLESS_MAIN(TstGeometry)
#include "tst_geometry.moc"
