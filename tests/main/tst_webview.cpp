// SPDX-License-Identifier: MIT
// The navigation rules, the downloads and the failure page as both web engines meet them: real
// clicks on real pages from a test server, each row run once per engine.
#include "common/globals.h"
#include "common/qtpaths.h"
#include "main/browserpane.h"
#include "main/downloadrow.h"
#include "main/failurepanel.h"
#include "main/webdownload.h"
#include "main/webengines.h"
#include "main/webnavigation.h"
#include "tests/e2e/demoservice.h"
#include "tests/support/browsercatcher.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <memory>

namespace {

// Solid blocks 40 px high, one under the other: the rows click their middles.
const QByteArray Index = R"(<html><body style="margin:0">
<style>a,div,input{position:absolute;left:0;width:300px;height:40px;display:block;margin:0}</style>
<a href="/upload/notice/plan.pdf" style="top:0">notice</a>
<a href="/orvane/classroom" target="_blank" style="top:40px">new window</a>
<a href="/dedeLogin?to=exam" style="top:80px">exam</a>
<a href="/orvane/plain" style="top:120px">plain</a>
<form action="/orvane/classAttendanceListExport" method="post">
<input type="submit" value="export" style="top:160px"></form>
<div onclick="location.href='/upload/notice/plan.pdf'" style="top:200px">script</div>
</body></html>)";

// One of each kind of download, as blocks again.
const QByteArray Files = R"html(<html><body style="margin:0">
<style>a,button{position:absolute;left:0;width:300px;height:40px;display:block;margin:0}</style>
<a href="/files/report" style="top:0">attachment</a>
<a href="/files/data.bin" style="top:40px">unknown type</a>
<button style="top:80px" onclick="var a=document.createElement('a');
a.href=window.URL.createObjectURL(new Blob(['made,here\n1,2\n'],{type:'text/csv'}));
a.download='made.csv';document.body.appendChild(a);a.click()">blob</button>
<a href="data:text/csv;base64,c2NvcmUKOTkK" download="scores.csv" style="top:120px">data</a>
<a href="/files/slow" style="top:160px">slow</a>
<a href="/files/broken" style="top:200px">broken</a>
</body></html>)html";

// Calls answer with the first menu or dialog that opens while owner lives: they run an event
// loop of their own, which a test waiting for them would never leave.
void whenShown(QObject *owner, const std::function<void(QWidget *)> &answer)
{
    auto *poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        QWidget *shown = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                           : QApplication::activeModalWidget();
        if (!shown || !shown->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        answer(shown);
    });
    poll->start(20);
}

} // namespace

class TstWebView : public QObject
{
    Q_OBJECT

public:
    // As Orvane does: QtWebEngine 6, loaded as a library after the application, crashes without.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clicks_data();
    void clicks();
    void handOffs_data();
    void handOffs();
    void downloads_data();
    void downloads();
    void failures_data();
    void failures();
    void cookies_data();
    void cookies();
    void wheelZoom_data();
    void wheelZoom();
    void pageAsks_data();
    void pageAsks();
    void foreignEngineRefused_data();
    void foreignEngineRefused();
    void sessionEnds_data();
    void sessionEnds();

private:
    WebView *createView(const QString &engine);
    // The main window's pane for the engine, shown (m_pane).
    BrowserPane *showPane(const QString &engine);
    bool load(const QString &path, WebView *view = nullptr);
    void click(int block, WebView *view = nullptr);

    QTemporaryDir m_storage;
    BrowserCatcher m_browser;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<WebView> m_view;
    std::unique_ptr<BrowserPane> m_pane;
};

namespace {

// What the failure page told, as it tells it in the log.
QStringList failuresTold;
QtMessageHandler defaultHandler = nullptr;

void recordFailures(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("page failed: ")))
        failuresTold.append(message.section(QLatin1Char(' '), 2, 2));
    defaultHandler(type, context, message);
}

} // namespace

void TstWebView::initTestCase()
{
    QVERIFY(m_storage.isValid());
    // Downloads land in a folder of this run, not in the home of whoever runs it.
    qputenv("HOME", m_storage.filePath(QStringLiteral("home")).toUtf8());
    defaultHandler = qInstallMessageHandler(recordFailures);
}

void TstWebView::init()
{
    if (QByteArray(QTest::currentDataTag()).startsWith(WebEngines::WebKit)
        && !TestSupport::hasWebKit())
        QSKIP(TestSupport::NoWebKit);
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    const auto page = [](const QByteArray &body) {
        return TestResponse::withStatus(200, body, "text/html;charset=utf-8");
    };
    m_server->route("orvane/index", page(Index));
    for (const char *path :
         {"orvane/classroom", "dedeLogin", "orvane/plain", "upload/notice/plan.pdf"})
        m_server->route(path, page(QByteArray("<html><body>") + path + "</body></html>"));
    g_baseUrl = m_server->baseUrl();
    g_subSystemLogin = false;
    m_browser.urls.clear();
}

