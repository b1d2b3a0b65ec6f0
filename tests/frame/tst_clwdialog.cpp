// SPDX-License-Identifier: MIT
#include "frame/clwdialog.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWindow>
#include <QtTest>

using FrameGeometry::Region;

Q_DECLARE_METATYPE(FrameGeometry::Region)
Q_DECLARE_METATYPE(Qt::MouseButton)

namespace {

const QRect kStart(200, 150, 300, 250);
// Where the login window's 360 x 647 are put.
const QRect kLogin(100, 50, 360, 647);

// A pointer event at a global position, fed in where the platform delivers real ones: it goes to
// the widget under the pointer, with the implicit grab a press makes.
void mouse(QTest::MouseAction action, QWidget &window, const QPoint &global,
           Qt::MouseButton button = Qt::LeftButton)
{
    QWindow *handle = window.windowHandle();
    QTest::mouseEvent(action, handle, button, {}, handle->mapFromGlobal(global));
}

bool showAt(QDialog &dlg, const QRect &geometry)
{
    dlg.setGeometry(geometry);
    dlg.show();
    return QTest::qWaitForWindowExposed(&dlg);
}

// Shows dlg active, with the keyboard focus in edit.
bool focusIn(QDialog &dlg, QWidget *edit)
{
    if (!showAt(dlg, kStart))
        return false;
    dlg.activateWindow();
    if (!QTest::qWaitForWindowActive(&dlg))
        return false;
    edit->setFocus();
    return QTest::qWaitFor([edit] { return edit->hasFocus(); });
}

// No two neighbouring pixels alike, so a misplaced, scaled or smoothed piece shows; with shadow
// the border is partly transparent, as a drop shadow in the image is.
QImage makeBackground(bool shadow)
{
    QImage image(360, 647, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool border = x < 20 || y < 20 || x >= 340 || y >= 627;
            const int blue = 64 * (x / 256) + 16 * (y / 256) + 8 * ((x + y) % 2);
            image.setPixel(
                x, y,
                qRgba(x % 256, y % 256, blue, shadow && border ? 60 + (x + 3 * y) % 190 : 255));
        }
    }
    return image;
}

QImage comparable(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class tst_CLWDialog : public QObject
{
    Q_OBJECT

private slots:
    void hitTestAtBandEdges_data();
    void hitTestAtBandEdges();
    void background_data();
    void background();

    void drag_data();
    void drag();
    void maximisedStartsNoDrag();
    void pressOnChildButtonStartsNothing();
    void doubleClickTogglesMaximised_data();
    void doubleClickTogglesMaximised();

    void escapeInChildDoesNotClose_data();
    void escapeInChildDoesNotClose();
    void childMovedToAnotherWindowIsNoLongerFiltered();
};

void tst_CLWDialog::hitTestAtBandEdges_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Region>("expected");

    // The login window's 360 x 647; the bands are 4 + 1 pixels at top and left, 4 at the others.
    const int w = 360;
    const int h = 647;
    QTest::newRow("x 4 is the left column") << QPoint(4, 300) << FrameGeometry::Left;
    QTest::newRow("x 5 is the middle column") << QPoint(5, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-5 is the middle column") << QPoint(w - 5, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-4 is the right column") << QPoint(w - 4, 300) << FrameGeometry::Right;
    QTest::newRow("y 4 is the top row") << QPoint(180, 4) << FrameGeometry::Top;
    QTest::newRow("y 5 is the middle row") << QPoint(180, 5) << FrameGeometry::Centre;
    QTest::newRow("y h-5 is the middle row") << QPoint(180, h - 5) << FrameGeometry::Centre;
    QTest::newRow("y h-4 is the bottom row") << QPoint(180, h - 4) << FrameGeometry::Bottom;
    QTest::newRow("top-left corner") << QPoint(4, 4) << FrameGeometry::TopLeft;
    QTest::newRow("top-right corner") << QPoint(w - 4, 4) << FrameGeometry::TopRight;
    QTest::newRow("bottom-left corner") << QPoint(4, h - 4) << FrameGeometry::BottomLeft;
    QTest::newRow("bottom-right corner") << QPoint(w - 4, h - 4) << FrameGeometry::BottomRight;
}

void tst_CLWDialog::hitTestAtBandEdges()
{
    QFETCH(QPoint, point);
    QFETCH(Region, expected);

    CLWDialog dlg;
    dlg.resize(360, 647);
    QCOMPARE(dlg.hitTest(point.x(), point.y()), expected);
}

void tst_CLWDialog::background_data()
{
    QTest::addColumn<bool>("shadow");

    QTest::newRow("opaque image") << false;
    QTest::newRow("translucent shadow border") << true;
}

