// SPDX-License-Identifier: MIT
#include "frame/clwdialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
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

// Feeds pointer events in at the platform entry, so they travel as real ones do: to the window,
// then to the widget under the pointer, with the implicit grab a press makes.
class Pointer
{
public:
    explicit Pointer(QWidget *window)
        : m_window(window->windowHandle())
    {
    }

    void press(const QPoint &global, Qt::MouseButton button = Qt::LeftButton)
    {
        m_buttons |= button;
        send(global, button, QEvent::MouseButtonPress);
    }
    void move(const QPoint &global) { send(global, Qt::NoButton, QEvent::MouseMove); }
    void release(const QPoint &global, Qt::MouseButton button = Qt::LeftButton)
    {
        m_buttons &= ~button;
        send(global, button, QEvent::MouseButtonRelease);
        // Far apart in time, so the next press is never the second half of a double click.
        s_timestamp += 10000;
    }
    void doubleClick(const QPoint &global, Qt::MouseButton button = Qt::LeftButton)
    {
        press(global, button);
        m_buttons &= ~button;
        send(global, button, QEvent::MouseButtonRelease);
        press(global, button);
        release(global, button);
    }

private:
    void send(const QPoint &global, Qt::MouseButton button, QEvent::Type type)
    {
        QVERIFY(m_window);
        const QPointF local = QPointF(global - m_window->mapToGlobal(QPoint(0, 0)));
        qt_handleMouseEvent(m_window, local, QPointF(global), m_buttons, button, type,
                            Qt::NoModifier, ++s_timestamp);
        QCoreApplication::processEvents();
    }

    QPointer<QWindow> m_window;
    Qt::MouseButtons m_buttons;
    static int s_timestamp;
};

int Pointer::s_timestamp = 100000;

// Sends one mouse event straight to the widget, for positions the platform path would round
// before the widget sees them.
void sendMouse(QWidget *widget, QEvent::Type type, const QPointF &local, const QPointF &screen,
               Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, local, screen, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A test background: red follows x, green follows y and blue names the nine-slice piece a pixel
// lies in, plus a checkerboard that smoothing would blur, so a misplaced, shifted or smoothed
// piece shows. With shadow, the border pieces are partly transparent, as a drop shadow would be.
int pieceBlue(int piece)
{
    return 20 + 26 * piece;
}

QImage makeBackground(const QSize &size, const QMargins &margins, bool shadow)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        const int row = y < margins.top() ? 0 : y >= size.height() - margins.bottom() ? 2 : 1;
        for (int x = 0; x < size.width(); ++x) {
            const int column = x < margins.left() ? 0 : x >= size.width() - margins.right() ? 2 : 1;
            const int piece = row * 3 + column;
            const int alpha = (shadow && piece != 4) ? 60 + (x + 3 * y) % 190 : 255;
            image.setPixel(x, y,
                           qRgba(x % 256, y % 256, pieceBlue(piece) + 10 * ((x + y) % 2), alpha));
        }
    }
    return image;
}

QString saveImage(const QTemporaryDir &dir, const QString &name, const QImage &image)
{
    const QString path = dir.filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

QImage comparable(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Empty when equal, else where the first difference is.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    const QImage a = comparable(actual);
    const QImage e = comparable(expected);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != e.pixel(x, y))
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(e.pixel(x, y), 8, 16, QLatin1Char('0'));
        }
    }
    return QString();
}

bool isUniform(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
        }
    }
    return true;
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

const QRect kStartGeometry(200, 150, 300, 250);

} // namespace

class tst_CLWDialog : public QObject
{
    Q_OBJECT

private slots:
    void constructorMakesFramelessDialog_data();
    void constructorMakesFramelessDialog();
    void hitTestAtBandEdges_data();
    void hitTestAtBandEdges();

    void backgroundReproducesImage_data();
    void backgroundReproducesImage();
    void backgroundStretchesEdgesAndKeepsCorners_data();
    void backgroundStretchesEdgesAndKeepsCorners();
    void backgroundRenderedOnlyWhenNeeded();
    void shownWindowRepaintsFromCache();
    void emptyPathPaintsNothing_data();
    void emptyPathPaintsNothing();

    void cursorFollowsRegions_data();
    void cursorFollowsRegions();
    void hoverPositionsAreRounded_data();
    void hoverPositionsAreRounded();
    void cursorKeepsPressShapeDuringDrag();
    void childEnterResetsInheritedResizeCursor_data();
    void childEnterResetsInheritedResizeCursor();

