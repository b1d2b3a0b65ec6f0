// SPDX-License-Identifier: MIT
// The navigation rules as both web engines apply them: real clicks on real pages from a test
// server, each row run once per engine.
#include "common/globals.h"
#include "main/webdownload.h"
#include "main/webengines.h"
#include "main/webnavigation.h"
#include "tests/support/browsercatcher.h"
#include "tests/support/testhttpserver.h"

#include <QAccessible>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
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

} // namespace

class TstWebView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clicks_data();
    void clicks();
    void downloads_data();
    void downloads();
    void sessionEnds_data();
    void sessionEnds();

private:
    WebView *createView(const QString &engine);
    bool load(const QString &path);
    void click(int block);

    QTemporaryDir m_storage;
    BrowserCatcher m_browser;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<WebView> m_view;
};

void TstWebView::initTestCase()
{
    QVERIFY(m_storage.isValid());
}

void TstWebView::init()
{
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
    m_server.reset();
}

WebView *TstWebView::createView(const QString &engine)
{
    WebView::Settings settings;
    settings.storagePath = m_storage.filePath(engine);
    QString problem;
    m_view.reset(WebEngines::create(engine, settings, nullptr, &problem));
    if (!m_view)
        qWarning("%s", qPrintable(problem));
    return m_view.get();
}

bool TstWebView::load(const QString &path)
{
    QSignalSpy loaded(m_view.get(), &WebView::loadFinished);
    m_view->load(QUrl(g_baseUrl + path));
    return loaded.wait(20000) && loaded.last().first().toBool();
}

// A click in the middle of the block-th block, where the engine takes its mouse events.
void TstWebView::click(int block)
{
    QWidget *target = m_view.get();
    while (target->focusProxy())
        target = target->focusProxy();
    const QPoint point(150, 40 * block + 20);
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

void TstWebView::downloads_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("name");     // the name the view proposes
    QTest::addColumn<QByteArray>("bytes"); // what the file holds; empty: no file at all
    QTest::addColumn<QString>("ending");   // "done", "cancelled" or "failed"

    const QByteArray report = QByteArray(300000, 'r') + QByteArray("\0end", 4);
    for (const char *engine : {WebEngines::WebKit, WebEngines::WebEngine}) {
        const auto row = [engine](const char *name) {
            return &(QTest::addRow("%s-%s", engine, name) << QString::fromLatin1(engine));
        };
        // Before: the page replaced by an error, or nothing at all, and no file.
        *row("attachment") << 0 << QStringLiteral("成绩单.xlsx") << report << "done";
        *row("unknown-type") << 1 << "data.bin" << QByteArray("\x01\x02binary") << "done";
        *row("blob") << 2 << "made.csv" << QByteArray("made,here\n1,2\n") << "done";
        *row("data-url") << 3 << "scores.csv" << QByteArray("score\n99\n") << "done";
        // Nothing of it is left, not even the partial file.
        *row("cancelled") << 4 << "slow" << QByteArray() << "cancelled";
        *row("failed") << 5 << "broken" << QByteArray() << "failed";
    }
}

void TstWebView::downloads()
{
    QFETCH(QString, engine);
    QFETCH(int, block);
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, ending);

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
    const QString file = m_storage.filePath(QStringLiteral("saved-") + name);
    QPointer<WebDownload> download;
    std::unique_ptr<QSignalSpy> progress;
    std::unique_ptr<QSignalSpy> finished;
    connect(m_view.get(), &WebView::downloadRequested, this, [&](WebDownload *requested) {
        download = requested;
        progress = std::make_unique<QSignalSpy>(requested, &WebDownload::progress);
        finished = std::make_unique<QSignalSpy>(requested, &WebDownload::finished);
        requested->start(file);
    });
    click(block);
    QTRY_VERIFY_WITH_TIMEOUT(download, 20000);
    QCOMPARE(download->suggestedFileName(), name);
    if (ending == QLatin1String("cancelled")) {
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isEmpty(), 20000);
        download->cancel();
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished->size(), 1, 20000);
    QCOMPARE(finished->first().at(0).toBool(), ending == QLatin1String("done"));
    QCOMPARE(finished->first().at(1).toString().isEmpty(), ending != QLatin1String("failed"));
    QCOMPARE(QFile(file).exists(), !bytes.isEmpty());
    QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
    if (!bytes.isEmpty()) {
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), bytes);
    }
    // The page stays; the view has not left it for an error.
    QCOMPARE(m_view->url().path(), QStringLiteral("/orvane/files"));
}

void TstWebView::sessionEnds_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<bool>("pageTree"); // the page's own accessibility tree reaches Qt's
    QTest::newRow("webkit") << QString::fromLatin1(WebEngines::WebKit) << false;
    QTest::newRow("webengine") << QString::fromLatin1(WebEngines::WebEngine) << true;
}

// Both engines forget the session's cookies, the kept ones too; a screen reader reads the page.
void TstWebView::sessionEnds()
{
    QFETCH(QString, engine);
    QFETCH(bool, pageTree);
    TestResponse start = TestResponse::withStatus(
        200, "<html><body><h1>课表</h1><button>签到</button></body></html>",
        "text/html;charset=utf-8");
    start.headers.append(qMakePair<QByteArray, QByteArray>("Set-Cookie", "session=s1; Path=/"));
    start.headers.append(qMakePair<QByteArray, QByteArray>(
        "Set-Cookie", "kept=k1; Path=/; Expires=Wed, 01 Jan 2098 00:00:00 GMT"));
    m_server->route("orvane/main", start);
    QAccessible::setActive(true);
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

    if (!pageTree)
        return;
    QVERIFY(load(QStringLiteral("orvane/main")));
    QStringList names;
    const std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    QWidget *inner = m_view.get();
    while (inner->focusProxy())
        inner = inner->focusProxy();
    // Before: an empty document, whatever the page showed.
    QTRY_VERIFY_WITH_TIMEOUT((names.clear(), walk(QAccessible::queryAccessibleInterface(inner)),
                              names.contains(QStringLiteral("签到"))),
                             20000);
}

QTEST_MAIN(TstWebView)
#include "tst_webview.moc"
