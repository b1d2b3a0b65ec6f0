// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/companionchannel.h"
#include "tests/support/testsupport.h"
#include "tool/ctool.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

Q_DECLARE_METATYPE(Qt::MouseButton)

// The tool window in this process, driven by real mouse events on the offscreen platform and
// by datagrams on 127.0.0.1; each case has its own application folder and ports.
class TstCTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAsBuilt();
    void press_data();
    void press();
    void drag_data();
    void drag();
    void slideOnLeave_data();
    void slideOnLeave();
    void enterLeaveDuringSlide_data();
    void enterLeaveDuringSlide();
    void datagramToggles_data();
    void datagramToggles();
    void menuActions_data();
    void menuActions();
    void watch_data();
    void watch();

private:
    QStringList receiveUntil(const QString &last);
    QImage picture();
    void sendEnter();
    void sendLeave();
    void placeRightEdgeInside(int inset);
    int availWidth() const;

    std::unique_ptr<QTemporaryDir> m_appDir;
    std::unique_ptr<QUdpSocket> m_mainSocket; // stands in for Orvane
    int m_toolPort = 0;
    std::unique_ptr<CTool> m_tool;
};

namespace {

// A port nobody uses right now.
int freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

QImage normalized(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

void TstCTool::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    m_mainSocket = std::make_unique<QUdpSocket>();
    QVERIFY(m_mainSocket->bind(QHostAddress::LocalHost, 0));
    m_toolPort = freeUdpPort();
    QVERIFY(m_toolPort > 0);
    QVERIFY(TestSupport::writeFile(m_appDir->filePath(QStringLiteral("conf.ini")),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(m_toolPort)
                                       .arg(m_mainSocket->localPort())
                                       .toUtf8()));
    AppConfig::setApplicationDirectory(m_appDir->path());

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
    m_mainSocket.reset();
    AppConfig::setApplicationDirectory(QString());
    m_appDir.reset();
}

QStringList TstCTool::receiveUntil(const QString &last)
{
    QStringList received;
    const auto arrived = [&] {
        received += CompanionChannel::readPending(m_mainSocket.get());
        return received.contains(last);
    };
    if (!QTest::qWaitFor(arrived, 5000))
        qWarning() << "no" << last << "arrived, only" << received;
    return received;
}

QImage TstCTool::picture()
{
    return normalized(m_tool->grab().toImage());
}

void TstCTool::sendEnter()
{
    const QPointF local(80, 37);
    QEnterEvent enter(local, local, m_tool->mapToGlobal(local.toPoint()));
    QCoreApplication::sendEvent(m_tool.get(), &enter);
}

void TstCTool::sendLeave()
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_tool.get(), &leave);
}

int TstCTool::availWidth() const
{
    return QGuiApplication::primaryScreen()->availableGeometry().width();
}

void TstCTool::placeRightEdgeInside(int inset)
{
    // right == availWidth - 1 is flush.
    m_tool->move(availWidth() - inset - m_tool->width(), m_tool->y());
    QCOMPARE(m_tool->geometry().right(), availWidth() - 1 - inset);
}

void TstCTool::windowAsBuilt()
{
    QCOMPARE(m_tool->objectName(), QStringLiteral("CTool"));
    QCOMPARE(m_tool->windowTitle(), QStringLiteral("Orvane-工具"));
    const Qt::WindowFlags flags = m_tool->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(m_tool->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(m_tool->hasMouseTracking());
    QVERIFY(m_tool->findChild<QLayout *>(QStringLiteral("horizontalLayout")));

    // First show: bottom-right corner of the available area.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(m_tool->geometry(), QRect(available.width() - 160, available.height() - 74, 160, 74));

    // The style sheet holds the size whatever is asked for.
    m_tool->resize(300, 200);
    QCOMPARE(m_tool->size(), QSize(160, 74));

    // A later show keeps the window where it is.
    m_tool->move(100, 100);
    m_tool->hide();
    m_tool->show();
    QCOMPARE(m_tool->pos(), QPoint(100, 100));

    // The plain picture while the mouse is outside.
    QCOMPARE(picture(), normalized(QImage(QStringLiteral(":/line1"))));
}

void TstCTool::press_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("classroom"); // sends "directClassroom"
    QTest::addColumn<bool>("drag");      // grabs the window with the closed hand

    QTest::newRow("left-x0-drags") << 0 << Qt::LeftButton << false << true;
    QTest::newRow("left-x67-drags") << 67 << Qt::LeftButton << false << true;
    QTest::newRow("left-x68-classroom") << 68 << Qt::LeftButton << true << false;
    QTest::newRow("left-x159-classroom") << 159 << Qt::LeftButton << true << false;
    QTest::newRow("right-x68-classroom-no-menu") << 68 << Qt::RightButton << true << false;
    QTest::newRow("right-x159-classroom-no-menu") << 159 << Qt::RightButton << true << false;
    QTest::newRow("middle-x30-classroom") << 30 << Qt::MiddleButton << true << false;
    QTest::newRow("middle-x100-classroom") << 100 << Qt::MiddleButton << true << false;
}

