// SPDX-License-Identifier: MIT
// The main window against a real HTTP server, with a UDP socket standing in for OrvaneTool:
// the start page, the commands of the channel and the tray in every window state, the
// keep-alive.
#include "common/companionchannel.h"
#include "common/globals.h"
#include "main/browserpane.h"
#include "main/downloadrow.h"
#include "main/failurepanel.h"
#include "main/findbar.h"
#include "main/maindialog.h"
#include "main/mainwindowstate.h"
#include "main/webdownload.h"
#include "main/webnavigation.h"
#include "main/webview.h"
#include "net/chttp.h"
#include "store/userstore.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimerEvent>
#include <QUdpSocket>

#include <algorithm>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename Window> Window *findTopLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget))
            return window;
    }
    return nullptr;
}

// A download that only waits: its row is what the tests look at.
class WaitingDownload : public WebDownload
{
public:
    QString suggestedFileName() const override { return QStringLiteral("作业.docx"); }
    QUrl url() const override { return QUrl(); }
    void start(const QString &) override {}
    void cancel() override {}
};

} // namespace

class TstMainDialog : public QObject
{
    Q_OBJECT

public:
    // As Orvane does: QtWebEngine 6, loaded as a library after the application, crashes without.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void init();
    void cleanup();

    void startPage_data();
    void startPage();
    void commands_data();
    void commands();
    void directClassroomFollowsTheFlag();
    void keepAlive_data();
    void keepAlive();
    void trayToggleAlternates();
    void closing_data();
    void closing();
    void switchAccounts();
    void windowStateFile_data();
    void windowStateFile();
    void accessibleNames_data();
    void accessibleNames();

private:
    void showDialog();
    QString lastPage() const;
    void sendToMain(const QByteArray &datagram);
    QAction *trayAction(const QString &text) const;

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<QUdpSocket> m_tool; // stands in for OrvaneTool
    std::unique_ptr<MainDialog> m_dialog;
    int m_mainPort = 0;
};

void TstMainDialog::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    for (const char *path :
         {"orvane/main", "orvane/loginMainIndex", "orvane/index", "orvane/other"})
        m_server->route(
            path, TestResponse::withStatus(200, "<html><body>page</body></html>", "text/html"));
    m_server->route("orvane/keepOnline", TestResponse::json(R"({"status":1})"));

    m_tool = std::make_unique<QUdpSocket>();
    QVERIFY(m_tool->bind(QHostAddress::LocalHost, 0));
    m_mainPort = TestSupport::freeUdpPort();
    QVERIFY(TestSupport::writeFile(TestSupport::appFile("conf.ini"),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(m_tool->localPort())
                                       .arg(m_mainPort)
                                       .toLatin1()));
    g_baseUrl = m_server->baseUrl();
    g_token = QStringLiteral("T0k");
    g_userName = QStringLiteral("13800000001");
    g_passWord.clear();
    g_qrLogin = false;
    g_subSystemLogin = false;
    // Every case starts as a first start does.
    QFile::remove(MainWindowState::file());
}

void TstMainDialog::cleanup()
{
    m_dialog.reset();
    m_tool.reset();
    m_server.reset();
}

void TstMainDialog::showDialog()
{
    m_dialog = std::make_unique<MainDialog>();
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

// The target of the newest page request.
QString TstMainDialog::lastPage() const
{
    const QList<RecordedRequest> all = m_server->requests();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        // QtWebEngine asks for the favicon after each page.
        if (it->path() != "orvane/keepOnline" && it->path() != "favicon.ico")
            return QString::fromLatin1(it->target);
    }
    return QString();
}

