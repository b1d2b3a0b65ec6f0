// SPDX-License-Identifier: MIT
// Service requests and replies: the URLs built from user values, the readers of the reply
// envelope and the QR-code state, and CHttp against a real server, misbehaving ones included.
#include "net/chttp.h"
#include "net/replyenvelope.h"
#include "net/serviceurl.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>

namespace {

const QString NetworkTip = QStringLiteral("网络连接失败，请稍后重试");

enum class Fault { Refuse, NeverAnswer, Trickle, Html, JsonArray, Garbage, CloseMidBody };

TestResponse faulty(Fault fault)
{
    TestResponse r = TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"T"}})");
    switch (fault) {
    case Fault::NeverAnswer:
        r.mode = TestResponse::Mode::NeverAnswer;
        break;
    case Fault::Trickle: // a good answer, far too slowly
        r.mode = TestResponse::Mode::Trickle;
        r.trickleIntervalMs = 100;
        break;
    case Fault::Html:
        r = TestResponse::withStatus(502, "<html><body>Bad Gateway</body></html>", "text/html");
        break;
    case Fault::JsonArray:
        r.body = R"([{"status":1,"msg":"ok"}])";
        break;
    case Fault::Garbage:
        r = TestResponse::withStatus(200, QByteArray(10 << 20, '\x9c'), "application/octet-stream");
        break;
    case Fault::CloseMidBody:
        r.mode = TestResponse::Mode::CloseMidBody;
        break;
    case Fault::Refuse:
        break;
    }
    return r;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstNet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QNetworkReply *>(); }
    void init();
    void cleanup() { delete m_server; }

    void serviceUrl_data();
    void serviceUrl();
    void decodeBody_data();
    void decodeBody();
    void loginReply_data();
    void loginReply();
    void stateReply_data();
    void stateReply();
    void requestsAsSent_data();
    void requestsAsSent();
    void cookiesStayWithTheirManager();
    void failingServiceEndsTheLogin_data();
    void failingServiceEndsTheLogin();

private:
    QNetworkReply *finish(CHttp &http, QNetworkReply *reply);

    TestHttpServer *m_server = nullptr;
};

void TstNet::init()
{
    m_server = new TestHttpServer;
    QVERIFY(m_server->start());
}

QNetworkReply *TstNet::finish(CHttp &http, QNetworkReply *reply)
{
    QSignalSpy finished(&http, &QNetworkAccessManager::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        return nullptr;
    reply->deleteLater();
    return reply;
}

void TstNet::serviceUrl_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("passWord");
    // Before: the values went into the URL raw, so "&", "#" and "+" cut or changed them.
    QTest::newRow("delimiters") << "x%2"
                                << "a&b#c+d%2 e中";
    QTest::newRow("equals-and-percent") << "a=b"
                                        << "100%";
    QTest::newRow("spaces-and-chinese") << "张 三"
                                        << " p w ";
    QTest::newRow("plain") << "teacher01"
                           << "Secret9";
    QTest::newRow("empty-password") << "u"
                                    << "";
}

void TstNet::serviceUrl()
{
    QFETCH(QString, userName);
    QFETCH(QString, passWord);
    const QString base = QStringLiteral("http://127.0.0.1:1/");
    const QString path = QStringLiteral("orvane/client/login?userName=%1&passWord=%2");
    const QUrl url(::serviceUrl(base, path, {userName, passWord}), QUrl::TolerantMode);

    QCOMPARE(url.toString(QUrl::RemoveQuery), base + QStringLiteral("orvane/client/login"));
    QVERIFY(!url.hasFragment());
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    QCOMPARE(items,
             (QList<QPair<QString, QString>>{{"userName", userName}, {"passWord", passWord}}));
    // Plain letters and digits keep the URL text as it was.
    if (QTest::currentDataTag() == QByteArray("plain"))
        QCOMPARE(url.toString(), base + "orvane/client/login?userName=teacher01&passWord=Secret9");
}

void TstNet::decodeBody_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf8") << QByteArray("二维码") << "二维码";
    QTest::newRow("zero-ends-it") << QByteArray("ab\0cd", 5) << "ab";
    QTest::newRow("leading-zero") << QByteArray("\0cd", 3) << "";
}

void TstNet::decodeBody()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeReplyBody(bytes), text);
}