void TstWebView::cleanup()
{
    m_view.reset();
    m_pane.reset();
    m_server.reset();
}

WebView *TstWebView::createView(const QString &engine)
{
    WebView::Settings settings;
    settings.storagePath = m_storage.filePath(engine);
    settings.downloadFolder = m_storage.filePath(QStringLiteral("home/Downloads"));
    QString problem;
    m_view.reset(WebEngines::create(engine, settings, nullptr, &problem));
    if (!m_view)
        qWarning("%s", qPrintable(problem));
    return m_view.get();
}

BrowserPane *TstWebView::showPane(const QString &engine)
{
    WebView::Settings settings;
    settings.storagePath = m_storage.filePath(engine);
    settings.platformUrl = &WebNavigation::isPlatformUrl;
    m_pane = std::make_unique<BrowserPane>(engine, settings, BrowserPane::Options());
    m_pane->resize(400, 300);
    m_pane->show();
    return QTest::qWaitForWindowActive(m_pane.get()) ? m_pane.get() : nullptr;
}

bool TstWebView::load(const QString &path, WebView *view)
{
    view = view ? view : m_view.get();
    QSignalSpy loaded(view, &WebView::loadFinished);
    view->load(QUrl(g_baseUrl + path));
    return loaded.wait(20000) && loaded.last().first().toBool();
}

namespace {

// Whether widget shows anything but a blank page.
bool painted(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                return true;
        }
    }
    return false;
}

} // namespace

// A click in the middle of the block-th block, where the engine takes its mouse events.
void TstWebView::click(int block, WebView *view)
{
    QWidget *target = view ? view : m_view.get();
    while (target->focusProxy())
        target = target->focusProxy();
    const QPoint point(150, 40 * block + 20);
    // QtWebEngine 6 drops input that comes before the page's first frame.
    QTRY_VERIFY_WITH_TIMEOUT(painted(target), 20000);
    QTest::mouseMove(target, point);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, point);
}

void TstWebView::clicks_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("browserPath"); // empty: nothing goes to the browser
    QTest::addColumn<QString>("viewPath");    // where the view ends up
    QTest::addColumn<bool>("subSystemLogin");

    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name) {
            return &(QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine));
        };
        *row("notice-to-browser") << 0 << "/upload/notice/plan.pdf"
                                  << "/orvane/index" << false;
        *row("new-window-in-view") << 1 << ""
                                   << "/orvane/classroom" << false;
        *row("subsystem-login") << 2 << ""
                                << "/dedeLogin" << true;
        *row("plain-link") << 3 << ""
                           << "/orvane/plain" << false;
        *row("form-export-to-browser") << 4 << "/orvane/classAttendanceListExport"
                                       << "/orvane/index" << false;
        // A script's navigation is not the user's: the rules leave it to the view.
        *row("script-in-view") << 5 << ""
                               << "/upload/notice/plan.pdf" << false;
    }
}

void TstWebView::clicks()
{
    QFETCH(QString, engine);
    QFETCH(int, block);
    QFETCH(QString, browserPath);
    QFETCH(QString, viewPath);
    QFETCH(bool, subSystemLogin);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (QTest::currentDataTag() == QByteArray("webengine-script-in-view"))
        QSKIP("QtWebEngine 6 reports a script's navigation from a click handler as a link click");
#endif

    QVERIFY(createView(engine));
    m_view->setNavigationHook(&WebNavigation::handle);
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QVERIFY(load(QStringLiteral("orvane/index")));
    g_subSystemLogin = !subSystemLogin;

    QSignalSpy loaded(m_view.get(), &WebView::loadFinished);
    click(block);
    if (browserPath.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(m_view->url().path(), viewPath, 20000);
        QVERIFY(m_browser.urls.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_browser.urls.size(), 1, 20000);
        QCOMPARE(m_browser.urls.first().path(), browserPath);
        QVERIFY(m_server->requestsTo(browserPath.mid(1).toLatin1()).isEmpty());
        QCOMPARE(m_view->url().path(), viewPath);
    }
    // The flag follows every clicked link, whatever became of it.
    if (block < 4)
        QCOMPARE(g_subSystemLogin, subSystemLogin);
}

// What reaches the desktop browser without a click of the user's, or with two in a row.
void TstWebView::handOffs_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("action"); // "script" clicks the link itself, "double-click"
    QTest::addColumn<int>("opened");
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        // Before: a page's script opened the desktop browser ten times in three seconds.
        QTest::addRow("%s-script-clicks", engine) << engine << "script" << 0;
        QTest::addRow("%s-double-click", engine) << engine << "double-click" << 1;
    }
}

