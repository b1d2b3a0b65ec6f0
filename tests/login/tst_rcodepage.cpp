// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/rcodepage.h"
#include "net/chttp.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimerEvent>

namespace {

const QByteArray ImageCode = "orvane/qrcode/getImageCode";
const QByteArray State = "orvane/qrcode/getQRcodeState";

// Anything the page sent before this returns has reached the server.
bool barrier(TestHttpServer &server)
{
    CHttp http;
    QSignalSpy done(&http, &QNetworkAccessManager::finished);
    http.get(server.baseUrl() + QStringLiteral("barrier"));
    return done.wait(5000);
}

// One tick of the page's poll timer, without waiting two seconds for it.
void tick(RcodePage &page)
{
    QTimerEvent event(page.pollTimerId());
    QCoreApplication::sendEvent(&page, &event);
}

} // namespace

class TstRcodePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void storesImageThenPolls();
    void noPollBeforeImage();
    void stateReplies_data();
    void stateReplies();
    void confirmationNeedsBothValues();
    void repliesAfterConfirmationAreIgnored();
    void pollsCarryTheImageCookie();
    void unwritableImageKeepsWaiting();
    void stopPollingStopsTicks();
    void backButtonAsksForPasswordPage();
    void parseStateReply_data();
    void parseStateReply();

private:
    void setState(const QByteArray &body) { m_server->route(State, TestResponse::json(body)); }
    // A page whose image has been stored, so that ticks send polls.
    bool waitForImage(RcodePage &page);

    QTemporaryDir m_dir;
    TestHttpServer *m_server = nullptr;
};

void TstRcodePage::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TstRcodePage::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    g_baseUrl = m_server->baseUrl();
    g_userName.clear();
    g_passWord.clear();
    g_qrLogin = false;
    AppConfig::setApplicationDirectory(m_dir.path());
    QFile::remove(m_dir.filePath(QStringLiteral("RCode.jpg")));
    m_server->route(ImageCode, TestResponse::withStatus(200, "\xff\xd8 qr image bytes", "image/jpeg"));
    setState(R"({"status":0})");
}

void TstRcodePage::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

bool TstRcodePage::waitForImage(RcodePage &page)
{
    QSignalSpy spy(&page, &RcodePage::updateRcode);
    return spy.wait(5000);
}

void TstRcodePage::storesImageThenPolls()
{
    RcodePage page;
    QSignalSpy updated(&page, &RcodePage::updateRcode);
    QVERIFY(updated.wait(5000));
    QCOMPARE(updated.count(), 1);
    QFile image(m_dir.filePath(QStringLiteral("RCode.jpg")));
    QVERIFY(image.open(QIODevice::ReadOnly));
    QCOMPARE(image.readAll(), QByteArray("\xff\xd8 qr image bytes"));

    // The real two-second timer sends the polls: POST, empty body, no query.
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestsTo(State).size() >= 1, 5000);
    const RecordedRequest poll = m_server->requestsTo(State).first();
    QCOMPARE(poll.method, QByteArray("POST"));
    QCOMPARE(poll.target, QByteArray("/orvane/qrcode/getQRcodeState"));
    QVERIFY(poll.body.isEmpty());
    QCOMPARE(m_server->requestsTo(ImageCode).size(), 1);
}

void TstRcodePage::noPollBeforeImage()
{
    TestResponse silent;
    silent.mode = TestResponse::Mode::NeverAnswer;
    m_server->route(ImageCode, silent);
    RcodePage page;
    QTRY_COMPARE(m_server->requestsTo(ImageCode).size(), 1);
    for (int i = 0; i < 5; ++i)
        tick(page);
    QVERIFY(barrier(*m_server));
    QCOMPARE(m_server->requestsTo(State).size(), 0);
    QVERIFY(page.pollTimerId() > 0);
}

void TstRcodePage::stateReplies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("confirms");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("passWord");

    QTest::newRow("confirmed") << QByteArray(R"({"status":1,"userName":"13800000001","passWord":"pw"})")
                               << true << QStringLiteral("13800000001") << QStringLiteral("pw");
    QTest::newRow("confirmed-status-text") << QByteArray(R"({"status":"1","userName":"u","passWord":"p"})")
                                           << true << QStringLiteral("u") << QStringLiteral("p");
    QTest::newRow("empty-password") << QByteArray(R"({"status":1,"userName":"u","passWord":""})") << false
                                    << QStringLiteral("u") << QString();
    QTest::newRow("missing-names") << QByteArray(R"({"status":1})") << false << QString() << QString();
    QTest::newRow("waiting") << QByteArray(R"({"status":0,"userName":"u","passWord":"p"})") << false
                             << QString() << QString();
    QTest::newRow("status-2") << QByteArray(R"({"status":2,"userName":"u","passWord":"p"})") << false
                              << QString() << QString();
    QTest::newRow("no-status") << QByteArray(R"({"userName":"u","passWord":"p"})") << false << QString()
                               << QString();
    QTest::newRow("not-json") << QByteArray("<html>busy</html>") << false << QString() << QString();
    QTest::newRow("empty") << QByteArray() << false << QString() << QString();
}