void TstNet::loginReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("msg");   // as parseReplyEnvelope leaves it
    QTest::addColumn<QString>("token"); // likewise
    QTest::addColumn<QString>("tip");   // what the login page shows

    const QString kept = QStringLiteral("<before>");
    QTest::newRow("success") << QByteArray(
        R"({"status":1,"msg":"登录成功","result":{"token":"t-1"}})")
                             << 1 << "登录成功"
                             << "t-1"
                             << "登录成功";
    QTest::newRow("status-text-1")
        << QByteArray(R"({"status":"1","msg":"ok","result":{"token":"a"}})") << 1 << "ok"
        << "a"
        << "ok";
    QTest::newRow("status-true") << QByteArray(R"({"status":true,"msg":"","result":{"token":"b"}})")
                                 << 1 << ""
                                 << "b"
                                 << "";
    QTest::newRow("status-1.0") << QByteArray(R"({"status":1.0,"msg":"m","result":{"token":"c"}})")
                                << 1 << "m"
                                << "c"
                                << "m";
    QTest::newRow("refused-keeps-token")
        << QByteArray(R"({"status":2,"msg":"密码错误","result":{"token":"x"}})") << 2 << "密码错误"
        << kept << "密码错误";
    QTest::newRow("status-letters")
        << QByteArray(R"({"status":"abc","msg":"m"})") << 0 << "m" << kept << "m";
    QTest::newRow("status-missing") << QByteArray(R"({"msg":"m"})") << 0 << "m" << kept << "m";
    QTest::newRow("no-result") << QByteArray(R"({"status":1,"msg":"m"})") << 1 << "m"
                               << ""
                               << "m";
    QTest::newRow("result-array") << QByteArray(R"({"status":1,"msg":"m","result":[1]})") << 1
                                  << "m"
                                  << ""
                                  << "m";
    // Before: a failure without a message left the tip empty.
    QTest::newRow("failed-without-msg")
        << QByteArray(R"({"status":2})") << 2 << "" << kept << NetworkTip;
    QTest::newRow("array") << QByteArray(R"([{"status":1,"msg":"m"}])") << 0 << kept << kept
                           << NetworkTip;
    QTest::newRow("empty") << QByteArray() << 0 << kept << kept << NetworkTip;
    QTest::newRow("html") << QByteArray("<html>502 Bad Gateway</html>") << 0 << kept << kept
                          << NetworkTip;
    QTest::newRow("truncated") << QByteArray(R"({"status":1,"msg":"m")") << 0 << kept << kept
                               << NetworkTip;
    QTest::newRow("zero-ends-it") << QByteArray(R"({"status":1,"msg":"m","result":{"token":"z"}})"
                                                + QByteArray(1, '\0') + "x")
                                  << 1 << "m"
                                  << "z"
                                  << "m";
    QTest::newRow("zero-cuts-object")
        << QByteArray("{\"status\":1,\0\"msg\":\"m\"}", 23) << 0 << kept << kept << NetworkTip;
}

void TstNet::loginReply()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, msg);
    QFETCH(QString, token);
    QFETCH(QString, tip);

    // Zero characters stay in the text: the parser itself must stop at them.
    QString gotMsg = QStringLiteral("<before>");
    QString gotToken = gotMsg;
    QCOMPARE(parseReplyEnvelope(TestSupport::textWithZeros(body), gotMsg, gotToken), status);
    QCOMPARE(gotMsg, msg);
    QCOMPARE(gotToken, token);

    const LoginReply reply = readLoginReply(body);
    QCOMPARE(reply.success, status == 1);
    QCOMPARE(reply.token, status == 1 ? token : QString());
    QCOMPARE(reply.tip, tip);

    // Before: a certificate that could not be verified read as the network text. Whatever the
    // body, such a reply names the host and never succeeds.
    const LoginReply unverified = readLoginReply(body, QStringLiteral("school.test"));
    QVERIFY(!unverified.success && unverified.token.isEmpty());
    QCOMPARE(unverified.tip, QStringLiteral("无法验证服务器 school.test 的证书，已停止连接"));
}

void TstNet::stateReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("userName"); // as the reader leaves them
    QTest::addColumn<QString>("passWord");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("confirmed");

    const QString kept = QStringLiteral("<before>");
    QTest::newRow("confirmed") << QByteArray(R"({"status":1,"userName":"138","passWord":"pw"})")
                               << 1 << "138"
                               << "pw" << true << true;
    QTest::newRow("status-text") << QByteArray(R"({"status":"1","userName":"u","passWord":"p"})")
                                 << 1 << "u"
                                 << "p" << true << true;
    QTest::newRow("numbers") << QByteArray(R"({"status":1,"userName":138,"passWord":7})") << 1
                             << "138"
                             << "7" << true << true;
    QTest::newRow("empty-password")
        << QByteArray(R"({"status":1,"userName":"u","passWord":""})") << 1 << "u"
        << "" << false << false;
    QTest::newRow("missing-names") << QByteArray(R"({"status":1})") << 1 << ""
                                   << "" << false << false;
    QTest::newRow("waiting") << QByteArray(R"({"status":0,"userName":"u","passWord":"p"})") << 0
                             << kept << kept << false << false;
    QTest::newRow("status-2") << QByteArray(R"({"status":2,"userName":"u","passWord":"p"})") << 2
                              << kept << kept << false << false;
    QTest::newRow("not-json") << QByteArray("<html>busy</html>") << 0 << kept << kept << false
                              << false;
    QTest::newRow("zero-cuts") << QByteArray("{\"status\":1,\0\"x\":1}", 19) << 0 << kept << kept
                               << false << false;
}