void TstWebView::handOffs()
{
    QFETCH(QString, engine);
    QFETCH(QString, action);
    QFETCH(int, opened);
    m_server->route("orvane/clicker",
                    TestResponse::withStatus(
                        200,
                        R"(<html><body style="margin:0"><a id="n" href="/upload/notice/plan.pdf"
style="display:block;height:40px">notice</a><script>if (location.hash == "#script")
setTimeout(function () { for (var i = 0; i < 3; ++i) document.getElementById("n").click();
document.title = "clicked"; }, 1200);</script></body></html>)",
                        "text/html;charset=utf-8"));
    QVERIFY(createView(engine));
    m_view->setNavigationHook(&WebNavigation::handle);
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QSignalSpy titles(m_view.get(), &WebView::titleChanged);
    QVERIFY(load(QStringLiteral("orvane/clicker#") + action));
    if (action == QLatin1String("script")) {
        QTRY_VERIFY_WITH_TIMEOUT(!titles.isEmpty() && titles.last().first() == "clicked", 20000);
    } else {
        click(0);
        click(0);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser.urls.size(), 1, 20000);
        QTest::qWait(500);
    }
    QCOMPARE(m_browser.urls.size(), opened);
    QCOMPARE(m_view->url().path(), QStringLiteral("/orvane/clicker"));
}

void TstWebView::downloads_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("name");     // the name the view proposes
    QTest::addColumn<QByteArray>("bytes"); // what the file holds; empty: no file at all
    QTest::addColumn<QString>("ending");   // "done", "cancelled" or "failed"
    // What the main window does when asked: "start" at once, "start-late" after a while as
    // if a dialog were open (the download may end meanwhile), or "cancel" without starting.
    QTest::addColumn<QString>("choice");

    const QByteArray report = QByteArray(300000, 'r') + QByteArray("\0end", 4);
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name) {
            return &(QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine));
        };
        // Before: the page replaced by an error, or nothing at all, and no file.
        *row("attachment") << 0 << QStringLiteral("成绩单.xlsx") << report << "done"
                           << "start";
        *row("unknown-type") << 1 << "data.bin" << QByteArray("\x01\x02binary") << "done"
                             << "start";
        *row("blob") << 2 << "made.csv" << QByteArray("made,here\n1,2\n") << "done"
                     << "start";
        *row("data-url") << 3 << "scores.csv" << QByteArray("score\n99\n") << "done"
                         << "start";
        // Nothing of it is left, not even the partial file.
        *row("cancelled") << 4 << "slow" << QByteArray() << "cancelled"
                          << "start";
        *row("failed") << 5 << "broken" << QByteArray() << "failed"
                       << "start";
        // Before: the row said "正在下载" for ever and the partial file stayed.
        *row("failed-while-the-dialog-is-open") << 5 << "broken" << QByteArray() << "failed"
                                                << "start-late";
        *row("done-while-the-dialog-is-open")
            << 1 << "data.bin" << QByteArray("\x01\x02binary") << "done"
            << "start-late";
        // Before: QtWebEngine then removed a file ".part" of the working folder.
        *row("not-started") << 0 << QStringLiteral("成绩单.xlsx") << QByteArray() << "cancelled"
                            << "cancel";
    }
}

