// SPDX-License-Identifier: MIT
#include "frame/clwdialog.h"
#include "tests/support/testsupport.h"

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
    void background_data();
    void background();

    void drag_data();
    void drag();
    void pressOnChildButtonStartsNothing();
    void doubleClickTogglesMaximised_data();
    void doubleClickTogglesMaximised();

    void escapeInChildDoesNotClose_data();
    void escapeInChildDoesNotClose();
    void childMovedToAnotherWindowIsNoLongerFiltered();
};

void tst_CLWDialog::background_data()
{
    QTest::addColumn<bool>("shadow");
    QTest::addColumn<bool>("readable");

    QTest::newRow("opaque image") << false << true;
    QTest::newRow("translucent shadow border") << true << true;
    // Before: the ratio of a picture that failed to load is 0, and rendering divided by it.
    QTest::newRow("picture that cannot be read") << true << false;
}

void tst_CLWDialog::background()
{
    QFETCH(bool, shadow);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bk.png"));
    const QImage image = makeBackground(shadow);
    QVERIFY(readable ? image.save(path, "PNG") : TestSupport::writeFile(path, "no picture"));

    // At the image's own size the nine pieces put the image back together, pixel for pixel.
    CLWDialog dlg;
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    dlg.setAttribute(Qt::WA_TranslucentBackground, shadow);
    dlg.resize(360, 647);
    const QImage shown = dlg.grab().toImage();
    if (readable)
        QCOMPARE(comparable(shown), comparable(image));
    else
        QCOMPARE(shown.size(), image.size());
}

void tst_CLWDialog::drag_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QPoint>("pressPoint");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected"); // null: where it was
    QTest::addColumn<Qt::CursorShape>("cursor");

    // The login window with title height 240 and minimum size 200 x 150. The pointer stays short
    // of the right and bottom edges: QTest warns about events beyond them. The edge rules
    // themselves are tst_geometry's; these rows show that the window follows them.
    const Qt::CursorShape arrow = Qt::ArrowCursor;
    QTest::newRow("title band, y 240, moves")
        << false << false << QPoint(180, 240) << QPoint(37, 23) << kLogin.translated(37, 23)
        << arrow;
    QTest::newRow("below the title band, y 241")
        << false << false << QPoint(180, 241) << QPoint(37, 23) << QRect() << arrow;
    QTest::newRow("not resizable, left edge")
        << false << false << QPoint(2, 300) << QPoint(-30, 10) << QRect() << arrow;
    QTest::newRow("left edge") << true << false << QPoint(2, 300) << QPoint(-30, 10)
                               << QRect(70, 50, 390, 647) << Qt::SizeHorCursor;
    QTest::newRow("bottom-right corner") << true << false << QPoint(357, 643) << QPoint(-60, -45)
                                         << QRect(100, 50, 300, 602) << Qt::SizeFDiagCursor;
    // Past the minimum the pointer ends over the centre; the cursor keeps the drag's shape.
    QTest::newRow("top edge past the minimum") << true << false << QPoint(180, 2) << QPoint(0, 600)
                                               << QRect(100, 547, 360, 150) << Qt::SizeVerCursor;
    QTest::newRow("maximised, left edge")
        << true << true << QPoint(2, 300) << QPoint(-25, -15) << QRect() << arrow;
    QTest::newRow("maximised, centre")
        << true << true << QPoint(400, 200) << QPoint(-25, -15) << QRect() << arrow;
}

void tst_CLWDialog::drag()
{
    QFETCH(bool, resizable);
    QFETCH(bool, maximised);
    QFETCH(QPoint, pressPoint);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QFETCH(Qt::CursorShape, cursor);

    CLWDialog dlg;
    dlg.setTitleHeight(240);
    dlg.setResizable(resizable);
    dlg.setMinimumSize(200, 150);
    QVERIFY(showAt(dlg, kLogin));
    if (maximised) {
        dlg.showMaximized();
        QTRY_COMPARE(dlg.geometry(), dlg.screen()->availableGeometry());
    }
    if (expected.isNull())
        expected = dlg.geometry();

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
    QCOMPARE(dlg.isWindowMaximized(), toggles);
    if (!toggles) {
        QCOMPARE(dlg.geometry(), kStart);
        return;
    }
    QTRY_COMPARE(dlg.geometry(), dlg.screen()->availableGeometry());

    // The same point lies in the band of the maximised window too: a second double click restores.
    mouse(QTest::MouseMove, dlg, dlg.mapToGlobal(point));
    mouse(QTest::MouseDClick, dlg, dlg.mapToGlobal(point), button);
    QVERIFY(!dlg.isWindowMaximized());
    QCOMPARE(dlg.normalWindowGeometry(), kStart);
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
