// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "main/maindialog.h"
#include "main/mainwindowplacement.h"
#include "main/webpage.h"
#include "net/chttp.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QMenu>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QWebView>

namespace {

int freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

class TstMainDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QNetworkReply *>(); }
    void init();
    void cleanup();

    void placement_data();
    void placement();
    void startPage_data();
    void startPage();
    void homeButtonLoadsTheStartPageAgain();
    void keepAlive_data();
    void keepAlive();
    void defaultPorts();
    void commands_data();
    void commands();
    void directClassroomFollowsTheFlag();
    void commandsInQuickSuccession();
    void trayToggleAlternates();
    void quitting_data();
    void quitting();
    void closeButtonWithoutTrayMinimises();

private:
    MainDialog *showDialog();
    QString lastLoadedPath() const;
    void sendToMain(const QByteArray &datagram);
    QAction *trayAction(const QString &text) const;

    QTemporaryDir *m_dir = nullptr;
    TestHttpServer *m_server = nullptr;
    MainDialog *m_dialog = nullptr;
    QUdpSocket *m_tool = nullptr; // stands in for OrvaneTool
    int m_mainPort = 0;
};

void TstMainDialog::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    const auto html = [](const char *text) {
        return TestResponse::withStatus(200, QByteArray("<html><body>") + text + "</body></html>",
                                        "text/html");
    };
    m_server->route("orvane/main", html("start"));
    m_server->route("orvane/loginMainIndex", html("qr start"));
    m_server->route("orvane/index", html("classroom"));
    m_server->route("orvane/other", html("other"));
    m_server->route("orvane/keepOnline", TestResponse::json(R"({"status":1})"));

    m_tool = new QUdpSocket(this);
    QVERIFY(m_tool->bind(QHostAddress::LocalHost, 0));
    m_mainPort = freeUdpPort();
    QVERIFY(TestSupport::writeFile(m_dir->filePath(QStringLiteral("conf.ini")),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(m_tool->localPort())
                                       .arg(m_mainPort)
                                       .toLatin1()));
    AppConfig::setApplicationDirectory(m_dir->path());

    g_baseUrl = m_server->baseUrl();
    g_token = QStringLiteral("T0k");
    g_userName.clear();
    g_passWord.clear();
    g_qrLogin = false;
    g_subSystemLogin = false;
}

void TstMainDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    delete m_tool;
    delete m_server;
    delete m_dir;
}

MainDialog *TstMainDialog::showDialog()
{
    m_dialog = new MainDialog;
    m_dialog->show();
    if (!QTest::qWaitForWindowExposed(m_dialog))
        qWarning("main window not exposed");
    return m_dialog;
}

QString TstMainDialog::lastLoadedPath() const
{
    const QList<RecordedRequest> all = m_server->requests();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->path() != "orvane/keepOnline")
            return QString::fromLatin1(it->target);
    }
    return QString();
}

void TstMainDialog::sendToMain(const QByteArray &datagram)
{
    m_tool->writeDatagram(datagram, QHostAddress::LocalHost, static_cast<quint16>(m_mainPort));
}

QAction *TstMainDialog::trayAction(const QString &text) const
{
    for (QMenu *menu : m_dialog->findChildren<QMenu *>()) {
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
    }
    return nullptr;
}

void TstMainDialog::placement_data()
{
    QTest::addColumn<int>("availWidth");
    QTest::addColumn<int>("availHeight");
    QTest::addColumn<int>("desktopWidth");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("narrow-maximises") << 1079 << 1040 << 1079 << false << QRect();
    QTest::newRow("1080-wide-900-high") << 1080 << 900 << 1080 << true << QRect(0, 0, 1080, 900);
    QTest::newRow("899-high") << 1080 << 899 << 1080 << true << QRect(0, 10, 1080, 879);
    QTest::newRow("full-hd") << 1920 << 1040 << 1920 << true << QRect(420, 70, 1080, 900);
    QTest::newRow("two-screens-centre-on-desktop") << 1920 << 1040 << 3840 << true
                                                   << QRect(1380, 70, 1080, 900);
    QTest::newRow("odd-difference-truncates") << 1081 << 901 << 1081 << true << QRect(0, 0, 1080, 900);
}

