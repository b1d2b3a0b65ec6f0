// SPDX-License-Identifier: MIT
#include "app/globals.h"
#include "net/chttp.h"
#include "net/replyenvelope.h"
#include "net/serviceurl.h"
#include "tests/support/testhttpserver.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

namespace {

// Waits for the manager's next finished reply and gives its decoded body.
QString finishedBody(QSignalSpy &spy, QNetworkReply **replyOut = nullptr)
{
    if (spy.isEmpty() && !spy.wait(10000))
        return QStringLiteral("<no reply>");
    auto *reply = spy.takeFirst().at(0).value<QNetworkReply *>();
    if (replyOut)
        *replyOut = reply;
    const QString body = decodeReplyBody(reply->readAll());
    reply->deleteLater();
    return body;
}

} // namespace

class TstCHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QNetworkReply *>(); }
    void init();
    void cleanup();

    void getReachesExactPathAndQuery();
    void postBody_data();
    void postBody();
    void cookiesGoBackOnTheSameInstance();
    void bodyStopsAtZeroByte();
    void silentServerEndsInTimeout();
    void credentialsReachServerAsTyped_data();
    void credentialsReachServerAsTyped();
    void plainValuesKeepTheUrlText();
    void singleValueUsesTheBaseUrl();

private:
    TestHttpServer *m_server = nullptr;
};

void TstCHttp::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
}

void TstCHttp::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void TstCHttp::getReachesExactPathAndQuery()
{
    m_server->route("orvane/keepOnline", TestResponse::json(R"({"status":1})"));
    CHttp http;
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.get(m_server->baseUrl() + QStringLiteral("orvane/keepOnline?token=T0k3n"));

    QCOMPARE(finishedBody(spy), QStringLiteral(R"({"status":1})"));
    const QList<RecordedRequest> requests = m_server->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("GET"));
    QCOMPARE(requests.first().target, QByteArray("/orvane/keepOnline?token=T0k3n"));
}

void TstCHttp::postBody_data()
{
    QTest::addColumn<QString>("data");
    QTest::newRow("empty") << QString();
    QTest::newRow("ascii") << QStringLiteral("a=1&b=2");
    QTest::newRow("chinese") << QStringLiteral("用户=张三");
}

void TstCHttp::postBody()
{
    QFETCH(QString, data);
    m_server->route("orvane/qrcode/getQRcodeState", TestResponse::json(R"({"status":0})"));
    CHttp http;
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.post(m_server->baseUrl() + QStringLiteral("orvane/qrcode/getQRcodeState"), data);
    finishedBody(spy);

    const QList<RecordedRequest> requests = m_server->requestsTo("orvane/qrcode/getQRcodeState");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("POST"));
    QCOMPARE(requests.first().target, QByteArray("/orvane/qrcode/getQRcodeState"));
    QCOMPARE(requests.first().body, data.toUtf8());
    QCOMPARE(requests.first().header("content-length").toInt(), data.toUtf8().size());
}

void TstCHttp::cookiesGoBackOnTheSameInstance()
{
    TestResponse image = TestResponse::withStatus(200, "JPEGDATA", "image/jpeg");
    image.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("JSESSIONID=ticket42; Path=/")));
    m_server->route("orvane/qrcode/getImageCode", image);
    m_server->route("orvane/qrcode/getQRcodeState", TestResponse::json(R"({"status":0})"));

    CHttp http;
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.get(m_server->baseUrl() + QStringLiteral("orvane/qrcode/getImageCode"));
    QCOMPARE(finishedBody(spy), QStringLiteral("JPEGDATA"));
    http.post(m_server->baseUrl() + QStringLiteral("orvane/qrcode/getQRcodeState"), QString());
    finishedBody(spy);

    CHttp other;
    QSignalSpy otherSpy(&other, &QNetworkAccessManager::finished);
    other.post(m_server->baseUrl() + QStringLiteral("orvane/qrcode/getQRcodeState"), QString());
    finishedBody(otherSpy);

    const QList<RecordedRequest> polls = m_server->requestsTo("orvane/qrcode/getQRcodeState");
    QCOMPARE(polls.size(), 2);
    QCOMPARE(polls.at(0).header("cookie"), QByteArray("JSESSIONID=ticket42"));
    QVERIFY(polls.at(1).header("cookie").isEmpty());
}