void TstMainDialog::sendToMain(const QByteArray &datagram)
{
    m_tool->writeDatagram(datagram, QHostAddress::LocalHost, quint16(m_mainPort));
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

void TstMainDialog::startPage_data()
{
    QTest::addColumn<bool>("qrLogin");
    QTest::addColumn<bool>("homeButton"); // go elsewhere, then press the home button
    QTest::addColumn<QString>("target");
    QTest::newRow("password-login") << false << false << "/orvane/main?token=T0k";
    QTest::newRow("qr-login") << true << false
                              << "/orvane/loginMainIndex?userName=13800000001&passWord=p%26w";
    QTest::newRow("home-button") << false << true << "/orvane/main?token=T0k";
}

void TstMainDialog::startPage()
{
    QFETCH(bool, qrLogin);
    QFETCH(bool, homeButton);
    QFETCH(QString, target);
    if (qrLogin) {
        g_token.clear();
        g_userName = QStringLiteral("13800000001");
        g_passWord = QStringLiteral("p&w");
        g_qrLogin = true;
    }
    showDialog();
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Orvane-主页"));
    QTRY_COMPARE(lastPage(), target);
    if (homeButton) {
        auto *view = m_dialog->findChild<WebView *>();
        view->load(QUrl(g_baseUrl + QStringLiteral("orvane/other")));
        QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/other"));
        QTest::mouseClick(m_dialog->findChild<QPushButton *>("bRet"), Qt::LeftButton);
        QTRY_COMPARE(lastPage(), target);
        QTRY_COMPARE(view->url().path(), QStringLiteral("/orvane/main"));
    }
}

void TstMainDialog::commands_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("command"); // "tray:<action>" for the tray menu, "click" on it
    QTest::addColumn<QString>("outcome");    // "front", "quit", "none" or "toggle"
    QTest::addColumn<QString>("sender"); // "": a socket of this test; "user", "nobody": a process

    struct Row
    {
        const char *name;
        QByteArray command;
        const char *outcome;
        const char *sender = "";
    };
    const Row rows[] = {
        {"showMain", "showMain", "front"},
        {"showMain-zero-junk", QByteArray("showMain\0junk\x7f", 14), "front"},
        {"directClassroom", "directClassroom", "front"},
        {"closeMain", "closeMain", "quit"},
        {"wrong-case", "ShowMain", "none"},
        {"empty", "", "none"},
        {"tool-word", "hideTool", "none"},
        {"tray-show", "tray:显示窗口", "front"},
        {"tray-quit", "tray:退出", "quit"},
        {"tray-click", "click", "toggle"},
        // Before: another user's tool brought up, redirected and closed this user's window.
        {"showMain-other-user", "showMain", "none", "nobody"},
        {"directClassroom-other-user", "directClassroom", "none", "nobody"},
        {"closeMain-other-user", "closeMain", "none", "nobody"},
        {"showMain-user-process", "showMain", "front", "user"},
        {"closeMain-user-process", "closeMain", "quit", "user"},
    };
    for (const char *state : {"shown", "hidden", "minimised"}) {
        for (const Row &row : rows)
            QTest::addRow("%s-%s", state, row.name)
                << state << row.command << row.outcome << row.sender;
    }
}

void TstMainDialog::commands()
{
    QFETCH(QString, state);
    QFETCH(QByteArray, command);
    QFETCH(QString, outcome);
    QFETCH(QString, sender);
    if (sender == QLatin1String("nobody") && ::geteuid() != 0)
        QSKIP("only root can send as another user (setpriv)");

    showDialog();
    QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/main?token=T0k"));
    if (state == QLatin1String("hidden"))
        m_dialog->hide();
    else if (state == QLatin1String("minimised"))
        m_dialog->showMinimized();
    const bool visible = m_dialog->isVisible();
    const bool minimised = m_dialog->isMinimized();
    QSignalSpy finished(m_dialog.get(), &QDialog::finished);
    TestSupport::SenderProcess process; // its socket stays open while this case runs
    if (command.startsWith("tray:")) {
        trayAction(QString::fromUtf8(command.mid(5)))->trigger();
    } else if (command == "click") {
        auto *tray = m_dialog->findChild<QSystemTrayIcon *>();
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvane - ") + g_userName);
        emit tray->activated(QSystemTrayIcon::Trigger);
    } else {
        auto *socket = m_dialog->findChild<QUdpSocket *>();
        if (sender.isEmpty())
            sendToMain(command);
        else
            QVERIFY(process.send(command, m_mainPort, sender == QLatin1String("nobody")));
        QVERIFY(socket->hasPendingDatagrams());
        QTRY_VERIFY(!socket->hasPendingDatagrams());
    }

    if (outcome == QLatin1String("quit")) {
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QVERIFY(!m_dialog->isVisible());
        return;
    }
    QCOMPARE(finished.count(), 0);
    if (outcome == QLatin1String("toggle"))
        outcome = visible && !minimised ? "hidden" : "front";
    if (outcome == QLatin1String("hidden")) {
        QVERIFY(!m_dialog->isVisible());
    } else if (outcome == QLatin1String("front")) {
        QTRY_VERIFY(m_dialog->isVisible() && !m_dialog->isMinimized());
    } else {
        QCOMPARE(m_dialog->isVisible(), visible);
        QCOMPARE(m_dialog->isMinimized(), minimised);
    }
    if (command == "directClassroom" && outcome == QLatin1String("front"))
        QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/index?menuId=4&tag=2"));
}