void TstCTool::press()
{
    QFETCH(int, x);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, classroom);
    QFETCH(bool, drag);

    QTest::mousePress(m_tool.get(), button, {}, QPoint(x, 37));
    QCOMPARE(m_tool->cursor().shape(), drag ? Qt::ClosedHandCursor : Qt::ArrowCursor);
    QVERIFY(!QApplication::activePopupWidget());
    QVERIFY(!m_tool->findChild<QMenu *>());
    QTest::mouseRelease(m_tool.get(), button, {}, QPoint(x, 37));
    QCOMPARE(m_tool->cursor().shape(), Qt::ArrowCursor);

    // "showMain" closes the sequence, so a press that sent nothing shows as nothing before it.
    m_tool->showWindow();
    const QStringList expected =
        classroom ? QStringList{QStringLiteral("directClassroom"), QStringLiteral("showMain")}
                  : QStringList{QStringLiteral("showMain")};
    QCOMPARE(receiveUntil(QStringLiteral("showMain")), expected);
}

void TstCTool::drag_data()
{
    QTest::addColumn<bool>("releasedBefore"); // a full click happened before the press
    QTest::addColumn<int>("pressX");
    QTest::addColumn<bool>("moves");

    QTest::newRow("right-part-before-any-release") << false << 100 << true;
    QTest::newRow("left-part-before-any-release") << false << 30 << true;
    QTest::newRow("left-part-after-a-release") << true << 30 << true;
    QTest::newRow("right-part-after-a-release") << true << 100 << false;
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

    const QPoint start = m_tool->pos();
    const QPoint press(pressX, 30);
    QTest::mousePress(window, Qt::LeftButton, {}, press);
    const QPoint to = press + QPoint(-25, 12);
    QTest::mouseMove(window, to);
    QCOMPARE(m_tool->pos(), moves ? start + (to - press) : start);

    // Moves without a button change nothing, also during a drag that has not been released.
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(pressX, 30));
    const QPoint afterRelease = m_tool->pos();
    QTest::mouseMove(window, QPoint(5, 5));
    QCOMPARE(m_tool->pos(), afterRelease);
}

void TstCTool::slideOnLeave_data()
{
    QTest::addColumn<int>("inset"); // pixels between the window's right edge and the area's
    QTest::addColumn<bool>("slides");

    QTest::newRow("flush-slides") << 0 << true;
    QTest::newRow("five-inside-slides") << 5 << true;
    QTest::newRow("six-inside-stays") << 6 << false;
    QTest::newRow("far-inside-stays") << 400 << false;
}

void TstCTool::slideOnLeave()
{
    QFETCH(int, inset);
    QFETCH(bool, slides);

    placeRightEdgeInside(inset);
    const int startX = m_tool->x();
    sendLeave();
    QCOMPARE(m_tool->isSliding(), slides);
    if (!slides) {
        QCOMPARE(m_tool->x(), startX);
        sendEnter();
        QVERIFY(!m_tool->isSliding());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_tool->isSliding(), 10000);
    QCOMPARE(m_tool->x(), availWidth() - 35);

    // Entering the strip brings the window back wholly into view.
    sendEnter();
    QVERIFY(m_tool->isSliding());
    QTRY_VERIFY_WITH_TIMEOUT(!m_tool->isSliding(), 10000);
    QCOMPARE(m_tool->x(), availWidth() - 160);
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

    const QImage plain = normalized(QImage(QStringLiteral(":/line1")));
    const QImage highlighted = normalized(QImage(QStringLiteral(":/line2")));
    QVERIFY(plain != highlighted);

    placeRightEdgeInside(0);
    if (!out) {
        sendLeave();
        QTRY_VERIFY_WITH_TIMEOUT(!m_tool->isSliding(), 10000);
        QCOMPARE(m_tool->x(), availWidth() - 35);
    }

    // Start the slide, then cross the edge the other way before its first tick.
    if (out) {
        sendLeave();
        QVERIFY(m_tool->isSliding());
        sendEnter();
    } else {
        sendEnter();
        QVERIFY(m_tool->isSliding());
        sendLeave();
    }
    QVERIFY(m_tool->isSliding());
    QCOMPARE(picture(), out ? highlighted : plain);

    QTRY_VERIFY_WITH_TIMEOUT(!m_tool->isSliding(), 10000);
    QCOMPARE(m_tool->x(), out ? availWidth() - 35 : availWidth() - 160);
    QCOMPARE(picture(), out ? highlighted : plain);
}

