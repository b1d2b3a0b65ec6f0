// SPDX-License-Identifier: MIT
#include "common/companionchannel.h"
#include "tests/support/testsupport.h"
#include "tool/ctool.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

#include <unistd.h>

Q_DECLARE_METATYPE(Qt::MouseButton)

// The tool window in this process, driven by real mouse events on the offscreen platform and
// by datagrams on 127.0.0.1; each case has its own application folder and ports.
class TstCTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstShowAtBottomRight();
    void press_data();
    void press();
    void drag_data();
    void drag();
    void slideOnLeave_data();
    void slideOnLeave();
    void enterLeaveDuringSlide_data();
    void enterLeaveDuringSlide();
    void datagramToggles();
    void otherUsersDatagramIgnored();
    void portTakenAtStart();

private:
    QStringList receivedByOrvane();
    QImage picture() const;
    void cross(QEvent::Type type);
    int availWidth() const { return QGuiApplication::primaryScreen()->availableGeometry().width(); }

    std::unique_ptr<QUdpSocket> m_mainSocket; // stands in for Orvane
    int m_toolPort = 0;
    std::unique_ptr<CTool> m_tool;
};

void TstCTool::init()
{
    m_mainSocket = std::make_unique<QUdpSocket>();
    QVERIFY(m_mainSocket->bind(QHostAddress::LocalHost, 0));
    m_toolPort = TestSupport::freeUdpPort();
    QVERIFY(TestSupport::writeFile(TestSupport::appFile("conf.ini"),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(m_toolPort)
                                       .arg(m_mainSocket->localPort())
                                       .toUtf8()));

    m_tool = std::make_unique<CTool>();
    m_tool->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tool.get()));
}

void TstCTool::cleanup()
{
    // Let go of any button a case left held, so the next case starts clean.
    if (m_tool && m_tool->windowHandle()) {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mouseRelease(m_tool->windowHandle(), button, {}, QPoint(1, 1));
    }
    m_tool.reset();
}

// Everything Orvane's port has received, closed by a "showMain" the tool sends now: the tool
// sends at once, so whatever a case made it send arrives before that.
QStringList TstCTool::receivedByOrvane()
{
    m_tool->showWindow();
    QStringList received;
    // What has not arrived by then shows as missing in the caller's comparison.
    (void)QTest::qWaitFor(
        [&] {
            received += CompanionChannel::readPending(m_mainSocket.get());
            return received.contains(QStringLiteral("showMain"));
        },
        5000);
    return received;
}

QImage TstCTool::picture() const
{
    return m_tool->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The pointer crossing the window's border, inwards (Enter) or outwards (Leave).
void TstCTool::cross(QEvent::Type type)
{
    const QPointF local(80, 37);
    QEnterEvent enter(local, local, m_tool->mapToGlobal(local.toPoint()));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_tool.get(), type == QEvent::Enter ? &enter : &leave);
}

void TstCTool::firstShowAtBottomRight()
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(m_tool->geometry(), QRect(available.width() - 160, available.height() - 74, 160, 74));

    // A later show keeps the window where it is.
    m_tool->move(100, 100);
    m_tool->hide();
    m_tool->show();
    QCOMPARE(m_tool->pos(), QPoint(100, 100));

    // Before: a screen reader found nothing at all on the floating button.
    QAccessibleInterface *tool = QAccessible::queryAccessibleInterface(m_tool.get());
    QCOMPARE(tool->text(QAccessible::Name), QStringLiteral("Orvane 悬浮工具"));
    QVERIFY(tool->text(QAccessible::Description).contains(QStringLiteral("托盘菜单")));
}