void TstMainDialog::directClassroomFollowsTheFlag()
{
    showDialog();
    QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/main?token=T0k"));
    g_subSystemLogin = true;
    sendToMain("directClassroom");
    QTRY_COMPARE(m_server->requestsTo("orvane/main").size(), 2);
    QVERIFY(!g_subSystemLogin);
    sendToMain("directClassroom");
    QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/index?menuId=4&tag=2"));
    QCOMPARE(m_server->requestsTo("orvane/main").size(), 2);
}

void TstMainDialog::keepAlive_data()
{
    QTest::addColumn<bool>("qrLogin");
    QTest::addColumn<bool>("remembered");        // the account's password is saved
    QTest::addColumn<QByteArrayList>("replies"); // one keep-alive answer a period; "-": none
    QTest::addColumn<QByteArray>("loginReply");
    QTest::addColumn<bool>("renewedAtLogin"); // the renewed session's page is the platform's login
    QTest::addColumn<bool>("tokenReplaced");  // the token changes while the answer is on its way
    QTest::addColumn<int>("logins");          // logins in the background
    QTest::addColumn<bool>("asked");          // the login window came back

    const QByteArray alive = R"({"status":1})";
    const QByteArray ended = R"({"status":0,"msg":"登录已失效"})";
    const QByteArray token = R"({"status":1,"result":{"token":"N3w"}})";
    const QByteArray refused = R"({"status":0,"msg":"密码错误"})";
    const auto row = [](const char *name) {
        return &QTest::newRow(name);
    };
    *row("alive") << false << true << QByteArrayList{alive, alive} << token << false << false << 0
                  << false;
    // Without an answer nothing is known of the session.
    *row("no-answer") << false << true << QByteArrayList{"-", "-"} << token << false << false << 0
                      << false;
    *row("not-an-envelope") << false << true << QByteArrayList{"<p>"} << token << false << false
                            << 0 << false;
    *row("ended") << false << true << QByteArrayList{ended} << token << false << false << 1
                  << false;
    *row("ended-again-later") << false << true << QByteArrayList{ended, alive, ended} << token
                              << false << false << 2 << false;
    // Before: a second ending before the next keep-alive confirmed the first renewal threw the
    // teacher out, although the password is remembered.
    *row("ended-twice-in-a-minute")
        << false << true << QByteArrayList{ended, ended} << token << false << false << 2 << false;
    // Never a loop of logins: three in ten minutes, then the teacher is asked.
    *row("ended-four-times") << false << true << QByteArrayList{ended, ended, ended, ended} << token
                             << false << false << 3 << true;
    *row("renewed-at-the-login-again")
        << false << true << QByteArrayList{ended} << token << true << false << 1 << true;
    *row("renewal-refused") << false << true << QByteArrayList{ended} << refused << false << false
                            << 1 << true;
    *row("not-remembered") << false << false << QByteArrayList{ended} << token << false << false
                           << 0 << true;
    // Before: an answer about a token that had been replaced ended the new session.
    *row("answer-about-a-replaced-token")
        << false << true << QByteArrayList{ended} << token << false << true << 0 << false;
    // A QR-code session has no token: before, a password session's old one was asked about
    // and the live QR session thrown out every five minutes.
    *row("qr-after-password") << true << true << QByteArrayList{ended, ended} << token << false
                              << false << 0 << false;
}