void TstWebView::downloads()
{
    QFETCH(QString, engine);
    QFETCH(int, block);
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, ending);
    QFETCH(QString, choice);
    QVERIFY(TestSupport::writeFile(QDir::current().filePath(".part"), "someone's"));

    TestResponse attachment = TestResponse::withStatus(200, bytes, "application/vnd.ms-excel");
    attachment.headers.append(qMakePair<QByteArray, QByteArray>(
        "Content-Disposition",
        "attachment; filename=\"report.xlsx\"; filename*=UTF-8''%E6%88%90%E7%BB%A9%E5%8D%95.xlsx"));
    m_server->route("files/report", attachment);
    m_server->route("files/data.bin",
                    TestResponse::withStatus(200, "\x01\x02binary", "application/octet-stream"));
    TestResponse slow = TestResponse::withStatus(200, QByteArray(4000, 's'), "application/zip");
    slow.mode = TestResponse::Mode::Trickle;
    m_server->route("files/slow", slow);
    TestResponse broken = TestResponse::withStatus(200, QByteArray(4000, 'b'), "application/zip");
    broken.mode = TestResponse::Mode::CloseMidBody;
    m_server->route("files/broken", broken);
    m_server->route("orvane/files",
                    TestResponse::withStatus(200, Files, "text/html;charset=utf-8"));

    QVERIFY(createView(engine));
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QVERIFY(load(QStringLiteral("orvane/files")));
    // Kept where the main window would keep it, chosen while the view waits, as a dialog does.
    const QString file = m_storage.filePath(
        QStringLiteral("saved-%1-%2").arg(QLatin1String(QTest::currentDataTag()), name));
    QPointer<WebDownload> download;
    QString suggested;
    std::unique_ptr<QSignalSpy> progress;
    std::unique_ptr<QSignalSpy> finished;
    connect(m_view.get(), &WebView::downloadRequested, this, [&](WebDownload *requested) {
        download = requested;
        suggested = requested->suggestedFileName();
        progress = std::make_unique<QSignalSpy>(requested, &WebDownload::progress);
        finished = std::make_unique<QSignalSpy>(requested, &WebDownload::finished);
        if (choice == QLatin1String("cancel"))
            return requested->cancel();
        if (choice == QLatin1String("start-late"))
            (void)QTest::qWaitFor([&] { return requested->hasEnded(); }, 1500);
        requested->start(file);
    });
    click(block);
    QTRY_VERIFY_WITH_TIMEOUT(!suggested.isEmpty(), 20000);
    QCOMPARE(suggested, name);
    if (ending == QLatin1String("cancelled") && choice == QLatin1String("start")) {
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isEmpty(), 20000);
        download->cancel();
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished->size(), 1, 20000);
    QCOMPARE(finished->first().at(0).toBool(), ending == QLatin1String("done"));
    QCOMPARE(finished->first().at(1).toString().isEmpty(), ending != QLatin1String("failed"));
    if (download)
        QCOMPARE(download->state() == WebDownload::State::Done, ending == QLatin1String("done"));
    QCOMPARE(QFile(file).exists(), !bytes.isEmpty());
    QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
    QVERIFY(
        QDir(m_storage.filePath("home/Downloads")).entryList({"*.part*"}, QDir::Files).isEmpty());
    QCOMPARE(TestSupport::readFile(QDir::current().filePath(".part")), QByteArray("someone's"));
    if (!bytes.isEmpty()) {
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), bytes);
    }
    // The page stays; the view has not left it for an error.
    QCOMPARE(m_view->url().path(), QStringLiteral("/orvane/files"));
    // A row made after the end shows it. Before: one made too late said "正在下载" for ever.
    if (download) {
        DownloadRow row(download);
        const QString status = row.findChild<QLabel *>("lbStatus")->text();
        QVERIFY2(status.startsWith(ending == QLatin1String("done")            ? "已完成"
                                       : ending == QLatin1String("cancelled") ? "已取消"
                                                                              : "下载失败"),
                 qPrintable(status));
    }
}

void TstWebView::failures_data()
{
    QTest::addColumn<QString>("engine");
    // Steps, by ";": "serve PATH ok|reset|silent|slow|attachment" (what the server does for
    // it from now on), "load PATH", "page PATH" (the view shows it, no failure page), "failed
    // TITLE" (the failure page tells it), "failures N" (told so far), "requests PATH N" (the
    // server has seen it N times), "most PATH N" (at most N times), "wait MS".
    QTest::addColumn<QString>("story");
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name, const char *story) {
            QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine) << story;
        };
        // Before: the retry loaded about:blank, which then hid the failure page for good.
        row("first-page-fails",
            "serve a reset; load a; failed 无法连接到平台; most a 6; serve a ok; page a;"
            "failures 1");
        // Before: the failure told twice, and the retry loaded the page before it.
        row("time-out-then-retry",
            "serve a ok; load a; page a; serve b silent; load b;"
            "failed 平台没有及时响应; failures 1; serve b ok; page b;"
            "failures 1");
        // Before: the countdown went on, and the page the teacher had moved to was left again.
        row("outage-then-moving-on",
            "serve a ok; load a; page a; serve b reset; load b;"
            "failed 无法连接到平台; load a; page a; wait 2500; page a;"
            "failures 1");
        // Before: the page before the click came back, and an old countdown jumped back later.
        row("outage-then-click-then-recovery",
            "serve a ok; load a; page a; serve b reset; serve c reset; load b;"
            "failed 无法连接到平台; load c; failed 无法连接到平台; serve b ok; serve c ok; page c;"
            "wait 2500; page c; failures 2");
        // Before: the first load, cut short by the second, counted as failed and was retried.
        row("two-navigations-1ms-apart",
            "serve a ok; load a; page a; serve b slow; load b; load b; page b; wait 2500;"
            "failures 0; most b 2");
        row("refused-by-the-rules",
            "serve a ok; load a; page a; load foreign; wait 2500; page a;"
            "failures 0");
        // Before: QtWebKit showed the failure without its reason.
        row("certificate", "load https; failed 无法验证服务器 127.0.0.1 的证书; failures 1");
        // Before: QtWebEngine took the link that became a download for a failed page.
        row("attachment-is-no-failure",
            "serve a ok; load a; page a; serve f attachment; load f;"
            "wait 2500; page a; failures 0; requests a 1");
    }
}