void TstCHttp::bodyStopsAtZeroByte()
{
    m_server->route("orvane/x", TestResponse::json(QByteArray("{\"status\":1}\0tail", 17)));
    CHttp http;
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.get(m_server->baseUrl() + QStringLiteral("orvane/x"));
    QCOMPARE(finishedBody(spy), QStringLiteral("{\"status\":1}"));
}

void TstCHttp::silentServerEndsInTimeout()
{
    TestResponse silent;
    silent.mode = TestResponse::Mode::NeverAnswer;
    m_server->route("orvane/client/login", silent);

    CHttp http;
    QCOMPARE(http.timeout(), CHttp::DefaultTimeoutMs);
    http.setTimeout(300);
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.post(m_server->baseUrl() + QStringLiteral("orvane/client/login?userName=a&passWord=b"),
              QString());
    QNetworkReply *reply = nullptr;
    // The body of a timed-out request is empty and reads as a failed envelope.
    QCOMPARE(finishedBody(spy, &reply), QString());
    QCOMPARE(reply->error(), QNetworkReply::OperationCanceledError);
    QCOMPARE(m_server->requestsTo("orvane/client/login").size(), 1);
}

void TstCHttp::credentialsReachServerAsTyped_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("passWord");
    // Before: the values went into the URL raw, so "&", "#" and "+" cut or changed them.
    QTest::newRow("delimiters") << QStringLiteral("x%2") << QStringLiteral("a&b#c+d%2 e中");
    QTest::newRow("equals-and-percent") << QStringLiteral("a=b") << QStringLiteral("100%");
    QTest::newRow("spaces-and-chinese") << QStringLiteral("张 三") << QStringLiteral(" p w ");
    QTest::newRow("plain") << QStringLiteral("teacher01") << QStringLiteral("Secret9");
    QTest::newRow("empty-password") << QStringLiteral("u") << QString();
}

void TstCHttp::credentialsReachServerAsTyped()
{
    QFETCH(QString, userName);
    QFETCH(QString, passWord);
    m_server->route("orvane/client/login", TestResponse::json(R"({"status":0})"));

    CHttp http;
    QSignalSpy spy(&http, &QNetworkAccessManager::finished);
    http.post(serviceUrlFrom(m_server->baseUrl(), QStringLiteral("orvane/client/login?userName=%1&passWord=%2"),
                         {userName, passWord}),
              QString());
    finishedBody(spy);

    const QList<RecordedRequest> requests = m_server->requestsTo("orvane/client/login");
    QCOMPARE(requests.size(), 1);
    const QUrlQuery query(QString::fromLatin1(requests.first().query()));
    const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).first, QStringLiteral("userName"));
    QCOMPARE(items.at(0).second, userName);
    QCOMPARE(items.at(1).first, QStringLiteral("passWord"));
    QCOMPARE(items.at(1).second, passWord);
}

void TstCHttp::plainValuesKeepTheUrlText()
{
    const QString base = QStringLiteral("http://127.0.0.1:1/");
    const QString path = QStringLiteral("orvane/loginMainIndex?userName=%1&passWord=%2");
    QString expected = base + path;
    expected.replace(QStringLiteral("%1"), QStringLiteral("t1")).replace(QStringLiteral("%2"), QStringLiteral("p2"));
    QCOMPARE(serviceUrlFrom(base, path, {QStringLiteral("t1"), QStringLiteral("p2")}), expected);
    QCOMPARE(serviceUrlFrom(base, QStringLiteral("orvane/index?menuId=4&tag=2")),
             base + QStringLiteral("orvane/index?menuId=4&tag=2"));
}

void TstCHttp::singleValueUsesTheBaseUrl()
{
    const QString saved = g_baseUrl;
    g_baseUrl = QStringLiteral("http://127.0.0.1:2/");
    QCOMPARE(serviceUrl(QStringLiteral("orvane/keepOnline?token=%1"), {QStringLiteral("T")}),
             QStringLiteral("http://127.0.0.1:2/orvane/keepOnline?token=T"));
    g_baseUrl = saved;
}

QTEST_GUILESS_MAIN(TstCHttp)
#include "tst_chttp.moc"