void TstCTool::datagramToggles_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("hideTool") << QByteArray("hideTool");
    QTest::newRow("showTool") << QByteArray("showTool");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("unknown-word") << QByteArray("hello");
    QTest::newRow("command-for-orvane") << QByteArray("directClassroom");
    QTest::newRow("zero-and-junk") << QByteArray("showTool\0junk", 13);
}

void TstCTool::datagramToggles()
{
    QFETCH(QByteArray, datagram);

    QUdpSocket orvane;
    QVERIFY(m_tool->isVisible());
    CompanionChannel::send(&orvane, datagram, m_toolPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isHidden(), 5000);
    CompanionChannel::send(&orvane, datagram, m_toolPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->isVisible(), 5000);
    QVERIFY(!m_tool->isMinimized() && !m_tool->isMaximized());
}

void TstCTool::menuActions_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("sent"); // empty: nothing is sent
    QTest::addColumn<bool>("visibleAfter");

    QTest::newRow("toggle-hides-the-window") << 0 << QString() << false;
    QTest::newRow("show-window-sends-showMain") << 1 << QStringLiteral("showMain") << true;
    QTest::newRow("quit-sends-closeMain") << 2 << QStringLiteral("closeMain") << true;
}

void TstCTool::menuActions()
{
    QFETCH(int, index);
    QFETCH(QString, sent);
    QFETCH(bool, visibleAfter);

    // The menu runs modally inside the press; act on it from within its own loop.
    QPointer<QMenu> seen;
    QStringList texts;
    auto chooseAction = [&] {
        seen = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!seen)
            return;
        const QList<QAction *> actions = seen->actions();
        for (const QAction *action : actions)
            texts << action->text();
        if (index >= 0 && index < actions.size())
            actions.at(index)->trigger();
        seen->close();
    };

    QTimer::singleShot(0, this, chooseAction);
    QTest::mousePress(m_tool.get(), Qt::RightButton, {}, QPoint(30, 37));
    QTest::mouseRelease(m_tool.get(), Qt::RightButton, {}, QPoint(30, 37));
    QVERIFY2(seen, "a right press in the left part opens no menu");
    QCOMPARE(texts, QStringList({QStringLiteral("开启/关闭悬浮标"), QStringLiteral("显示窗口"),
                                 QStringLiteral("退出")}));
    QCOMPARE(m_tool->isVisible(), visibleAfter);

    m_tool->showWindow();
    const QStringList expected = sent.isEmpty() ? QStringList{QStringLiteral("showMain")}
                                                : QStringList{sent, QStringLiteral("showMain")};
    QCOMPARE(receiveUntil(QStringLiteral("showMain")), expected);

    // The second use reuses the first menu.
    if (!m_tool->isVisible()) {
        m_tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tool.get()));
    }
    QMenu *first = seen;
    texts.clear();
    index = -1; // choose nothing this time
    QTimer::singleShot(0, this, chooseAction);
    QTest::mousePress(m_tool.get(), Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseRelease(m_tool.get(), Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(seen.data(), first);
    QCOMPARE(m_tool->findChildren<QMenu *>().size(), 1);
}

void TstCTool::watch_data()
{
    QTest::addColumn<QString>("watched");
    QTest::addColumn<bool>("accepted");

    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QTest::newRow("running-same-case") << self << false;
    QTest::newRow("running-other-case") << self.toUpper() << false;
    QTest::newRow("not-running") << QStringLiteral("orvane-no-such-program") << true;
    QTest::newRow("running-with-suffix-is-another-name") << self + QStringLiteral(".exe") << true;
}

void TstCTool::watch()
{
    QFETCH(QString, watched);
    QFETCH(bool, accepted);

    QSignalSpy spy(m_tool.get(), &QDialog::accepted);
    m_tool->setProcessWatch(watched, 50);
    if (!accepted) {
        // About twenty looks, none of which may end the window.
        QVERIFY(!spy.wait(1000));
        QVERIFY(m_tool->isVisible());
        return;
    }
    QVERIFY(spy.wait(5000));
    QVERIFY(m_tool->isHidden());
    QCOMPARE(m_tool->result(), int(QDialog::Accepted));
    // The watch goes on after accepting.
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2, 5000);
}

QTEST_MAIN(TstCTool)
#include "tst_ctool.moc"