void TstNet::stateReply()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, userName);
    QFETCH(QString, passWord);
    QFETCH(bool, stop);
    QFETCH(bool, confirmed);

    QString user = QStringLiteral("<before>");
    QString pass = user;
    QCOMPARE(parseStateReply(TestSupport::textWithZeros(body), user, pass), status);
    QCOMPARE(user, userName);
    QCOMPARE(pass, passWord);

    // As the page polls: nothing is known before the first reply.
    user.clear();
    pass.clear();
    const QrPoll poll = readQrStateReply(body, user, pass);
    QCOMPARE(poll.stop, stop);
    QCOMPARE(poll.confirmed, confirmed);
}

void TstNet::requestsAsSent_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("body");
    QTest::newRow("get") << QByteArray("GET") << QString();
    QTest::newRow("post-empty") << QByteArray("POST") << QString();
    QTest::newRow("post-chinese") << QByteArray("POST") << QStringLiteral("用户=张三&a=1");
}

void TstNet::requestsAsSent()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, body);
    m_server->route("orvane/x", TestResponse::json(QByteArray("{\"status\":1}\0tail", 17)));
    CHttp http;
    const QString url = m_server->baseUrl() + QStringLiteral("orvane/x?token=T0k3n");
    QNetworkReply *reply = finish(http, method == "GET" ? http.get(url) : http.post(url, body));
    QVERIFY(reply);
    QCOMPARE(decodeReplyBody(reply->readAll()), QStringLiteral("{\"status\":1}"));

    const QList<RecordedRequest> requests = m_server->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, method);
    QCOMPARE(requests.first().target, QByteArray("/orvane/x?token=T0k3n"));
    QCOMPARE(requests.first().body, body.toUtf8());
}

void TstNet::cookiesStayWithTheirManager()
{
    TestResponse image = TestResponse::withStatus(200, "img", "image/png");
    image.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("ticket=abc123; Path=/")));
    m_server->route("orvane/qrcode/getImageCode", image);
    const QString state = m_server->baseUrl() + QStringLiteral("orvane/qrcode/getQRcodeState");

    CHttp http;
    QVERIFY(finish(http, http.get(m_server->baseUrl() + "orvane/qrcode/getImageCode")));
    QVERIFY(finish(http, http.post(state, QString())));
    CHttp other;
    QVERIFY(finish(other, other.post(state, QString())));

    const QList<RecordedRequest> polls = m_server->requestsTo("orvane/qrcode/getQRcodeState");
    QCOMPARE(polls.size(), 2);
    QCOMPARE(polls.at(0).header("cookie"), QByteArray("ticket=abc123"));
    QVERIFY(polls.at(1).header("cookie").isEmpty());
}

void TstNet::failingServiceEndsTheLogin_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("refuses-connections") << Fault::Refuse;
    QTest::newRow("never-answers") << Fault::NeverAnswer;
    QTest::newRow("byte-by-byte") << Fault::Trickle;
    QTest::newRow("html") << Fault::Html;
    QTest::newRow("json-array") << Fault::JsonArray;
    QTest::newRow("10MB-garbage") << Fault::Garbage;
    QTest::newRow("closes-mid-body") << Fault::CloseMidBody;
}

// Before: a service that never answered kept the login waiting forever.
void TstNet::failingServiceEndsTheLogin()
{
    QFETCH(Fault, fault);
    QString base = m_server->baseUrl();
    if (fault == Fault::Refuse) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        base = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    }
    m_server->route("orvane/client/login", faulty(fault));

    CHttp http(nullptr, 1500);
    QNetworkReply *reply =
        finish(http, http.post(base + QStringLiteral("orvane/client/login?userName=u"), QString()));
    QVERIFY(reply);
    const LoginReply login = readLoginReply(reply->readAll());
    QVERIFY(!login.success);
    QCOMPARE(login.tip, NetworkTip);
}

QTEST_GUILESS_MAIN(TstNet)
#include "tst_net.moc"
