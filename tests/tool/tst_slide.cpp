// SPDX-License-Identifier: MIT
#include "tool/slide.h"

#include <QTest>

namespace {

constexpr int Width = 160;
constexpr int Step = 5;
constexpr int Strip = 35;

} // namespace

// The docking test and the slide steps, tick by tick, without a window.
class TstSlide : public QObject
{
    Q_OBJECT

private slots:
    void isDocked_data();
    void isDocked();
    void slideOut_data();
    void slideOut();
    void slideIn_data();
    void slideIn();
};

void TstSlide::isDocked_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("right");
    QTest::addColumn<bool>("docked");
    // Flush means right == availWidth - 1.
    QTest::newRow("flush") << 800 << 799 << true;
    QTest::newRow("five-inside") << 800 << 794 << true;
    QTest::newRow("six-inside") << 800 << 793 << false;
    QTest::newRow("six-inside-wide-screen") << 1920 << 1913 << false;
    QTest::newRow("five-inside-wide-screen") << 1920 << 1914 << true;
    QTest::newRow("docked-strip") << 800 << 800 - Strip + Width - 1 << true;
    QTest::newRow("beyond-the-edge") << 800 << 5000 << true;
    QTest::newRow("far-left") << 800 << Width - 1 << false;
}

void TstSlide::isDocked()
{
    QFETCH(int, availWidth);
    QFETCH(int, right);
    QFETCH(bool, docked);
    QCOMPARE(Slide::isDocked(right, availWidth, Step), docked);
}

void TstSlide::slideOut_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("movingTicks");
    QTest::addColumn<int>("lastMovedLeft"); // where the last moving tick put the window
    QTest::newRow("from-flush") << 800 << 800 - Width << 25 << 800 - Strip;
    QTest::newRow("from-flush-wide-screen") << 1920 << 1920 - Width << 25 << 1920 - Strip;
    QTest::newRow("overshoot-is-snapped") << 800 << 800 - Width - 2 << 26 << 800 - Strip + 3;
    QTest::newRow("four-px-overshoot") << 800 << 800 - Width - 1 << 26 << 800 - Strip + 4;
    QTest::newRow("already-at-the-strip") << 800 << 800 - Strip << 0 << 800 - Strip;
    QTest::newRow("beyond-the-strip-snaps-back") << 800 << 790 << 0 << 790;
}

void TstSlide::slideOut()
{
    QFETCH(int, availWidth);
    QFETCH(int, left);
    QFETCH(int, movingTicks);
    QFETCH(int, lastMovedLeft);

    int ticks = 0;
    Slide::Tick tick;
    for (;;) {
        tick = Slide::slideOutStep(left, availWidth, Step, Strip);
        if (tick.stop)
            break;
        QCOMPARE(tick.left, left + Step);
        left = tick.left;
        QVERIFY2(++ticks <= 1000, "the slide never stops");
    }
    QCOMPARE(ticks, movingTicks);
    QCOMPARE(left, lastMovedLeft);
    // The tick that stops puts the window exactly at the strip.
    QCOMPARE(tick.left, availWidth - Strip);
}

void TstSlide::slideIn_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("movingTicks");
    QTest::addColumn<int>("finalLeft");
    QTest::newRow("from-the-strip") << 800 << 800 - Strip << 25 << 800 - Width;
    QTest::newRow("from-the-strip-wide-screen") << 1920 << 1920 - Strip << 25 << 1920 - Width;
    QTest::newRow("one-over-ends-four-left-of-flush")
        << 800 << 800 - Width + 1 << 1 << 800 - Width - 4;
    QTest::newRow("three-over-ends-two-left-of-flush")
        << 800 << 800 - Width + 3 << 1 << 800 - Width - 2;
    QTest::newRow("flush-stops-at-once") << 800 << 800 - Width << 0 << 800 - Width;
    QTest::newRow("five-inside-stops-at-once") << 800 << 800 - Width - 5 << 0 << 800 - Width - 5;
}

void TstSlide::slideIn()
{
    QFETCH(int, availWidth);
    QFETCH(int, left);
    QFETCH(int, movingTicks);
    QFETCH(int, finalLeft);

    int ticks = 0;
    for (;;) {
        const Slide::Tick tick = Slide::slideInStep(left, Width, availWidth, Step);
        if (tick.stop) {
            QCOMPARE(tick.left, left); // no snap
            break;
        }
        QCOMPARE(tick.left, left - Step);
        left = tick.left;
        QVERIFY2(++ticks <= 1000, "the slide never stops");
    }
    QCOMPARE(ticks, movingTicks);
    QCOMPARE(left, finalLeft);
    QVERIFY(left + Width <= availWidth);
}

QTEST_APPLESS_MAIN(TstSlide)
#include "tst_slide.moc"