void TstCTool::press_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::CursorShape>("cursor"); // while held: the closed hand of a drag
    QTest::addColumn<int>("menuAction");         // chosen from the menu the press opens; -1: none
    QTest::addColumn<QStringList>("sent");

    const Qt::CursorShape arrow = Qt::ArrowCursor;
    const QStringList classroom{QStringLiteral("directClassroom")};
    QTest::newRow("left-x67-drags")
        << 67 << Qt::LeftButton << Qt::ClosedHandCursor << -1 << QStringList();
    QTest::newRow("left-x68-classroom") << 68 << Qt::LeftButton << arrow << -1 << classroom;
    QTest::newRow("right-x100-classroom-no-menu")
        << 100 << Qt::RightButton << arrow << -1 << classroom;
    QTest::newRow("middle-x30-classroom") << 30 << Qt::MiddleButton << arrow << -1 << classroom;
    QTest::newRow("menu-toggle-hides") << 30 << Qt::RightButton << arrow << 0 << QStringList();
    QTest::newRow("menu-show-window")
        << 30 << Qt::RightButton << arrow << 1 << QStringList{QStringLiteral("showMain")};
    QTest::newRow("menu-quit") << 30 << Qt::RightButton << arrow << 2
                               << QStringList{QStringLiteral("closeMain")};
}

void TstCTool::press()
{
    QFETCH(int, x);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::CursorShape, cursor);
    QFETCH(int, menuAction);
    QFETCH(QStringList, sent);

    // A menu runs modally inside the press that opens it: act on it from within its own loop.
    QStringList menuTexts;
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (const QAction *action : menu->actions())
                menuTexts << action->text();
            if (QAction *action = menu->actions().value(menuAction))
                action->trigger();
            menu->close();
        }
    });
    QTest::mousePress(m_tool.get(), button, {}, QPoint(x, 37));
    QCOMPARE(m_tool->cursor().shape(), cursor);
    QTest::mouseRelease(m_tool.get(), button, {}, QPoint(x, 37));
    QCOMPARE(m_tool->cursor().shape(), Qt::ArrowCursor);

    const QStringList menu{QStringLiteral("开启/关闭悬浮标"), QStringLiteral("显示窗口"),
                           QStringLiteral("退出")};
    QCOMPARE(menuTexts, menuAction < 0 ? QStringList() : menu);
    QCOMPARE(m_tool->isVisible(), menuAction != 0); // the first action toggles the window
    QCOMPARE(receivedByOrvane(), sent + QStringList{QStringLiteral("showMain")});
}

void TstCTool::drag_data()
{
    QTest::addColumn<bool>("releasedBefore"); // a full click happened before the press
    QTest::addColumn<int>("pressX");
    QTest::addColumn<bool>("moves");

    QTest::newRow("right-part-before-any-release") << false << 100 << true;
    QTest::newRow("right-part-after-a-release") << true << 100 << false;
    QTest::newRow("left-part-after-a-release") << true << 30 << true;
}

void TstCTool::drag()
{
    QFETCH(bool, releasedBefore);
    QFETCH(int, pressX);
    QFETCH(bool, moves);

    // Away from the right edge, so no slide takes part.
    m_tool->move(300, 200);
    QWindow *window = m_tool->windowHandle();
    if (releasedBefore)
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(10, 10));

    const QPoint press(pressX, 30);
    QTest::mousePress(window, Qt::LeftButton, {}, press);
    QTest::mouseMove(window, press + QPoint(-25, 12));
    QCOMPARE(m_tool->pos(), moves ? QPoint(275, 212) : QPoint(300, 200));
    QTest::mouseRelease(window, Qt::LeftButton, {}, press);
}

void TstCTool::slideOnLeave_data()
{
    QTest::addColumn<int>("inset"); // pixels between the window's right edge and the area's
    QTest::addColumn<bool>("slides");

    QTest::newRow("flush-slides") << 0 << true;
    QTest::newRow("five-inside-slides") << 5 << true;
    QTest::newRow("six-inside-stays") << 6 << false;
}