void TstWebView::failures()
{
    QFETCH(QString, engine);
    QFETCH(QString, story);

    WebView::Settings settings;
    settings.storagePath = m_storage.filePath(engine);
    BrowserPane::Options options;
    options.loadTimeoutMs = 1500;
    BrowserPane pane(engine, settings, options);
    QVERIFY(pane.view());
    pane.resize(400, 300);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    auto *failurePage = pane.findChild<FailurePanel *>();
    failuresTold.clear();
    int told = 0;

    // A platform served with a certificate that cannot be verified.
    DemoService https;
    if (story.contains(QLatin1String("https"))) {
        QVERIFY2(https.start({QStringLiteral("--https")}), qPrintable(https.error()));
        g_baseUrl = https.baseUrl();
    }
    const auto url = [&](const QString &path) {
        if (path == QLatin1String("https"))
            return QUrl(https.baseUrl() + QStringLiteral("orvane/login"));
        return path == QLatin1String("foreign")
            ? QUrl(QStringLiteral("http://localhost:%1/foreign").arg(m_server->port()))
            : QUrl(g_baseUrl + QStringLiteral("orvane/") + path);
    };
    for (const QString &step : story.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        const QString &verb = words.at(0);
        const QString path = words.value(1);
        if (verb == QLatin1String("serve")) {
            const QString mode = words.at(2);
            TestResponse response = TestResponse::withStatus(
                200, "<html><body>" + path.toUtf8() + "</body></html>", "text/html");
            if (mode == QLatin1String("reset"))
                response.mode = TestResponse::Mode::Reset;
            else if (mode == QLatin1String("silent"))
                response.mode = TestResponse::Mode::NeverAnswer;
            else if (mode == QLatin1String("slow"))
                response.delayMs = 300;
            if (mode == QLatin1String("attachment"))
                response = TestResponse::withStatus(200, "bytes", "application/octet-stream"),
                response.headers.append(qMakePair<QByteArray, QByteArray>(
                    "Content-Disposition", "attachment; filename=\"f.bin\""));
            m_server->route("orvane/" + path.toUtf8(), response);
        } else if (verb == QLatin1String("load")) {
            pane.load(url(path));
        } else if (verb == QLatin1String("page")) {
            QTRY_COMPARE_WITH_TIMEOUT(pane.view()->url(), url(path), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(pane.view()->isVisible() && !failurePage->isVisible(), 20000);
        } else if (verb == QLatin1String("failed")) {
            QTRY_VERIFY_WITH_TIMEOUT(failuresTold.size() > told, 20000);
            QCOMPARE(failuresTold.at(told++), path);
            QVERIFY(failurePage->isVisible());
        } else if (verb == QLatin1String("failures")) {
            QCOMPARE(failuresTold.size(), path.toInt());
        } else if (verb == QLatin1String("requests")) {
            QTRY_COMPARE(m_server->requestsTo("orvane/" + path.toUtf8()).size(),
                         words.at(2).toInt());
        } else if (verb == QLatin1String("most")) {
            QVERIFY(m_server->requestsTo("orvane/" + path.toUtf8()).size() <= words.at(2).toInt());
        } else if (verb == QLatin1String("wait")) {
            QTest::qWait(path.toInt());
        } else {
            QFAIL(qPrintable(QStringLiteral("no such step: ") + step));
        }
    }
}

// The cookies QtWebKit keeps from one run to the next are exactly those the pages left: the
// jar is ours there (QtWebEngine keeps its own).
void TstWebView::cookies_data()
{
    QTest::addColumn<QByteArrayList>("setCookies"); // Set-Cookie of the first page, then the second
    QTest::addColumn<QByteArray>("sentNextRun");    // the Cookie header of the next run
    const QByteArray later = "; Expires=Wed, 01 Jan 2098 00:00:00 GMT; Path=/";
    const QByteArray past = "; Expires=Thu, 01 Jan 1970 00:00:00 GMT; Path=/";
    QTest::newRow("inserted") << QByteArrayList{"a=1" + later, ""} << QByteArray("a=1");
    // Before: written through the link, into whatever it pointed at.
    QTest::newRow("file-was-a-link") << QByteArrayList{"a=1" + later, ""} << QByteArray("a=1");
    QTest::newRow("updated") << QByteArrayList{"a=1" + later, "a=2" + later} << QByteArray("a=2");
    // Before: the platform's logout deleted it, and it came back at the next start.
    QTest::newRow("deleted") << QByteArrayList{"a=1" + later, "a=gone" + past} << QByteArray();
    QTest::newRow("session-only") << QByteArrayList{"s=1; Path=/", ""} << QByteArray();
    QByteArrayList many;
    for (int i = 0; i < 200; ++i)
        many << "c" + QByteArray::number(i) + "=" + QByteArray::number(i) + later;
    // As a browser: at most so many a host, the oldest gone first.
    QTest::newRow("bounded") << QByteArrayList{many.join('\n'), ""} << QByteArray("c199=199");
}

void TstWebView::cookies()
{
    QFETCH(QByteArrayList, setCookies);
    QFETCH(QByteArray, sentNextRun);
    if (!TestSupport::hasWebKit())
        QSKIP(TestSupport::NoWebKit);
    QTemporaryDir storage;
    const QString target = storage.filePath("elsewhere");
    const bool linked = QTest::currentDataTag() == QByteArray("file-was-a-link");
    if (linked)
        QVERIFY(TestSupport::writeFile(target, "theirs")
                && QFile::link(target, storage.filePath("cookies")));
    for (int page = 0; page < setCookies.size(); ++page) {
        TestResponse response = TestResponse::withStatus(200, "<p>set</p>", "text/html");
        for (const QByteArray &cookie : setCookies.at(page).split('\n')) {
            if (!cookie.isEmpty())
                response.headers.append(qMakePair(QByteArray("Set-Cookie"), cookie));
        }
        m_server->route("orvane/set" + QByteArray::number(page), response);
    }
    m_server->route("orvane/check", TestResponse::withStatus(200, "<p>check</p>", "text/html"));
    for (int run = 0; run < 2; ++run) {
        WebView::Settings settings;
        settings.storagePath = storage.path();
        QString problem;
        m_view.reset(WebEngines::create(WebEngines::WebKit, settings, nullptr, &problem));
        QVERIFY2(m_view, qPrintable(problem));
        for (int page = 0; run == 0 && page < setCookies.size(); ++page) {
            QVERIFY(load(QStringLiteral("orvane/set%1").arg(page)));
            // The next page's change must be saved on its own, not ride on this page's save.
            const QByteArray first = setCookies.at(page).split(';').first();
            if (page + 1 < setCookies.size() && !setCookies.at(page + 1).isEmpty())
                QTRY_VERIFY(TestSupport::readFile(storage.filePath("cookies")).contains(first));
        }
        m_view.reset();
    }
    WebView::Settings settings;
    settings.storagePath = storage.path();
    QString problem;
    m_view.reset(WebEngines::create(WebEngines::WebKit, settings, nullptr, &problem));
    QVERIFY(load(QStringLiteral("orvane/check")));
    const QByteArray sent = m_server->requestsTo("orvane/check").last().header("cookie");
    // The file holds what is sent, and nothing else.
    QSet<QByteArray> kept;
    for (const QByteArray &line : TestSupport::readFile(storage.filePath("cookies")).split('\n')) {
        if (!line.isEmpty())
            kept.insert(line.left(line.indexOf(';')));
    }
    const QList<QByteArray> sentList = sent.isEmpty() ? QList<QByteArray>() : sent.split(';');
    QSet<QByteArray> sentSet;
    for (const QByteArray &cookie : sentList)
        sentSet.insert(cookie.trimmed());
    QCOMPARE(kept, sentSet);
    QCOMPARE(QFileInfo(storage.filePath("cookies")).isSymLink(), false);
    if (linked)
        QCOMPARE(TestSupport::readFile(target), QByteArray("theirs"));
    if (QTest::currentDataTag() == QByteArray("bounded")) {
        QCOMPARE(sent.count(';') + 1, 180);
        QVERIFY(sent.contains(sentNextRun) && !sent.contains("c19=19;") && sent.contains("c20=20"));
    } else {
        QCOMPARE(sent, sentNextRun);
    }
}

void TstWebView::wheelZoom_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QList<int>>("deltas"); // of the wheel, with Ctrl held
    QTest::addColumn<QList<int>>("steps");  // of zoom, as asked for
    QTest::addColumn<QString>("shown");     // over the page for a moment
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name) {
            return &(QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine));
        };
        *row("notch") << QList<int>{120} << QList<int>{1} << "110%";
        *row("two-notches-out") << QList<int>{-240} << QList<int>{-2} << "80%";
        // Before: each part of a touchpad's notch was less than a step, and none zoomed.
        *row("touchpad") << QList<int>{30, 30, 30, 30, 30} << QList<int>{1} << "110%";
        *row("touchpad-turning-back") << QList<int>{90, -60, -60, -60} << QList<int>{-1} << "90%";
    }
}