    void titleBandMovesWindow_data();
    void titleBandMovesWindow();
    void dragRoundsScreenPositions_data();
    void dragRoundsScreenPositions();
    void pressOnChildButtonStartsNothing();
    void edgeDragResizes_data();
    void edgeDragResizes();
    void fixedSizeEdgesStartNothing_data();
    void fixedSizeEdgesStartNothing();
    void maximisedWindowStartsNoDrag_data();
    void maximisedWindowStartsNoDrag();
    void doubleClickTogglesMaximised_data();
    void doubleClickTogglesMaximised();

    void escapeInChildDoesNotClose_data();
    void escapeInChildDoesNotClose();
    void otherKeysReachChildren();
    void childMovedToAnotherWindowIsNoLongerFiltered();
};

void tst_CLWDialog::constructorMakesFramelessDialog_data()
{
    QTest::addColumn<bool>("withParent");

    QTest::newRow("without a parent") << false;
    QTest::newRow("with a parent widget") << true;
}

void tst_CLWDialog::constructorMakesFramelessDialog()
{
    QFETCH(bool, withParent);

    QWidget parent;
    CLWDialog dlg(withParent ? &parent : nullptr);

    QCOMPARE(dlg.parentWidget(), withParent ? &parent : nullptr);
    QVERIFY(dlg.isWindow());
    QCOMPARE(dlg.windowType(), Qt::Dialog);
    QVERIFY(dlg.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(dlg.hasMouseTracking());
    QVERIFY(!dlg.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(dlg.backgroundLoads(), 0);
    QCOMPARE(QByteArray(dlg.metaObject()->className()), QByteArray("CLWDialog"));
    QVERIFY(qobject_cast<QDialog *>(&dlg));
}

void tst_CLWDialog::hitTestAtBandEdges_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Region>("expected");

    const QSize login(360, 647);
    const int w = login.width();
    const int h = login.height();
    QTest::newRow("x 4 is the left column") << login << QPoint(4, 300) << FrameGeometry::Left;
    QTest::newRow("x 5 is the middle column") << login << QPoint(5, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-5 is the middle column")
        << login << QPoint(w - 5, 300) << FrameGeometry::Centre;
    QTest::newRow("x w-4 is the right column")
        << login << QPoint(w - 4, 300) << FrameGeometry::Right;
    QTest::newRow("y 4 is the top row") << login << QPoint(180, 4) << FrameGeometry::Top;
    QTest::newRow("y 5 is the middle row") << login << QPoint(180, 5) << FrameGeometry::Centre;
    QTest::newRow("y h-5 is the middle row")
        << login << QPoint(180, h - 5) << FrameGeometry::Centre;
    QTest::newRow("y h-4 is the bottom row")
        << login << QPoint(180, h - 4) << FrameGeometry::Bottom;
    QTest::newRow("top-left corner") << login << QPoint(4, 4) << FrameGeometry::TopLeft;
    QTest::newRow("top-right corner") << login << QPoint(w - 4, 4) << FrameGeometry::TopRight;
    QTest::newRow("bottom-left corner") << login << QPoint(4, h - 4) << FrameGeometry::BottomLeft;
    QTest::newRow("bottom-right corner")
        << login << QPoint(w - 4, h - 4) << FrameGeometry::BottomRight;
    QTest::newRow("origin") << login << QPoint(0, 0) << FrameGeometry::TopLeft;
    QTest::newRow("last pixel") << login << QPoint(w - 1, h - 1) << FrameGeometry::BottomRight;
    QTest::newRow("other size, x w-4")
        << QSize(1094, 914) << QPoint(1090, 400) << FrameGeometry::Right;
    QTest::newRow("other size, y h-5")
        << QSize(1094, 914) << QPoint(500, 909) << FrameGeometry::Centre;
}

void tst_CLWDialog::hitTestAtBandEdges()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, point);
    QFETCH(Region, expected);

    CLWDialog dlg;
    dlg.resize(size);
    QCOMPARE(dlg.size(), size);
    QCOMPARE(dlg.hitTest(point.x(), point.y()), expected);
}

void tst_CLWDialog::backgroundReproducesImage_data()
{
    QTest::addColumn<bool>("shadow");

    QTest::newRow("opaque image") << false;
    QTest::newRow("translucent shadow border") << true;
}

void tst_CLWDialog::backgroundReproducesImage()
{
    QFETCH(bool, shadow);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QImage image = makeBackground(QSize(360, 647), QMargins(20, 20, 20, 20), shadow);
    const QString path = saveImage(dir, QStringLiteral("bk.png"), image);
    QVERIFY(!path.isEmpty());

    CLWDialog dlg;
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    dlg.setAttribute(Qt::WA_TranslucentBackground, shadow);
    dlg.resize(360, 647);

    const QImage painted = dlg.grab().toImage();
    const QString difference = firstDifference(painted, image);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(dlg.backgroundLoads(), 1);
}