void tst_CLWDialog::background()
{
    QFETCH(bool, shadow);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bk.png"));
    const QImage image = makeBackground(shadow);
    QVERIFY(image.save(path, "PNG"));

    // At the image's own size the nine pieces put the image back together, pixel for pixel.
    CLWDialog dlg;
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    dlg.setAttribute(Qt::WA_TranslucentBackground, shadow);
    dlg.resize(360, 647);
    QCOMPARE(comparable(dlg.grab().toImage()), comparable(image));
    QCOMPARE(dlg.backgroundLoads(), 1);

    // Only a new size renders, and reads the file, anew.
    dlg.grab();
    QCOMPARE(dlg.backgroundLoads(), 1);
    dlg.resize(400, 700);
    dlg.grab();
    QCOMPARE(dlg.backgroundLoads(), 2);

    // Without an image nothing is painted, and translucency is turned off.
    dlg.setBackgroundImage(QString(), 20, 20, 20, 20);
    dlg.setAttribute(Qt::WA_TranslucentBackground);
    const QImage painted = dlg.grab().toImage();
    QVERIFY(!dlg.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(dlg.backgroundLoads(), 2);
    QImage plain(painted.size(), painted.format());
    plain.fill(painted.pixel(0, 0));
    QCOMPARE(painted, plain);
}

void tst_CLWDialog::drag_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QPoint>("pressPoint");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<Qt::CursorShape>("cursor");

    // The login window with title height 240 and minimum size 200 x 150. The pointer stays short
    // of the right and bottom edges: QTest warns about events beyond them.
    const QRect start = kLogin;
    const Qt::CursorShape arrow = Qt::ArrowCursor;
    QTest::newRow("title band, y 240, moves")
        << false << QPoint(180, 240) << QPoint(37, 23) << start.translated(37, 23) << arrow;
    QTest::newRow("below the title band, y 241")
        << false << QPoint(180, 241) << QPoint(37, 23) << start << arrow;
    QTest::newRow("not resizable, left edge")
        << false << QPoint(2, 300) << QPoint(-30, 10) << start << arrow;
    QTest::newRow("not resizable, bottom-right corner")
        << false << QPoint(357, 643) << QPoint(-25, -15) << start << arrow;
    QTest::newRow("left edge") << true << QPoint(2, 300) << QPoint(-30, 10)
                               << QRect(70, 50, 390, 647) << Qt::SizeHorCursor;
    QTest::newRow("top edge") << true << QPoint(180, 2) << QPoint(5, -25)
                              << QRect(100, 25, 360, 672) << Qt::SizeVerCursor;
    QTest::newRow("top-right corner") << true << QPoint(357, 2) << QPoint(-15, 10)
                                      << QRect(100, 60, 345, 637) << Qt::SizeBDiagCursor;
    QTest::newRow("bottom-right corner") << true << QPoint(357, 643) << QPoint(-60, -45)
                                         << QRect(100, 50, 300, 602) << Qt::SizeFDiagCursor;
    // Past the minimum the pointer ends over the centre; the cursor keeps the drag's shape.
    QTest::newRow("left edge past the minimum") << true << QPoint(2, 300) << QPoint(300, 0)
                                                << QRect(260, 50, 200, 647) << Qt::SizeHorCursor;
    QTest::newRow("right edge past the minimum") << true << QPoint(357, 300) << QPoint(-300, 0)
                                                 << QRect(100, 50, 200, 647) << Qt::SizeHorCursor;
    QTest::newRow("top edge past the minimum") << true << QPoint(180, 2) << QPoint(0, 600)
                                               << QRect(100, 547, 360, 150) << Qt::SizeVerCursor;
    QTest::newRow("bottom edge past the minimum") << true << QPoint(180, 643) << QPoint(0, -600)
                                                  << QRect(100, 50, 360, 150) << Qt::SizeVerCursor;
}

void tst_CLWDialog::drag()
{
    QFETCH(bool, resizable);
    QFETCH(QPoint, pressPoint);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QFETCH(Qt::CursorShape, cursor);

    CLWDialog dlg;
    dlg.setTitleHeight(240);
    dlg.setResizable(resizable);
    dlg.setMinimumSize(200, 150);
    QVERIFY(showAt(dlg, kLogin));

    const QPoint press = dlg.mapToGlobal(pressPoint);
    mouse(QTest::MouseMove, dlg, press);
    QCOMPARE(dlg.cursor().shape(), cursor);
    mouse(QTest::MousePress, dlg, press);
    // Two moves: the second must not add to the first.
    mouse(QTest::MouseMove, dlg, press + delta / 2);
    mouse(QTest::MouseMove, dlg, press + delta);
    QCOMPARE(dlg.geometry(), expected);
    QCOMPARE(dlg.cursor().shape(), cursor);
    QTRY_COMPARE(dlg.windowHandle()->geometry(), expected);
    // The release ends the drag.
    mouse(QTest::MouseRelease, dlg, press + delta);
    mouse(QTest::MouseMove, dlg, press + delta - QPoint(3, 3));
    QCOMPARE(dlg.geometry(), expected);
}