void TstWebView::wheelZoom()
{
    QFETCH(QString, engine);
    QFETCH(QList<int>, deltas);
    QFETCH(QList<int>, steps);
    QFETCH(QString, shown);
    BrowserPane *pane = showPane(engine);
    QVERIFY(pane && load(QStringLiteral("orvane/index"), pane->view()));
    QWidget *target = pane->view();
    while (target->focusProxy())
        target = target->focusProxy();
    QSignalSpy zoom(pane->view(), &WebView::zoomRequested);
    ulong time = 1000;
    for (int delta : deltas) {
        const QPointF at(150, 150);
        QWheelEvent wheel(at, target->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        wheel.setTimestamp(time += 10);
        QApplication::sendEvent(target, &wheel);
    }
    QList<int> asked;
    for (const QList<QVariant> &signal : zoom)
        asked << signal.first().toInt();
    QCOMPARE(asked, steps);
    const auto *level = pane->findChild<QLabel *>(QStringLiteral("zoomLevel"));
    QVERIFY(level->isVisible());
    QCOMPARE(level->text(), shown);
    QTRY_VERIFY_WITH_TIMEOUT(!level->isVisible(), 3000);
}

// What a page asks of the user: its script's dialogs, and an editable field's context menu,
// each row on a page titled "课表" with "def" of the field's "abc def" selected.
void TstWebView::pageAsks_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("script"); // of the page, once loaded
    // Context menu entries chosen in turn, on the field ("!entry": shown disabled); "leave":
    // a click in the page, then another page loaded.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("dialog"); // its title; empty: none shown (any shown is accepted)
    QTest::addColumn<QString>("then");   // the page's title in the end
    const QByteArray field = "mirror()"; // the title shows "value|selectionStart-selectionEnd"
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name) {
            return &(QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine));
        };
        // Before: QtWebEngine's "JavaScript Alert - 127.0.0.1".
        *row("alert-untitled") << QByteArray("document.title = ''; alert('已保存');"
                                             "document.title = 'done'")
                               << QStringList() << "智慧校园公共云平台"
                               << "done";
        *row("confirm") << QByteArray("document.title = confirm('删除？') ? 'yes' : 'no'")
                        << QStringList() << "课表"
                        << "yes";
        *row("prompt") << QByteArray("document.title = prompt('姓名', '张三')") << QStringList()
                       << "课表"
                       << "张三";
        *row("leaving-unsaved-input") << QByteArray(
            "onbeforeunload = function (e) { e.returnValue = '有未保存的内容';"
            "return '有未保存的内容'; }; onclick = function () { document.title = '已修改'; }")
                                      << QStringList{"leave"} << "已修改"
                                      << "left";
        *row("foreign-frame") << QByteArray("onmessage = function (e) { document.title = e.data; };"
                                            "document.body.innerHTML = '<iframe src=\"http://'"
                                            "+ 'localhost:' + location.port + '/orvane/frame\">'")
                              << QStringList() << ""
                              << "done";
        // Before: back, forward, reload and copy, and nothing to edit with.
        *row("copy-then-paste") << field << QStringList{"复制", "粘贴"} << ""
                                << "abc def|7-7";
        *row("delete") << field << QStringList{"删除"} << ""
                       << "abc |4-4";
        *row("cut-undo-redo") << field << QStringList{"剪切", "撤销", "重做"} << ""
                              << "abc |4-4";
        *row("select-all") << field << QStringList{"全选"} << ""
                           << "abc def|0-7";
        *row("nothing-to-undo") << field << QStringList{"!撤销", "!重做"} << ""
                                << "abc def|4-7";
    }
}