void tst_CLWDialog::backgroundStretchesEdgesAndKeepsCorners_data()
{
    QTest::addColumn<QSize>("windowSize");

    QTest::newRow("stretched") << QSize(500, 800);
    QTest::newRow("shrunk") << QSize(200, 300);
    QTest::newRow("wider only") << QSize(700, 647);
}

void tst_CLWDialog::backgroundStretchesEdgesAndKeepsCorners()
{
    QFETCH(QSize, windowSize);

    const QSize imageSize(360, 647);
    const QMargins margins(20, 10, 30, 40);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QImage image = makeBackground(imageSize, margins, false);
    const QString path = saveImage(dir, QStringLiteral("bk.png"), image);
    QVERIFY(!path.isEmpty());

    CLWDialog dlg;
    dlg.setBackgroundImage(path, margins.left(), margins.top(), margins.right(), margins.bottom());
    dlg.resize(windowSize);
    const QImage painted = comparable(dlg.grab().toImage());
    QCOMPARE(painted.size(), windowSize);

    // Corners are copied unscaled.
    const int w = windowSize.width();
    const int h = windowSize.height();
    const int sw = imageSize.width();
    const int sh = imageSize.height();
    const struct
    {
        QRect target;
        QRect source;
    } corners[] = {
        {QRect(0, 0, 20, 10), QRect(0, 0, 20, 10)},
        {QRect(w - 30, 0, 30, 10), QRect(sw - 30, 0, 30, 10)},
        {QRect(0, h - 40, 20, 40), QRect(0, sh - 40, 20, 40)},
        {QRect(w - 30, h - 40, 30, 40), QRect(sw - 30, sh - 40, 30, 40)},
    };
    for (const auto &corner : corners) {
        const QString difference =
            firstDifference(painted.copy(corner.target), image.copy(corner.source));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Every pixel is a pixel of the piece laid out at its place, stretched without smoothing.
    for (int y = 0; y < h; ++y) {
        const int row = y < margins.top() ? 0 : y >= h - margins.bottom() ? 2 : 1;
        for (int x = 0; x < w; ++x) {
            const int column = x < margins.left() ? 0 : x >= w - margins.right() ? 2 : 1;
            const int piece = row * 3 + column;
            const int checker = qBlue(painted.pixel(x, y)) - pieceBlue(piece);
            if (checker != 0 && checker != 10)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is not from piece %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(piece)));
        }
    }
}

void tst_CLWDialog::backgroundRenderedOnlyWhenNeeded()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QMargins margins(20, 20, 20, 20);
    const QString path =
        saveImage(dir, QStringLiteral("bk.png"), makeBackground(QSize(360, 647), margins, false));
    QVERIFY(!path.isEmpty());

    CLWDialog dlg;
    dlg.resize(360, 647);
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    QCOMPARE(dlg.backgroundLoads(), 0);

    const QImage first = dlg.grab().toImage();
    QCOMPARE(dlg.backgroundLoads(), 1);
    const QImage second = dlg.grab().toImage();
    QCOMPARE(dlg.backgroundLoads(), 1);
    QCOMPARE(second, first);

    dlg.resize(400, 700);
    dlg.grab();
    QCOMPARE(dlg.backgroundLoads(), 2);
    dlg.grab();
    QCOMPARE(dlg.backgroundLoads(), 2);

    // Setting the image again renders anew at an unchanged size and reads the file again.
    const QImage replacement = makeBackground(QSize(360, 647), margins, true);
    QVERIFY(replacement.save(path, "PNG"));
    dlg.resize(360, 647);
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    dlg.setAttribute(Qt::WA_TranslucentBackground);
    const QImage third = dlg.grab().toImage();
    QCOMPARE(dlg.backgroundLoads(), 3);
    const QString difference = firstDifference(third, replacement);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_CLWDialog::shownWindowRepaintsFromCache()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path =
        saveImage(dir, QStringLiteral("bk.png"),
                  makeBackground(QSize(360, 647), QMargins(20, 20, 20, 20), false));
    QVERIFY(!path.isEmpty());

    CLWDialog dlg;
    PaintCounter counter;
    dlg.installEventFilter(&counter);
    dlg.setBackgroundImage(path, 20, 20, 20, 20);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(dlg.backgroundLoads(), 1);

    int paints = counter.paints;
    dlg.update();
    QTRY_VERIFY(counter.paints > paints);
    QCOMPARE(dlg.backgroundLoads(), 1);

    dlg.resize(320, 260);
    QTRY_COMPARE(dlg.backgroundLoads(), 2);

    // setBackgroundImage schedules the repaint itself.
    paints = counter.paints;
    dlg.setBackgroundImage(path, 10, 10, 10, 10);
    QTRY_COMPARE(dlg.backgroundLoads(), 3);
    QVERIFY(counter.paints > paints);
}