void TstRcodePage::stateReplies()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, confirms);
    QFETCH(QString, userName);
    QFETCH(QString, passWord);

    RcodePage page;
    QVERIFY(waitForImage(page));
    setState(body);
    QSignalSpy success(&page, &RcodePage::loginSuc);
    QSignalSpy replies(page.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    tick(page);
    QVERIFY(replies.wait(5000));

    QCOMPARE(success.count(), confirms ? 1 : 0);
    QCOMPARE(g_qrLogin, confirms);
    QCOMPARE(g_userName, userName);
    QCOMPARE(g_passWord, passWord);
    QCOMPARE(page.pollTimerId() > 0, !confirms);
}

void TstRcodePage::confirmationNeedsBothValues()
{
    RcodePage page;
    QVERIFY(waitForImage(page));
    QSignalSpy success(&page, &RcodePage::loginSuc);
    QSignalSpy replies(page.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    setState(R"({"status":1,"userName":"u","passWord":""})");
    tick(page);
    QVERIFY(replies.wait(5000));
    QCOMPARE(g_userName, QStringLiteral("u"));
    QCOMPARE(success.count(), 0);

    setState(R"({"status":1,"userName":"u","passWord":"p"})");
    tick(page);
    QTRY_COMPARE(success.count(), 1);
    QCOMPARE(g_passWord, QStringLiteral("p"));
    QVERIFY(g_qrLogin);
}

void TstRcodePage::repliesAfterConfirmationAreIgnored()
{
    RcodePage page;
    QVERIFY(waitForImage(page));
    QSignalSpy success(&page, &RcodePage::loginSuc);
    setState(R"({"status":1,"userName":"first","passWord":"p1"})");
    // Two polls in flight: the second answer comes after the confirmation.
    QSignalSpy replies(page.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    tick(page);
    tick(page);
    QTRY_COMPARE(replies.count(), 2);
    QCOMPARE(m_server->requestsTo(State).size(), 2);
    QCOMPARE(success.count(), 1);
    QCOMPARE(g_userName, QStringLiteral("first"));
    QCOMPARE(page.pollTimerId(), 0);
}

void TstRcodePage::pollsCarryTheImageCookie()
{
    TestResponse image = TestResponse::withStatus(200, "img", "image/png");
    image.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("ticket=abc123; Path=/")));
    m_server->route(ImageCode, image);
    RcodePage page;
    QVERIFY(waitForImage(page));
    tick(page);
    QTRY_COMPARE(m_server->requestsTo(State).size(), 1);
    QCOMPARE(m_server->requestsTo(State).first().header("cookie"), QByteArray("ticket=abc123"));
}

void TstRcodePage::unwritableImageKeepsWaiting()
{
    AppConfig::setApplicationDirectory(m_dir.filePath(QStringLiteral("no/such/folder")));
    RcodePage page;
    QSignalSpy updated(&page, &RcodePage::updateRcode);
    QSignalSpy replies(page.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    QVERIFY(replies.wait(5000));
    QCOMPARE(updated.count(), 0);
    tick(page);
    QVERIFY(barrier(*m_server));
    QCOMPARE(m_server->requestsTo(State).size(), 0);
}

void TstRcodePage::stopPollingStopsTicks()
{
    RcodePage page;
    QVERIFY(waitForImage(page));
    QVERIFY(page.pollTimerId() > 0);
    page.stopPolling();
    QCOMPARE(page.pollTimerId(), 0);
    page.stopPolling();
    QCOMPARE(page.pollTimerId(), 0);
}

void TstRcodePage::backButtonAsksForPasswordPage()
{
    RcodePage page;
    QSignalSpy spy(&page, &RcodePage::showPage);
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("btnRet")), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), 0);
}

void TstRcodePage::parseStateReply_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("passWord");

    const QString keep = QStringLiteral("<keep>");
    QTest::newRow("confirmed") << QByteArray(R"({"status":1,"userName":"a","passWord":"b"})") << 1
                               << QStringLiteral("a") << QStringLiteral("b");
    QTest::newRow("true") << QByteArray(R"({"status":true,"userName":"a"})") << 1 << QStringLiteral("a")
                          << QString();
    QTest::newRow("number-names") << QByteArray(R"({"status":1,"userName":138,"passWord":7})") << 1
                                  << QStringLiteral("138") << QStringLiteral("7");
    QTest::newRow("status-0") << QByteArray(R"({"status":0,"userName":"a","passWord":"b"})") << 0 << keep
                              << keep;
    QTest::newRow("array") << QByteArray(R"([1])") << 0 << keep << keep;
    QTest::newRow("zero-cuts") << QByteArray(QByteArray(R"({"status":1,)") + '\0' + R"("x":1})") << 0
                               << keep << keep;
}

void TstRcodePage::parseStateReply()
{
    QFETCH(QByteArray, text);
    QFETCH(int, status);
    QFETCH(QString, userName);
    QFETCH(QString, passWord);

    QString gotUser = QStringLiteral("<keep>");
    QString gotPass = QStringLiteral("<keep>");
    // Zero characters stay in the text: the reader itself must stop at them.
    const QString reply = TestSupport::textWithZeros(text);
    QCOMPARE(RcodePage::parseStateReply(reply, gotUser, gotPass), status);
    QCOMPARE(gotUser, userName);
    QCOMPARE(gotPass, passWord);
}

QTEST_MAIN(TstRcodePage)
#include "tst_rcodepage.moc"