void TstMainDialog::placement()
{
    QFETCH(int, availWidth);
    QFETCH(int, availHeight);
    QFETCH(int, desktopWidth);
    QFETCH(bool, fixed);
    QFETCH(QRect, geometry);

    const MainWindowPlacement p = MainWindowPlacement::compute(availWidth, availHeight, desktopWidth);
    QCOMPARE(p.fixedSize, fixed);
    if (fixed)
        QCOMPARE(QRect(p.position, p.size), geometry);
}

void TstMainDialog::startPage_data()
{
    QTest::addColumn<bool>("qrLogin");
    QTest::addColumn<QString>("target");
    QTest::newRow("password-login") << false << "/orvane/main?token=T0k";
    QTest::newRow("qr-login") << true << "/orvane/loginMainIndex?userName=13800000001&passWord=p%26w";
}

void TstMainDialog::startPage()
{
    QFETCH(bool, qrLogin);
    QFETCH(QString, target);
    if (qrLogin) {
        g_token.clear();
        g_userName = QStringLiteral("13800000001");
        g_passWord = QStringLiteral("p&w");
        g_qrLogin = true;
    }
    showDialog();
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Orvane-主页"));
    QTRY_COMPARE(lastLoadedPath(), target);
}

void TstMainDialog::homeButtonLoadsTheStartPageAgain()
{
    showDialog();
    auto *view = m_dialog->findChild<QWebView *>(QStringLiteral("webView"));
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/main?token=T0k"));
    QSignalSpy loaded(view, &QWebView::loadFinished);
    view->load(QUrl(g_baseUrl + QStringLiteral("orvane/other")));
    QVERIFY(loaded.wait(10000));
    QTest::mouseClick(m_dialog->findChild<QPushButton *>(QStringLiteral("bRet")), Qt::LeftButton);
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/main?token=T0k"));
    QTRY_COMPARE(view->url().path(), QStringLiteral("/orvane/main"));
    QCOMPARE(m_server->requestsTo("orvane/main").size(), 2);
}

void TstMainDialog::keepAlive_data()
{
    QTest::addColumn<bool>("qrLogin");
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("password-login") << false << QByteArray("/orvane/keepOnline?token=T0k");
    QTest::newRow("qr-login-empty-token") << true << QByteArray("/orvane/keepOnline?token=");
}

void TstMainDialog::keepAlive()
{
    QFETCH(bool, qrLogin);
    QFETCH(QByteArray, target);
    if (qrLogin) {
        g_token.clear();
        g_userName = QStringLiteral("u");
        g_passWord = QStringLiteral("p");
        g_qrLogin = true;
    }
    showDialog();
    CHttp *http = m_dialog->findChild<CHttp *>();
    QVERIFY(http);
    QSignalSpy finished(http, &QNetworkAccessManager::finished);
    const int rounds = 5;
    for (int i = 0; i < rounds; ++i) {
        QTimerEvent tick(0);
        QCoreApplication::sendEvent(m_dialog, &tick);
    }
    QTRY_COMPARE(finished.count(), rounds);
    const QList<RecordedRequest> sent = m_server->requestsTo("orvane/keepOnline");
    QCOMPARE(sent.size(), rounds);
    QCOMPARE(sent.first().method, QByteArray("GET"));
    QCOMPARE(sent.first().target, target);
    // Before: every keep-alive reply stayed alive until the window closed.
    QTRY_COMPARE(http->findChildren<QNetworkReply *>().size(), 0);
}

void TstMainDialog::defaultPorts()
{
    QFile::remove(m_dir->filePath(QStringLiteral("conf.ini")));
    QUdpSocket tool;
    if (!tool.bind(QHostAddress::LocalHost, AppConfig::DefaultToolPort))
        QSKIP("the default tool port is taken on this machine");
    showDialog();
    auto *socket = m_dialog->findChild<QUdpSocket *>();
    QVERIFY(socket);
    QCOMPARE(int(socket->localPort()), AppConfig::DefaultMainPort);
    QCOMPARE(socket->localAddress(), QHostAddress(QHostAddress::LocalHost));

    QSignalSpy ready(&tool, &QUdpSocket::readyRead);
    trayAction(QStringLiteral("开启/关闭悬浮标"))->trigger();
    QVERIFY(ready.wait(5000));
    QByteArray datagram(int(tool.pendingDatagramSize()), '\0');
    tool.readDatagram(datagram.data(), datagram.size());
    QCOMPARE(datagram, QByteArray("hideTool"));
}