void tst_CLWDialog::emptyPathPaintsNothing_data()
{
    QTest::addColumn<bool>("setFirst");
    QTest::addColumn<bool>("translucent");

    QTest::newRow("never set") << false << false;
    QTest::newRow("never set, translucency requested") << false << true;
    QTest::newRow("cleared after an image") << true << true;
}

void tst_CLWDialog::emptyPathPaintsNothing()
{
    QFETCH(bool, setFirst);
    QFETCH(bool, translucent);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path =
        saveImage(dir, QStringLiteral("bk.png"),
                  makeBackground(QSize(360, 647), QMargins(20, 20, 20, 20), false));
    QVERIFY(!path.isEmpty());

    CLWDialog dlg;
    dlg.resize(200, 150);
    if (setFirst) {
        dlg.setBackgroundImage(path, 20, 20, 20, 20);
        QVERIFY(!isUniform(dlg.grab().toImage()));
        dlg.setBackgroundImage(QString(), 20, 20, 20, 20);
    }
    dlg.setAttribute(Qt::WA_TranslucentBackground, translucent);
    const int loads = dlg.backgroundLoads();

    dlg.grab();
    QVERIFY(!dlg.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(isUniform(dlg.grab().toImage()));
    QCOMPARE(dlg.backgroundLoads(), loads);
}

void tst_CLWDialog::cursorFollowsRegions_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Qt::CursorShape>("expected");

    // The window is 300 x 250.
    QTest::newRow("left band") << true << QPoint(2, 125) << Qt::SizeHorCursor;
    QTest::newRow("x 4, left band") << true << QPoint(4, 125) << Qt::SizeHorCursor;
    QTest::newRow("x 5, centre") << true << QPoint(5, 125) << Qt::ArrowCursor;
    QTest::newRow("x w-5, centre") << true << QPoint(295, 125) << Qt::ArrowCursor;
    QTest::newRow("x w-4, right band") << true << QPoint(296, 125) << Qt::SizeHorCursor;
    QTest::newRow("y 4, top band") << true << QPoint(150, 4) << Qt::SizeVerCursor;
    QTest::newRow("y h-4, bottom band") << true << QPoint(150, 246) << Qt::SizeVerCursor;
    QTest::newRow("top-left corner") << true << QPoint(4, 4) << Qt::SizeFDiagCursor;
    QTest::newRow("top-right corner") << true << QPoint(296, 4) << Qt::SizeBDiagCursor;
    QTest::newRow("bottom-left corner") << true << QPoint(4, 246) << Qt::SizeBDiagCursor;
    QTest::newRow("bottom-right corner") << true << QPoint(296, 246) << Qt::SizeFDiagCursor;
    QTest::newRow("centre") << true << QPoint(150, 125) << Qt::ArrowCursor;
    QTest::newRow("fixed size, left band") << false << QPoint(2, 125) << Qt::ArrowCursor;
    QTest::newRow("fixed size, bottom band") << false << QPoint(150, 246) << Qt::ArrowCursor;
    QTest::newRow("fixed size, top-left corner") << false << QPoint(4, 4) << Qt::ArrowCursor;
}

void tst_CLWDialog::cursorFollowsRegions()
{
    QFETCH(bool, resizable);
    QFETCH(QPoint, point);
    QFETCH(Qt::CursorShape, expected);

    CLWDialog dlg;
    dlg.setResizable(resizable);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Pointer pointer(&dlg);
    // From a corner first, so a centre row shows that the resize cursor goes away again.
    pointer.move(dlg.mapToGlobal(QPoint(1, 1)));
    QCOMPARE(dlg.cursor().shape(), resizable ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    pointer.move(dlg.mapToGlobal(point));
    QCOMPARE(dlg.cursor().shape(), expected);
}

void tst_CLWDialog::hoverPositionsAreRounded_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<Qt::CursorShape>("expected");

    // The window is 300 x 250; halves round towards positive infinity.
    QTest::newRow("x 4.4 rounds into the left band") << QPointF(4.4, 125) << Qt::SizeHorCursor;
    QTest::newRow("x 4.5 rounds to 5, the centre") << QPointF(4.5, 125) << Qt::ArrowCursor;
    QTest::newRow("x w-4.5 rounds into the right band") << QPointF(295.5, 125) << Qt::SizeHorCursor;
    QTest::newRow("x w-4.6 rounds to w-5, the centre") << QPointF(295.4, 125) << Qt::ArrowCursor;
    QTest::newRow("y 4.5 rounds to 5, the centre") << QPointF(150, 4.5) << Qt::ArrowCursor;
    QTest::newRow("y h-4.5 rounds into the bottom band")
        << QPointF(150, 245.5) << Qt::SizeVerCursor;
}