void tst_CLWDialog::maximisedStartsNoDrag()
{
    CLWDialog dlg;
    dlg.setMinimumSize(100, 100);
    dlg.setGeometry(kStart);
    dlg.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect desktop = dlg.screen()->availableGeometry();
    QTRY_COMPARE(dlg.geometry(), desktop);

    // On the left edge and in the centre of the window, which fills the 800 x 600 desktop.
    for (const QPoint &point : {QPoint(2, 300), QPoint(400, 300)}) {
        const QPoint press = dlg.mapToGlobal(point);
        mouse(QTest::MouseMove, dlg, press);
        QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
        mouse(QTest::MousePress, dlg, press);
        mouse(QTest::MouseMove, dlg, press + QPoint(-25, -15));
        QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
        mouse(QTest::MouseRelease, dlg, press + QPoint(-25, -15));
        QCOMPARE(dlg.geometry(), desktop);
        QVERIFY(dlg.isMaximized());
    }
}

void tst_CLWDialog::pressOnChildButtonStartsNothing()
{
    CLWDialog dlg;
    dlg.setTitleHeight(240);
    auto *button = new QPushButton(QStringLiteral("登录"), &dlg);
    button->setGeometry(100, 100, 120, 30);
    QVERIFY(showAt(dlg, kLogin));

    const QPoint press = button->mapToGlobal(button->rect().center());
    mouse(QTest::MouseMove, dlg, press);
    mouse(QTest::MousePress, dlg, press);
    QVERIFY(button->isDown());
    mouse(QTest::MouseMove, dlg, press + QPoint(40, 30));
    QCOMPARE(dlg.geometry(), kLogin);
    mouse(QTest::MouseRelease, dlg, press + QPoint(40, 30));
}

void tst_CLWDialog::doubleClickTogglesMaximised_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("toggles");

    // The title band ends at y = 40.
    QTest::newRow("last row of the title band")
        << true << QPoint(150, 40) << Qt::LeftButton << true;
    QTest::newRow("below the title band") << true << QPoint(150, 41) << Qt::LeftButton << false;
    QTest::newRow("edge band") << true << QPoint(2, 30) << Qt::LeftButton << false;
    QTest::newRow("not resizable") << false << QPoint(150, 30) << Qt::LeftButton << false;
    QTest::newRow("right button") << true << QPoint(150, 30) << Qt::RightButton << false;
}

void tst_CLWDialog::doubleClickTogglesMaximised()
{
    QFETCH(bool, resizable);
    QFETCH(QPoint, point);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, toggles);

    CLWDialog dlg;
    dlg.setResizable(resizable);
    dlg.setTitleHeight(40);
    dlg.setMinimumSize(100, 100);
    QVERIFY(showAt(dlg, kStart));

    mouse(QTest::MouseMove, dlg, dlg.mapToGlobal(point));
    mouse(QTest::MouseDClick, dlg, dlg.mapToGlobal(point), button);
    QCOMPARE(dlg.isMaximized(), toggles);
    if (!toggles) {
        QCOMPARE(dlg.geometry(), kStart);
        return;
    }
    QTRY_COMPARE(dlg.geometry(), dlg.screen()->availableGeometry());

    // The same point lies in the band of the maximised window too: a second double click restores.
    mouse(QTest::MouseMove, dlg, dlg.mapToGlobal(point));
    mouse(QTest::MouseDClick, dlg, dlg.mapToGlobal(point), button);
    QVERIFY(!dlg.isMaximized());
    QTRY_COMPARE(dlg.geometry(), kStart);
}

void tst_CLWDialog::escapeInChildDoesNotClose_data()
{
    QTest::addColumn<int>("depth"); // of the focused line edit below the dialog; 0: none
    QTest::addColumn<bool>("closes");

    QTest::newRow("line edit, direct child") << 1 << false;
    QTest::newRow("line edit inside a frame") << 2 << false;
    QTest::newRow("no child has focus") << 0 << true;
}

void tst_CLWDialog::escapeInChildDoesNotClose()
{
    QFETCH(int, depth);
    QFETCH(bool, closes);

    CLWDialog dlg;
    QLineEdit *edit = nullptr;
    if (depth == 1) {
        edit = new QLineEdit(&dlg);
    } else if (depth == 2) {
        auto *frame = new QFrame(&dlg);
        edit = new QLineEdit(frame);
        (new QVBoxLayout(frame))->addWidget(edit);
    }
    QSignalSpy rejected(&dlg, &QDialog::rejected);
    QVERIFY(focusIn(dlg, edit ? static_cast<QWidget *>(edit) : &dlg));
    if (edit) {
        // Other keys still reach the child.
        QTest::keyClick(dlg.windowHandle(), Qt::Key_A);
        QCOMPARE(edit->text(), QStringLiteral("a"));
    }

    QTest::keyClick(dlg.windowHandle(), Qt::Key_Escape);
    QCOMPARE(dlg.isVisible(), !closes);
    QCOMPARE(rejected.count(), closes ? 1 : 0);
}

void tst_CLWDialog::childMovedToAnotherWindowIsNoLongerFiltered()
{
    // Before, the filter stayed on a child that had left, and ate Escape in its new window.
    CLWDialog dlg;
    auto *edit = new QLineEdit(&dlg);
    QDialog other;
    edit->setParent(&other);
    QSignalSpy rejected(&other, &QDialog::rejected);
    QVERIFY(focusIn(other, edit));

    QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(tst_CLWDialog)
#include "tst_clwdialog.moc"