void TstMainDialog::keepAlive()
{
    QFETCH(bool, qrLogin);
    QFETCH(bool, remembered);
    QFETCH(QByteArrayList, replies);
    QFETCH(QByteArray, loginReply);
    QFETCH(bool, renewedAtLogin);
    QFETCH(bool, tokenReplaced);
    QFETCH(int, logins);
    QFETCH(bool, asked);
    g_qrLogin = qrLogin;
    if (qrLogin) {
        g_token.clear();
        g_passWord = QStringLiteral("pw");
    }
    QVERIFY(UserStore::instance().saveUser(g_userName, remembered ? "pw" : "", remembered, false));
    m_server->route("orvane/client/login", TestResponse::json(loginReply));
    m_server->route("orvane/login", TestResponse::withStatus(200, "<p>login</p>", "text/html"));
    m_server->route("orvane/main", [renewedAtLogin](const RecordedRequest &request) {
        if (renewedAtLogin && request.query() == "token=N3w") {
            TestResponse moved = TestResponse::withStatus(302, "", "text/html");
            moved.headers.append(
                qMakePair<QByteArray, QByteArray>("Location", "/orvane/login?expired=1"));
            return moved;
        }
        return TestResponse::withStatus(200, "<p>start</p>", "text/html");
    });
    const QByteArray startPage = qrLogin ? "orvane/loginMainIndex" : "orvane/main";
    showDialog();
    QSignalSpy loginNeeded(m_dialog.get(), &MainDialog::loginNeeded);
    QSignalSpy pageLoaded(m_dialog->findChild<BrowserPane *>(), &BrowserPane::pageLoaded);
    QTRY_COMPARE(pageLoaded.size(), 1);
    auto *http = m_dialog->findChild<CHttp *>();
    int keepAliveTimer = 0;
    for (const QAbstractEventDispatcher::TimerInfo &timer :
         QAbstractEventDispatcher::instance()->registeredTimers(m_dialog.get())) {
        if (timer.interval == MainDialog::KeepAliveIntervalMs)
            keepAliveTimer = timer.timerId;
    }
    QVERIFY(keepAliveTimer > 0);
    // Before: any timer of the window sent a keep-alive.
    QTimerEvent otherTimer(keepAliveTimer + 1000);
    QCoreApplication::sendEvent(m_dialog.get(), &otherTimer);

    for (int i = 0; i < replies.size(); ++i) {
        TestResponse reply = TestResponse::json(replies.at(i));
        if (replies.at(i) == "-")
            reply.mode = TestResponse::Mode::CloseMidBody;
        m_server->route("orvane/keepOnline", reply);
        const int pages = pageLoaded.size();
        const int loginsBefore = m_server->requestsTo("orvane/client/login").size();
        QTimerEvent tick(keepAliveTimer);
        QCoreApplication::sendEvent(m_dialog.get(), &tick);
        if (tokenReplaced)
            g_token = QStringLiteral("R3placed");
        QTRY_COMPARE(m_server->requestsTo("orvane/keepOnline").size(), i + 1);
        // Every reply done with and released (before, keep-alive replies stayed until the end).
        QTRY_COMPARE(http->findChildren<QNetworkReply *>().size(), 0);
        // A renewal that took: the platform's page of the new session.
        if (m_server->requestsTo("orvane/client/login").size() > loginsBefore && !renewedAtLogin
            && loginNeeded.isEmpty())
            QTRY_VERIFY(pageLoaded.size() > pages);
    }
    QCOMPARE(m_server->requestsTo("orvane/keepOnline").size(), replies.size());
    QCOMPARE(m_server->requestsTo("orvane/keepOnline").first().target,
             qrLogin ? QByteArray("/orvane/keepOnline?token=")
                     : QByteArray("/orvane/keepOnline?token=T0k"));

    // The login page's own request with the saved account; the new session's start page.
    if (asked)
        QTRY_COMPARE(loginNeeded.size(), 1);
    const QList<RecordedRequest> sent = m_server->requestsTo("orvane/client/login");
    QCOMPARE(sent.size(), logins);
    for (const RecordedRequest &request : sent)
        QCOMPARE(request.method + ' ' + request.query(),
                 QByteArray("POST userName=13800000001&passWord=pw"));
    if (logins > 0 && !asked)
        QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/main?token=N3w"));
    QCOMPARE(loginNeeded.size(), asked ? 1 : 0);
    QCOMPARE(m_dialog->isVisible(), !asked);
    if (!asked)
        return;
    QCOMPARE(loginNeeded.first().first().toString(), QStringLiteral("登录已失效，请重新登录"));
    // Meanwhile the tool's "showMain" shows the login window, not the ended session's pages.
    QWidget standIn;
    m_dialog->setStandIn(&standIn);
    sendToMain("showMain");
    QTRY_VERIFY(standIn.isVisible());
    QVERIFY(!m_dialog->isVisible());
    // After the login the same window goes on, at the start page of the new session.
    const int starts = m_server->requestsTo(startPage).size();
    g_token = QStringLiteral("L0gin");
    m_dialog->loggedIn();
    QTRY_VERIFY(m_dialog->isVisible());
    QTRY_COMPARE(m_server->requestsTo(startPage).size(), starts + 1);
}