void tst_CLWDialog::hoverPositionsAreRounded()
{
    QFETCH(QPointF, point);
    QFETCH(Qt::CursorShape, expected);

    CLWDialog dlg;
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    sendMouse(&dlg, QEvent::MouseMove, QPointF(1, 1), QPointF(dlg.mapToGlobal(QPoint(1, 1))),
              Qt::NoButton, Qt::NoButton);
    QCOMPARE(dlg.cursor().shape(), Qt::SizeFDiagCursor);
    sendMouse(&dlg, QEvent::MouseMove, point, QPointF(dlg.pos()) + point, Qt::NoButton,
              Qt::NoButton);
    QCOMPARE(dlg.cursor().shape(), expected);
}

void tst_CLWDialog::cursorKeepsPressShapeDuringDrag()
{
    CLWDialog dlg;
    dlg.setMinimumSize(200, 150);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Pointer pointer(&dlg);
    const QPoint start = dlg.mapToGlobal(QPoint(297, 125));
    pointer.move(start);
    QCOMPARE(dlg.cursor().shape(), Qt::SizeHorCursor);
    pointer.press(start);

    // The edge stops at the minimum width, so the pointer ends up over the centre.
    const QPoint end = start - QPoint(200, 0);
    pointer.move(end);
    QCOMPARE(dlg.width(), 200);
    QCOMPARE(dlg.hitTest(dlg.mapFromGlobal(end).x(), dlg.mapFromGlobal(end).y()),
             FrameGeometry::Centre);
    QCOMPARE(dlg.cursor().shape(), Qt::SizeHorCursor);

    pointer.release(end);
    pointer.move(end + QPoint(1, 0));
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
}

void tst_CLWDialog::childEnterResetsInheritedResizeCursor_data()
{
    QTest::addColumn<bool>("ownCursor");
    QTest::addColumn<Qt::CursorShape>("expected");

    QTest::newRow("label inheriting the window's cursor") << false << Qt::ArrowCursor;
    QTest::newRow("line edit with its own cursor") << true << Qt::SizeHorCursor;
}

void tst_CLWDialog::childEnterResetsInheritedResizeCursor()
{
    QFETCH(bool, ownCursor);
    QFETCH(Qt::CursorShape, expected);

    CLWDialog dlg;
    dlg.setGeometry(kStartGeometry);
    QWidget *child = ownCursor ? static_cast<QWidget *>(new QLineEdit(&dlg))
                               : new QLabel(QStringLiteral("label"), &dlg);
    // Ends two pixels short of the right band, which starts at x = 296.
    child->setGeometry(240, 100, 54, 40);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Pointer pointer(&dlg);
    pointer.move(dlg.mapToGlobal(QPoint(297, 120)));
    QCOMPARE(dlg.cursor().shape(), Qt::SizeHorCursor);
    QCOMPARE(child->cursor().shape(), ownCursor ? Qt::IBeamCursor : Qt::SizeHorCursor);

    // Straight from the band onto the child: only the child hears of it.
    pointer.move(dlg.mapToGlobal(QPoint(290, 120)));
    QCOMPARE(QApplication::widgetAt(dlg.mapToGlobal(QPoint(290, 120))), child);
    QCOMPARE(dlg.cursor().shape(), expected);
}

void tst_CLWDialog::titleBandMovesWindow_data()
{
    QTest::addColumn<int>("titleHeight");
    QTest::addColumn<QPoint>("pressPoint");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("moves");

    QTest::newRow("y 240, last row of the band")
        << 240 << QPoint(180, 240) << Qt::LeftButton << true;
    QTest::newRow("y 241, below the band") << 240 << QPoint(180, 241) << Qt::LeftButton << false;
    QTest::newRow("y 5, first row of the centre")
        << 240 << QPoint(180, 5) << Qt::LeftButton << true;
    QTest::newRow("no band limit, low in the centre")
        << -1 << QPoint(180, 600) << Qt::LeftButton << true;
    QTest::newRow("right button in the band")
        << 240 << QPoint(180, 100) << Qt::RightButton << false;
}