void TstWebView::pageAsks()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, script);
    QFETCH(QStringList, steps);
    QFETCH(QString, dialog);
    QFETCH(QString, then);
    const auto page = [](const QByteArray &body) {
        return TestResponse::withStatus(200, body, "text/html;charset=utf-8");
    };
    m_server->route("orvane/asks", page(R"html(<html><head><title>课表</title></head>
<body style="margin:0"><input id="f" value="abc def" onmousedown="event.preventDefault()"
style="position:absolute;left:0;top:0;width:300px;height:40px;margin:0"><script>
var f = document.getElementById('f'); f.focus(); f.setSelectionRange(4, 7);
function mirror() { setInterval(function () {
    document.title = f.value + '|' + f.selectionStart + '-' + f.selectionEnd; }, 50); }

)html" + script + "</script></body></html>"));
    m_server->route("orvane/frame",
                    page("<script>alert('钓鱼'); parent.postMessage('done', '*')</script>"));
    m_server->route("orvane/left", page("<title>left</title>"));
    BrowserPane *pane = showPane(engine);
    QVERIFY(pane);
    QString shown;
    QStringList texts;
    if (!dialog.isEmpty() || steps.isEmpty())
        whenShown(pane, [&](QWidget *window) {
            shown = window->windowTitle();
            for (const QLabel *label : window->findChildren<QLabel *>())
                texts << label->text();
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                texts << button->text();
            QTest::keyClick(window, Qt::Key_Return);
        });
    // The rules keep a foreign frame out before it could ask anything; past them it still cannot.
    if (script.contains("iframe"))
        pane->view()->setNavigationHook({});
    QVERIFY(load(QStringLiteral("orvane/asks"), pane->view()));
    for (const QString &step : steps) {
        if (step == QLatin1String("leave")) {
            // Chromium asks only once the user has done something in the page.
            QTRY_VERIFY(
                (click(3, pane->view()), pane->view()->title() == QStringLiteral("已修改")));
            pane->load(QUrl(g_baseUrl + QStringLiteral("orvane/left")));
            continue;
        }
        QTRY_VERIFY(pane->view()->title().contains(QLatin1Char('|')));
        const bool disabled = step.startsWith(QLatin1Char('!'));
        int found = -1; // enabled (1) or not (0)
        whenShown(pane, [&](QWidget *shown) {
            auto *menu = qobject_cast<QMenu *>(shown);
            for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
                if (action->text() == step.mid(disabled ? 1 : 0)) {
                    found = action->isEnabled();
                    menu->setActiveAction(action);
                }
            }
            QTest::keyClick(shown, found == 1 ? Qt::Key_Return : Qt::Key_Escape);
        });
        QTest::mouseClick(pane->windowHandle(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
        QTRY_VERIFY_WITH_TIMEOUT(found >= 0, 20000);
        QCOMPARE(found, disabled ? 0 : 1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(pane->view()->title(), then, 20000);
    QCOMPARE(shown, dialog);
    QVERIFY2(!texts.join('|').contains(QRegularExpression("[A-Za-z]")),
             qPrintable(texts.join('|')));
}

void TstWebView::foreignEngineRefused_data()
{
    QTest::addColumn<QString>("library"); // put beside the program as QtWebKit's engine
    // Before: any library of that name was loaded and its function called.
    QTest::newRow("a-plugin-of-another-kind")
        << QtPaths::path(QLibraryInfo::PluginsPath) + "/imageformats/libqgif.so";
    QTest::newRow("no-plugin-at-all") << "/usr/lib/x86_64-linux-gnu/libz.so.1";
}

void TstWebView::foreignEngineRefused()
{
    QFETCH(QString, library);
    const QString beside =
        QCoreApplication::applicationDirPath() + QStringLiteral("/liborvane-webkit.so");
    QVERIFY(QFile::copy(library, beside));
    const std::unique_ptr<QFile, void (*)(QFile *)> removed(new QFile(beside), [](QFile *file) {
        file->remove();
        delete file;
    });
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("web engine \"webkit\" cannot be used: .*"
                                            "liborvane-webkit.so.*"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cannot be used, showing the platform"));
    QVERIFY(createView(WebEngines::WebKit));
    QCOMPARE(m_view->metaObject()->className(), "WebEngineView");
    // The window says so.
    m_view.reset();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("web engine \"webkit\" cannot be used"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cannot be used, showing the platform"));
    WebView::Settings settings;
    settings.storagePath = m_storage.filePath(QStringLiteral("webengine"));
    BrowserPane pane(WebEngines::WebKit, settings, BrowserPane::Options());
    QVERIFY(pane.findChild<QLabel *>("engineNotice"));
}

void TstWebView::sessionEnds_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("webkit") << QString::fromLatin1(WebEngines::WebKit);
    QTest::newRow("webengine") << QString::fromLatin1(WebEngines::WebEngine);
}
void TstWebView::sessionEnds()
{
    QFETCH(QString, engine);
    TestResponse start = TestResponse::withStatus(
        200, "<html><body><h1>课表</h1><button>签到</button></body></html>",
        "text/html;charset=utf-8");
    start.headers.append(qMakePair<QByteArray, QByteArray>("Set-Cookie", "session=s1; Path=/"));
    start.headers.append(qMakePair<QByteArray, QByteArray>(
        "Set-Cookie", "kept=k1; Path=/; Expires=Wed, 01 Jan 2098 00:00:00 GMT"));
    m_server->route("orvane/main", start);
    QVERIFY(createView(engine));
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QVERIFY(load(QStringLiteral("orvane/main")));
    QVERIFY(load(QStringLiteral("orvane/plain")));
    const QByteArray cookies = m_server->requestsTo("orvane/plain").last().header("cookie");
    QVERIFY2(cookies.contains("session=s1") && cookies.contains("kept=k1"), cookies);
    m_view->clearCookies();
    QTRY_VERIFY(load(QStringLiteral("orvane/plain"))
                && m_server->requestsTo("orvane/plain").last().header("cookie").isEmpty());
}

QTEST_MAIN(TstWebView)
#include "tst_webview.moc"
