// SPDX-License-Identifier: MIT
#include "common/globals.h"
#include "main/webpage.h"
#include "tests/support/testhttpserver.h"

#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>

// Catches what the page hands to the desktop browser.
class BrowserCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TstWebPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clickedLinks_data();
    void clickedLinks();
    void formToAttendanceExportLeaves();
    void scriptNavigationIsNotIntercepted();

private:
    bool loadIndex();
    void click(const QString &selector);

    BrowserCatcher m_browser;
    TestHttpServer *m_server = nullptr;
    QWebView *m_view = nullptr;
    WebPage *m_page = nullptr;
};

void TstWebPage::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "open");
}

void TstWebPage::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    g_baseUrl = m_server->baseUrl();
    g_subSystemLogin = false;
    m_browser.urls.clear();

    const QByteArray html = R"(<html><body style="margin:0">
<a id="notice" href="/upload/notice/plan.pdf" style="display:block;height:40px">notice</a>
<a id="blank" href="/orvane/classroom" target="_blank" style="display:block;height:40px">classroom</a>
<a id="dede" href="/dedeLogin?to=exam" style="display:block;height:40px">exam</a>
<a id="plain" href="/orvane/plain" style="display:block;height:40px">plain</a>
<form id="attendance" action="/orvane/classAttendanceListExport" method="post">
  <input id="go" type="submit" value="export" style="display:block;height:40px;width:200px"></form>
</body></html>)";
    const auto page = [](const QByteArray &body) {
        return TestResponse::withStatus(200, body, "text/html;charset=utf-8");
    };
    m_server->route("orvane/index", page(html));
    m_server->route("orvane/classroom", page("<html><body>classroom</body></html>"));
    m_server->route("dedeLogin", page("<html><body>exam</body></html>"));
    m_server->route("orvane/plain", page("<html><body>plain</body></html>"));

    m_view = new QWebView;
    m_page = new WebPage;
    m_view->setPage(m_page);
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TstWebPage::cleanup()
{
    delete m_view;
    delete m_page;
    delete m_server;
    m_server = nullptr;
}

bool TstWebPage::loadIndex()
{
    QSignalSpy loaded(m_view, &QWebView::loadFinished);
    m_view->load(QUrl(g_baseUrl + QStringLiteral("orvane/index")));
    return loaded.wait(10000) && loaded.first().first().toBool();
}

void TstWebPage::click(const QString &selector)
{
    const QWebElement element = m_page->mainFrame()->findFirstElement(selector);
    QVERIFY2(!element.isNull(), qPrintable(selector));
    QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, element.geometry().center());
}

void TstWebPage::clickedLinks_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("browserPath"); // empty: loads in the view
    QTest::addColumn<QString>("viewPath");
    QTest::addColumn<bool>("subSystemLogin");

    QTest::newRow("notice-goes-to-browser") << "#notice"
                                            << "/upload/notice/plan.pdf"
                                            << "/orvane/index" << false;
    QTest::newRow("new-window-stays-in-view")
        << "#blank" << QString() << "/orvane/classroom" << false;
    QTest::newRow("subsystem-login-link") << "#dede" << QString() << "/dedeLogin" << true;
}

void TstWebPage::clickedLinks()
{
    QFETCH(QString, selector);
    QFETCH(QString, browserPath);
    QFETCH(QString, viewPath);
    QFETCH(bool, subSystemLogin);

    QVERIFY(loadIndex());
    g_subSystemLogin = !subSystemLogin;
    QSignalSpy loaded(m_view, &QWebView::loadFinished);
    click(selector);

    if (browserPath.isEmpty()) {
        QVERIFY(loaded.wait(10000));
        QVERIFY(m_browser.urls.isEmpty());
    } else {
        QTRY_COMPARE(m_browser.urls.size(), 1);
        QCOMPARE(m_browser.urls.first().path(), browserPath);
        QVERIFY(m_server->requestsTo(browserPath.mid(1).toLatin1()).isEmpty());
    }
    QCOMPARE(m_view->url().path(), viewPath);
    QCOMPARE(g_subSystemLogin, subSystemLogin);

    // The flag follows every clicked link: an ordinary one clears it again.
    if (viewPath != QLatin1String("/orvane/index"))
        QVERIFY(loadIndex());
    QSignalSpy plainLoaded(m_view, &QWebView::loadFinished);
    click(QStringLiteral("#plain"));
    QVERIFY(plainLoaded.wait(10000));
    QVERIFY(!g_subSystemLogin);
}

void TstWebPage::formToAttendanceExportLeaves()
{
    QVERIFY(loadIndex());
    click(QStringLiteral("#go"));
    QTRY_COMPARE(m_browser.urls.size(), 1);
    QCOMPARE(m_browser.urls.first().path(), QStringLiteral("/orvane/classAttendanceListExport"));
    QCOMPARE(m_view->url().path(), QStringLiteral("/orvane/index"));
}

void TstWebPage::scriptNavigationIsNotIntercepted()
{
    m_server->route("upload/notice/plan.pdf",
                    TestResponse::withStatus(200, "<html><body>pdf</body></html>", "text/html"));
    QVERIFY(loadIndex());
    QSignalSpy loaded(m_view, &QWebView::loadFinished);
    m_page->mainFrame()->evaluateJavaScript(
        QStringLiteral("location.href='/upload/notice/plan.pdf'"));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(m_view->url().path(), QStringLiteral("/upload/notice/plan.pdf"));
    QVERIFY(m_browser.urls.isEmpty());
}

QTEST_MAIN(TstWebPage)
#include "tst_webpage.moc"