void tst_CLWDialog::titleBandMovesWindow()
{
    QFETCH(int, titleHeight);
    QFETCH(QPoint, pressPoint);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, moves);

    // Configured as the login window is.
    CLWDialog dlg;
    dlg.setTitleHeight(titleHeight);
    dlg.setResizable(false);
    dlg.setGeometry(QRect(100, 50, 360, 647));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect start = dlg.geometry();
    QCOMPARE(start, QRect(100, 50, 360, 647));

    Pointer pointer(&dlg);
    const QPoint pressGlobal = dlg.mapToGlobal(pressPoint);
    pointer.move(pressGlobal);
    pointer.press(pressGlobal, button);

    // Each move is measured from the press, not from the move before.
    const QPoint offsets[] = {QPoint(37, 23), QPoint(-15, 31), QPoint(-60, -40)};
    for (const QPoint &offset : offsets) {
        pointer.move(pressGlobal + offset);
        const QRect expected = moves ? start.translated(offset) : start;
        QCOMPARE(dlg.geometry(), expected);
        QTRY_COMPARE(dlg.windowHandle()->geometry(), expected);
    }

    const QPoint last = pressGlobal + offsets[2];
    pointer.release(last, button);
    pointer.move(last + QPoint(50, 50));
    QCOMPARE(dlg.geometry(), moves ? start.translated(offsets[2]) : start);
}

void tst_CLWDialog::dragRoundsScreenPositions_data()
{
    QTest::addColumn<QPoint>("windowPos");
    QTest::addColumn<QPointF>("pressLocal");
    QTest::addColumn<QPointF>("moveBy");
    QTest::addColumn<QPoint>("expectedShift");

    QTest::newRow("whole pixels") << QPoint(200, 150) << QPointF(150, 100) << QPointF(12, 6)
                                  << QPoint(12, 6);
    // Press (350.5, 250.5) rounds to (351, 251), the move to (362.4, 256.4) to (362, 256).
    QTest::newRow("halves round up")
        << QPoint(200, 150) << QPointF(150.5, 100.5) << QPointF(11.9, 5.9) << QPoint(11, 5);
    // Press (-30.5, -20.5) rounds to (-30, -20), the move lands on (-20, -10).
    QTest::newRow("negative halves round towards positive infinity")
        << QPoint(-200, -150) << QPointF(169.5, 129.5) << QPointF(10.5, 10.5) << QPoint(10, 10);
}

void tst_CLWDialog::dragRoundsScreenPositions()
{
    QFETCH(QPoint, windowPos);
    QFETCH(QPointF, pressLocal);
    QFETCH(QPointF, moveBy);
    QFETCH(QPoint, expectedShift);

    CLWDialog dlg;
    dlg.setGeometry(QRect(windowPos, kStartGeometry.size()));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.pos(), windowPos);

    const QPointF pressScreen = QPointF(windowPos) + pressLocal;
    sendMouse(&dlg, QEvent::MouseButtonPress, pressLocal, pressScreen, Qt::LeftButton,
              Qt::LeftButton);
    sendMouse(&dlg, QEvent::MouseMove, pressLocal + moveBy, pressScreen + moveBy, Qt::NoButton,
              Qt::LeftButton);
    QCOMPARE(dlg.pos(), windowPos + expectedShift);
    sendMouse(&dlg, QEvent::MouseButtonRelease, pressLocal + moveBy, pressScreen + moveBy,
              Qt::LeftButton, Qt::NoButton);
}

void tst_CLWDialog::pressOnChildButtonStartsNothing()
{
    CLWDialog dlg;
    dlg.setTitleHeight(240);
    dlg.setResizable(false);
    dlg.setGeometry(QRect(100, 50, 360, 647));
    auto *button = new QPushButton(QStringLiteral("登录"), &dlg);
    button->setGeometry(100, 100, 120, 30);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect start = dlg.geometry();

    Pointer pointer(&dlg);
    const QPoint pressGlobal = button->mapToGlobal(button->rect().center());
    pointer.move(pressGlobal);
    pointer.press(pressGlobal);
    QVERIFY(button->isDown());

    pointer.move(pressGlobal + QPoint(40, 30));
    QCOMPARE(dlg.geometry(), start);
    pointer.release(pressGlobal + QPoint(40, 30));
    QCOMPARE(dlg.geometry(), start);
}