void TstCTool::slideOnLeave()
{
    QFETCH(int, inset);
    QFETCH(bool, slides);

    const int startX = availWidth() - inset - 160;
    m_tool->move(startX, m_tool->y());
    cross(QEvent::Leave);
    if (!slides) {
        // No signal tells that nothing moves: give a slide time for several of its ticks.
        QTest::qWait(100);
        QCOMPARE(m_tool->x(), startX);
        return;
    }
    // Out until only the 35-pixel strip shows, then back in once the pointer enters it. The
    // slide may still run for a tick at the strip, ignoring the pointer: it enters again.
    QTRY_COMPARE_WITH_TIMEOUT(m_tool->x(), availWidth() - 35, 10000);
    QTRY_COMPARE_WITH_TIMEOUT((cross(QEvent::Enter), m_tool->x()), availWidth() - 160, 10000);
}

void TstCTool::enterLeaveDuringSlide_data()
{
    QTest::addColumn<bool>("out"); // the slide that runs: out to the strip, or back in

    QTest::newRow("enter-during-slide-out") << true;
    QTest::newRow("leave-during-slide-in") << false;
}

void TstCTool::enterLeaveDuringSlide()
{
    QFETCH(bool, out);
    const QImage plain = picture(); // the mouse is outside
    const QImage highlighted =
        QImage(QStringLiteral(":/line2")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(plain, QImage(QStringLiteral(":/line1")).convertToFormat(plain.format()));
    QVERIFY(plain != highlighted);

    const int flush = availWidth() - 160;
    const int strip = availWidth() - 35;
    m_tool->move(flush, m_tool->y());
    if (!out) {
        cross(QEvent::Leave);
        QTRY_COMPARE_WITH_TIMEOUT(m_tool->x(), strip, 10000);
    }
    // Start the slide, then cross the edge the other way before its first tick: the slide runs
    // on to its end, and only the picture follows the pointer.
    cross(out ? QEvent::Leave : QEvent::Enter);
    cross(out ? QEvent::Enter : QEvent::Leave);
    QCOMPARE(picture(), out ? highlighted : plain);
    QTRY_COMPARE_WITH_TIMEOUT(m_tool->x(), out ? strip : flush, 10000);
    QCOMPARE(picture(), out ? highlighted : plain);
}

void TstCTool::datagramToggles()
{
    // Every datagram toggles, whatever it says: an empty one and "showTool" alike.
    QUdpSocket orvane;
    QVERIFY(orvane.bind(QHostAddress::LocalHost, 0));
    CompanionChannel::send(&orvane, "showTool", m_toolPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isHidden(), 5000);
    CompanionChannel::send(&orvane, QByteArray(), m_toolPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isVisible(), 5000);
    CompanionChannel::send(&orvane, "hello", m_toolPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isHidden(), 5000);
}

// Before: another user's Orvane on this computer hid and showed this user's tool.
void TstCTool::otherUsersDatagramIgnored()
{
    if (::geteuid() != 0)
        QSKIP("only root can send as another user (setpriv)");
    auto *socket = m_tool->findChild<QUdpSocket *>();
    TestSupport::SenderProcess nobody;
    QVERIFY(nobody.send("hideTool", m_toolPort, true));
    QVERIFY(socket->hasPendingDatagrams());
    QTRY_VERIFY(!socket->hasPendingDatagrams());
    QVERIFY(m_tool->isVisible());
}

// Before: a tool whose port was held at its start (by the tool of a killed Orvane) never
// listened again.
void TstCTool::portTakenAtStart()
{
    m_tool.reset();
    QUdpSocket stale;
    QVERIFY(stale.bind(QHostAddress::LocalHost, quint16(m_toolPort)));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cannot listen on port"));
    m_tool = std::make_unique<CTool>();
    m_tool->show();
    stale.close();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("listening on port"));
    QUdpSocket orvane;
    QVERIFY(orvane.bind(QHostAddress::LocalHost, 0));
    QTRY_VERIFY_WITH_TIMEOUT(CompanionChannel::send(&orvane, "hideTool", m_toolPort),
                             2 * CompanionChannel::RebindIntervalMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isHidden(), 5000);
}

QTEST_MAIN(TstCTool)
#include "tst_ctool.moc"