void TstMainDialog::trayToggleAlternates()
{
    showDialog();
    const int first = toolToggleCount;
    for (int i = 0; i < 3; ++i)
        trayAction(QStringLiteral("开启/关闭悬浮标"))->trigger();
    QStringList received;
    QTRY_VERIFY((received += CompanionChannel::readPending(m_tool.get())).size() >= 3);
    const QString odd = QStringLiteral("hideTool");
    const QString even = QStringLiteral("showTool");
    QCOMPARE(received,
             QStringList({first % 2 ? odd : even, first % 2 ? even : odd, first % 2 ? odd : even}));
}

void TstMainDialog::closing_data()
{
    QTest::addColumn<bool>("windowManager"); // closed as Alt+F4 closes it; else by its button
    QTest::newRow("close-button") << false;
    // Before: Alt+F4 ended the whole program, while the button only hid the window.
    QTest::newRow("window-manager") << true;
}

void TstMainDialog::closing()
{
    QFETCH(bool, windowManager);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("this platform has a system tray");
    showDialog();
    QSignalSpy finished(m_dialog.get(), &QDialog::finished);
    if (windowManager)
        m_dialog->windowHandle()->close();
    else
        QTest::mouseClick(m_dialog->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
    // Before: with no tray the close button hid the window beyond reach.
    QTRY_VERIFY(m_dialog->isMinimized());
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(finished.count(), 0);
}

void TstMainDialog::switchAccounts()
{
    TestResponse start = TestResponse::withStatus(
        200, "<html><head><title>课表</title></head></html>", "text/html;charset=utf-8");
    start.headers.append(qMakePair<QByteArray, QByteArray>("Set-Cookie", "session=T0k; Path=/"));
    m_server->route("orvane/main", start);
    showDialog();
    // Loaded, its cookie taken.
    QTRY_COMPARE(m_dialog->findChild<WebView *>()->title(), QStringLiteral("课表"));
    QSignalSpy loginNeeded(m_dialog.get(), &MainDialog::loginNeeded);
    QStringList items;
    for (const QAction *action : m_dialog->findChild<QMenu *>()->actions())
        items << action->text();
    QCOMPARE(items, QStringList({"开启/关闭悬浮标", "显示窗口", "切换账号", "进入课堂", "退出"}));

    trayAction(QStringLiteral("切换账号"))->trigger();
    QCOMPARE(loginNeeded.size(), 1);
    QCOMPARE(loginNeeded.first().first().toString(), QString());
    QVERIFY(!m_dialog->isVisible());
    const auto timers = [this] {
        const auto all = QAbstractEventDispatcher::instance()->registeredTimers(m_dialog.get());
        return std::count_if(all.begin(), all.end(), [](const auto &timer) {
            return timer.interval == MainDialog::KeepAliveIntervalMs;
        });
    };
    QCOMPARE(timers(), 0);

    // The next teacher's login goes on in the same window, without the last session's cookie.
    g_userName = QStringLiteral("13900000002");
    g_token = QStringLiteral("N3w");
    m_dialog->loggedIn();
    QTRY_COMPARE(lastPage(), QStringLiteral("/orvane/main?token=N3w"));
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_server->requestsTo("orvane/main").last().header("cookie"), QByteArray());
    QCOMPARE(m_dialog->findChild<QSystemTrayIcon *>()->toolTip(),
             QStringLiteral("Orvane - 13900000002"));
    QCOMPARE(timers(), 1);
}