void tst_CLWDialog::edgeDragResizes_data()
{
    QTest::addColumn<QPoint>("pressPoint");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    // From (200, 150, 300 x 250), minimum size 200 x 150.
    QTest::newRow("left edge outwards")
        << QPoint(2, 125) << QPoint(-30, 10) << QRect(170, 150, 330, 250);
    QTest::newRow("right edge outwards")
        << QPoint(297, 125) << QPoint(40, -10) << QRect(200, 150, 340, 250);
    QTest::newRow("top edge upwards")
        << QPoint(150, 2) << QPoint(5, -25) << QRect(200, 125, 300, 275);
    QTest::newRow("bottom edge downwards")
        << QPoint(150, 247) << QPoint(0, 35) << QRect(200, 150, 300, 285);
    QTest::newRow("top-left corner")
        << QPoint(2, 2) << QPoint(-10, -20) << QRect(190, 130, 310, 270);
    QTest::newRow("top-right corner")
        << QPoint(297, 2) << QPoint(15, 10) << QRect(200, 160, 315, 240);
    QTest::newRow("bottom-left corner")
        << QPoint(2, 247) << QPoint(20, -30) << QRect(220, 150, 280, 220);
    QTest::newRow("bottom-right corner")
        << QPoint(297, 247) << QPoint(60, 45) << QRect(200, 150, 360, 295);
    QTest::newRow("left edge past the minimum")
        << QPoint(2, 125) << QPoint(180, 0) << QRect(300, 150, 200, 250);
    QTest::newRow("right edge past the minimum")
        << QPoint(297, 125) << QPoint(-180, 0) << QRect(200, 150, 200, 250);
    QTest::newRow("top edge past the minimum")
        << QPoint(150, 2) << QPoint(0, 200) << QRect(200, 250, 300, 150);
    QTest::newRow("bottom edge past the minimum")
        << QPoint(150, 247) << QPoint(0, -200) << QRect(200, 150, 300, 150);
    QTest::newRow("top-left corner past the minimum")
        << QPoint(2, 2) << QPoint(250, 250) << QRect(300, 250, 200, 150);
}

void tst_CLWDialog::edgeDragResizes()
{
    QFETCH(QPoint, pressPoint);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);

    CLWDialog dlg;
    dlg.setMinimumSize(200, 150);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.geometry(), kStartGeometry);

    Pointer pointer(&dlg);
    const QPoint pressGlobal = dlg.mapToGlobal(pressPoint);
    pointer.move(pressGlobal);
    pointer.press(pressGlobal);
    pointer.move(pressGlobal + delta / 2);
    pointer.move(pressGlobal + delta);
    QCOMPARE(dlg.geometry(), expected);
    QTRY_COMPARE(dlg.windowHandle()->geometry(), expected);
    pointer.release(pressGlobal + delta);
    QCOMPARE(dlg.geometry(), expected);
}

void tst_CLWDialog::fixedSizeEdgesStartNothing_data()
{
    QTest::addColumn<QPoint>("pressPoint");

    QTest::newRow("left edge") << QPoint(2, 125);
    QTest::newRow("right edge") << QPoint(297, 125);
    QTest::newRow("top edge") << QPoint(150, 2);
    QTest::newRow("bottom edge") << QPoint(150, 247);
    QTest::newRow("top-left corner") << QPoint(2, 2);
    QTest::newRow("bottom-right corner") << QPoint(297, 247);
}

void tst_CLWDialog::fixedSizeEdgesStartNothing()
{
    QFETCH(QPoint, pressPoint);

    CLWDialog dlg;
    dlg.setResizable(false);
    dlg.setMinimumSize(100, 100);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Pointer pointer(&dlg);
    const QPoint pressGlobal = dlg.mapToGlobal(pressPoint);
    pointer.move(pressGlobal);
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
    pointer.press(pressGlobal);
    pointer.move(pressGlobal + QPoint(25, -15));
    QCOMPARE(dlg.geometry(), kStartGeometry);
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
    pointer.release(pressGlobal + QPoint(25, -15));
    QCOMPARE(dlg.geometry(), kStartGeometry);
}

void tst_CLWDialog::maximisedWindowStartsNoDrag_data()
{
    QTest::addColumn<QPoint>("pressPoint");

    // The maximised window fills the 800 x 600 offscreen desktop.
    QTest::newRow("left edge") << QPoint(2, 300);
    QTest::newRow("top edge") << QPoint(400, 2);
    QTest::newRow("bottom-right corner") << QPoint(797, 597);
    QTest::newRow("centre") << QPoint(400, 300);
}