void TstMainDialog::commands_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("restores");
    QTest::addColumn<bool>("closes");
    QTest::newRow("showMain") << QByteArray("showMain") << true << false;
    QTest::newRow("showMain-zero-junk") << QByteArray("showMain\0junk\x7f", 14) << true << false;
    QTest::newRow("wrong-case-ignored") << QByteArray("ShowMain") << false << false;
    QTest::newRow("empty-ignored") << QByteArray() << false << false;
    QTest::newRow("unknown-ignored") << QByteArray("hideTool") << false << false;
    QTest::newRow("directClassroom") << QByteArray("directClassroom") << true << false;
    QTest::newRow("closeMain") << QByteArray("closeMain") << false << true;
}

void TstMainDialog::commands()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, restores);
    QFETCH(bool, closes);

    showDialog();
    QSignalSpy finished(m_dialog, &QDialog::finished);
    m_dialog->hide();
    sendToMain(datagram);
    // A marker behind it: once that is handled, the datagram before it is too.
    sendToMain("showMain");
    if (!restores && !closes) {
        QTRY_VERIFY(m_dialog->isVisible());
        QCOMPARE(finished.count(), 0);
        return;
    }
    if (closes) {
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        return;
    }
    QTRY_VERIFY(m_dialog->isVisible());
    QVERIFY(!m_dialog->isMinimized());
}

void TstMainDialog::directClassroomFollowsTheFlag()
{
    showDialog();
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/main?token=T0k"));
    g_subSystemLogin = true;
    sendToMain("directClassroom");
    QTRY_COMPARE(m_server->requestsTo("orvane/main").size(), 2);
    QVERIFY(!g_subSystemLogin);
    sendToMain("directClassroom");
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/index?menuId=4&tag=2"));
    QCOMPARE(m_server->requestsTo("orvane/main").size(), 2);
}

void TstMainDialog::commandsInQuickSuccession()
{
    showDialog();
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/main?token=T0k"));
    m_dialog->showMinimized();
    QSignalSpy finished(m_dialog, &QDialog::finished);
    sendToMain("directClassroom");
    sendToMain("closeMain");
    QTRY_COMPARE(finished.count(), 1);
    QTRY_COMPARE(lastLoadedPath(), QStringLiteral("/orvane/index?menuId=4&tag=2"));
}

void TstMainDialog::trayToggleAlternates()
{
    showDialog();
    QSignalSpy ready(m_tool, &QUdpSocket::readyRead);
    QAction *toggle = trayAction(QStringLiteral("开启/关闭悬浮标"));
    QVERIFY(toggle);
    const int first = toolToggleCount;
    for (int i = 0; i < 3; ++i)
        toggle->trigger();
    QStringList received;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (m_tool->hasPendingDatagrams()) {
                QByteArray d(int(m_tool->pendingDatagramSize()), '\0');
                m_tool->readDatagram(d.data(), d.size());
                received << QString::fromLatin1(d);
            }
            return received.size() >= 3;
        }(),
        5000);
    const QString odd = QStringLiteral("hideTool"), even = QStringLiteral("showTool");
    QCOMPARE(received, QStringList({first % 2 ? odd : even, first % 2 ? even : odd, first % 2 ? odd : even}));
    QCOMPARE(toolToggleCount, first + 3);
}

void TstMainDialog::quitting_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("how");
    for (const char *state : {"shown", "hidden", "minimised"}) {
        QTest::addRow("%s-closeMain", state) << state << "closeMain";
        QTest::addRow("%s-tray-quit", state) << state << "tray";
    }
}

void TstMainDialog::quitting()
{
    QFETCH(QString, state);
    QFETCH(QString, how);
    showDialog();
    if (state == QLatin1String("hidden"))
        m_dialog->hide();
    else if (state == QLatin1String("minimised"))
        m_dialog->showMinimized();
    QSignalSpy finished(m_dialog, &QDialog::finished);
    if (how == QLatin1String("tray"))
        trayAction(QStringLiteral("退出"))->trigger();
    else
        sendToMain("closeMain");
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QVERIFY(!m_dialog->isVisible());
}

void TstMainDialog::closeButtonWithoutTrayMinimises()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("this platform has a system tray");
    showDialog();
    // Before: with no tray the close button hid the window beyond reach.
    QTest::mouseClick(m_dialog->findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
    QTRY_VERIFY(m_dialog->isMinimized());
    QVERIFY(m_dialog->isVisible());
}

QTEST_MAIN(TstMainDialog)
#include "tst_maindialog.moc"