void TstMainDialog::windowStateFile_data()
{
    QTest::addColumn<QByteArray>("before"); // the file's text; "link": a link to another file
    QTest::addColumn<QString>("others");    // what stays of the other users' states

    QTest::newRow("first") << QByteArray() << "{}";
    QTest::newRow("other-user-kept")
        << QByteArray(R"({"u2":{"x":1,"y":2,"width":900,"height":700,"maximized":true}})")
        << R"({"u2":{"height":700,"maximized":true,"width":900,"x":1,"y":2}})";
    QTest::newRow("not-json") << QByteArray("{{{") << "{}";
    // The link is replaced, never followed: the file it led to keeps what it held.
    QTest::newRow("link") << QByteArray("link") << "{}";
}

void TstMainDialog::windowStateFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, others);
    QTemporaryDir dir;
    const QString file = dir.filePath("window.json");
    const QString target = dir.filePath("notes.txt");
    if (before == "link")
        QVERIFY(TestSupport::writeFile(target, "notes") && QFile::link(target, file));
    else if (!before.isEmpty())
        QVERIFY(TestSupport::writeFile(file, before));

    const MainWindowState state{QRect(40, 62, 880, 800), true};
    QVERIFY(MainWindowState::save(file, "u1", state));
    QCOMPARE(MainWindowState::load(file, "u1"), state);
    QCOMPARE(MainWindowState::load(file, "u3"), MainWindowState());
    QJsonObject all = QJsonDocument::fromJson(TestSupport::readFile(file)).object();
    all.remove("u1");
    QCOMPARE(QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact)), others);
    struct stat st;
    QVERIFY(::lstat(QFile::encodeName(file).constData(), &st) == 0 && S_ISREG(st.st_mode));
    QCOMPARE(st.st_mode & 0777, 0600u);
    if (before == "link")
        QCOMPARE(TestSupport::readFile(target), QByteArray("notes"));
}
void TstMainDialog::accessibleNames_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main") << "main";
    QTest::newRow("find-bar") << "find";
    QTest::newRow("download-row") << "download";
    QTest::newRow("failure-page") << "failure";
    QTest::newRow("tray-menu") << "tray";
}
void TstMainDialog::accessibleNames()
{
    QFETCH(QString, window);
    showDialog();
    std::unique_ptr<QWidget> row;
    QWidget *top = m_dialog.get();
    if (window == QLatin1String("find")) {
        top = m_dialog->findChild<FindBar *>();
        static_cast<FindBar *>(top)->open();
    } else if (window == QLatin1String("failure")) {
        // Its labels read their own text: what went wrong, and when it is tried again.
        auto *panel = m_dialog->findChild<FailurePanel *>();
        panel->showFailure({QStringLiteral("无法连接到平台"), QStringLiteral("请检查网络")}, 5);
        top = panel;
    } else if (window == QLatin1String("download")) {
        row = std::make_unique<DownloadRow>(new WaitingDownload);
        top = row.get();
    } else if (window == QLatin1String("tray")) {
        top = m_dialog->findChild<QMenu *>();
    } else if (auto *loading = m_dialog->findChild<QProgressBar *>()) {
        loading->show(); // as while a page loads
    }
    // Every control a person can reach or read has a Chinese name; the page's own are the page's.
    QCOMPARE(TestSupport::unnamedControls(top, m_dialog->findChild<WebView *>()), QStringList());
}

QTEST_MAIN(TstMainDialog)
#include "tst_maindialog.moc"