void tst_CLWDialog::maximisedWindowStartsNoDrag()
{
    QFETCH(QPoint, pressPoint);

    CLWDialog dlg;
    dlg.setMinimumSize(100, 100);
    dlg.setGeometry(kStartGeometry);
    dlg.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect desktop = dlg.screen()->availableGeometry();
    QCOMPARE(desktop.size(), QSize(800, 600));
    QTRY_COMPARE(dlg.geometry(), desktop);
    QVERIFY(dlg.isMaximized());

    Pointer pointer(&dlg);
    const QPoint pressGlobal = dlg.mapToGlobal(pressPoint);
    pointer.move(pressGlobal);
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
    pointer.press(pressGlobal);
    pointer.move(pressGlobal + QPoint(30, 20));
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(dlg.geometry(), desktop);
    pointer.release(pressGlobal + QPoint(30, 20));
    QVERIFY(dlg.isMaximized());
    QCOMPARE(dlg.geometry(), desktop);
}

void tst_CLWDialog::doubleClickTogglesMaximised_data()
{
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<int>("titleHeight");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("toggles");

    QTest::newRow("centre inside the title band")
        << true << 40 << QPoint(150, 30) << Qt::LeftButton << true;
    QTest::newRow("last row of the title band")
        << true << 40 << QPoint(150, 40) << Qt::LeftButton << true;
    QTest::newRow("below the title band")
        << true << 40 << QPoint(150, 41) << Qt::LeftButton << false;
    QTest::newRow("no band limit, low in the centre")
        << true << -1 << QPoint(150, 200) << Qt::LeftButton << true;
    QTest::newRow("edge band") << true << -1 << QPoint(2, 100) << Qt::LeftButton << false;
    QTest::newRow("fixed size") << false << -1 << QPoint(150, 100) << Qt::LeftButton << false;
    QTest::newRow("right button") << true << -1 << QPoint(150, 100) << Qt::RightButton << false;
}

void tst_CLWDialog::doubleClickTogglesMaximised()
{
    QFETCH(bool, resizable);
    QFETCH(int, titleHeight);
    QFETCH(QPoint, point);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, toggles);

    CLWDialog dlg;
    dlg.setResizable(resizable);
    dlg.setTitleHeight(titleHeight);
    dlg.setMinimumSize(100, 100);
    dlg.setGeometry(kStartGeometry);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Pointer pointer(&dlg);
    pointer.move(dlg.mapToGlobal(point));
    pointer.doubleClick(dlg.mapToGlobal(point), button);
    QCOMPARE(dlg.isMaximized(), toggles);
    if (!toggles) {
        QCOMPARE(dlg.geometry(), kStartGeometry);
        return;
    }
    QTRY_COMPARE(dlg.geometry(), dlg.screen()->availableGeometry());

    // The same point is still in the band of the maximised window: a second double click restores.
    pointer.move(dlg.mapToGlobal(point));
    pointer.doubleClick(dlg.mapToGlobal(point), button);
    QVERIFY(!dlg.isMaximized());
    QTRY_COMPARE(dlg.geometry(), kStartGeometry);
}

void tst_CLWDialog::escapeInChildDoesNotClose_data()
{
    QTest::addColumn<int>("depth");
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
    dlg.setGeometry(kStartGeometry);
    QLineEdit *edit = nullptr;
    if (depth == 1) {
        edit = new QLineEdit(&dlg);
    } else if (depth == 2) {
        auto *frame = new QFrame(&dlg);
        auto *layout = new QVBoxLayout(frame);
        edit = new QLineEdit(frame);
        layout->addWidget(edit);
    } else {
        new QLabel(QStringLiteral("label"), &dlg);
    }
    QSignalSpy rejected(&dlg, &QDialog::rejected);

    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    if (edit) {
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
    }

    QTest::keyClick(dlg.windowHandle(), Qt::Key_Escape);
    QCOMPARE(dlg.isVisible(), !closes);
    QCOMPARE(rejected.count(), closes ? 1 : 0);
}

void tst_CLWDialog::otherKeysReachChildren()
{
    CLWDialog dlg;
    dlg.setGeometry(kStartGeometry);
    auto *edit = new QLineEdit(&dlg);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    QTest::keyClick(dlg.windowHandle(), Qt::Key_A);
    QTest::keyClick(dlg.windowHandle(), Qt::Key_1);
    QCOMPARE(edit->text(), QStringLiteral("a1"));
}

void tst_CLWDialog::childMovedToAnotherWindowIsNoLongerFiltered()
{
    // Before, the filter stayed on a child that had left, and ate Escape in its new window.
    CLWDialog dlg;
    auto *edit = new QLineEdit(&dlg);
    QDialog other;
    edit->setParent(&other);
    other.setGeometry(kStartGeometry);
    QSignalSpy rejected(&other, &QDialog::rejected);

    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(tst_CLWDialog)
#include "tst_clwdialog.moc"
