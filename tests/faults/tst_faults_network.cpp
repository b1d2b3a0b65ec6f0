// SPDX-License-Identifier: MIT
// A service that misbehaves in every way we could think of: the password login always
// ends with a message within its time-out and can be tried again, the QR-code polling
// goes on with a bounded number of requests in flight, and memory does not grow.
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/loginpage.h"
#include "login/rcodepage.h"
#include "net/chttp.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimerEvent>

namespace {

const QByteArray LoginPath = "orvane/client/login";
const QByteArray ImageCode = "orvane/qrcode/getImageCode";
const QByteArray State = "orvane/qrcode/getQRcodeState";
const QString NetworkMessage = QStringLiteral("网络连接失败，请稍后重试");
constexpr int TimeoutMs = 1500; // the page's own 15 s, shortened for the test

enum class Fault { Refuse, NeverAnswer, Trickle, Html, JsonArray, Garbage10MB, CloseMidBody };

TestResponse goodLogin()
{
    return TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"T"}})");
}

TestResponse faultyResponse(Fault fault)
{
    TestResponse r = goodLogin();
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
    case Fault::Garbage10MB: {
        QByteArray garbage(10 * 1024 * 1024, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 2654435761u) >> 13);
        r = TestResponse::withStatus(200, garbage, "application/octet-stream");
        break;
    }
    case Fault::CloseMidBody:
        r.mode = TestResponse::Mode::CloseMidBody;
        break;
    case Fault::Refuse:
        break;
    }
    return r;
}

// A port on 127.0.0.1 where nobody listens.
QString refusingBaseUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/").arg(port);
}

int runningReplies(const CHttp *http)
{
    int running = 0;
    const QList<QNetworkReply *> replies = http->findChildren<QNetworkReply *>();
    for (const QNetworkReply *reply : replies)
        running += reply->isRunning() ? 1 : 0;
    return running;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstFaultsNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordLoginEndsAndRetries_data();
    void passwordLoginEndsAndRetries();
    void qrPollingGoesOnBounded_data();
    void qrPollingGoesOnBounded();
    void garbageRepliesDoNotGrowMemory();

private:
    void addFaultRows();
    void applyFault(Fault fault, const QByteArray &path);
    LoginPage *showLoginPage();
    bool clickLogin();

    QTemporaryDir m_dir;
    TestHttpServer *m_server = nullptr;
    LoginPage *m_page = nullptr;
};

void TstFaultsNetwork::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppConfig::setApplicationDirectory(m_dir.path());
}

void TstFaultsNetwork::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    g_baseUrl = m_server->baseUrl();
    g_userName.clear();
    g_passWord.clear();
    g_qrLogin = false;
}

void TstFaultsNetwork::cleanup()
{
    delete m_page;
    m_page = nullptr;
    delete m_server;
    m_server = nullptr;
}

void TstFaultsNetwork::addFaultRows()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("refuses-connections") << Fault::Refuse;
    QTest::newRow("never-answers") << Fault::NeverAnswer;
    QTest::newRow("byte-by-byte") << Fault::Trickle;
    QTest::newRow("html") << Fault::Html;
    QTest::newRow("json-array") << Fault::JsonArray;
    QTest::newRow("10MB-garbage") << Fault::Garbage10MB;
    QTest::newRow("closes-mid-body") << Fault::CloseMidBody;
}

void TstFaultsNetwork::applyFault(Fault fault, const QByteArray &path)
{
    if (fault == Fault::Refuse)
        g_baseUrl = refusingBaseUrl();
    else
        m_server->route(path, faultyResponse(fault));
}

LoginPage *TstFaultsNetwork::showLoginPage()
{
    m_page = new LoginPage;
    m_page->show();
    m_page->findChild<CHttp *>()->setTimeout(TimeoutMs);
    m_page->findChild<QComboBox *>(QStringLiteral("cbUserName"))
        ->findChild<QLineEdit *>()
        ->setText(QStringLiteral("13800000001"));
    m_page->findChild<QLineEdit *>(QStringLiteral("editPassword"))->setText(QStringLiteral("pw"));
    return m_page;
}

bool TstFaultsNetwork::clickLogin()
{
    auto *button = m_page->findChild<QPushButton *>(QStringLiteral("btnLogin"));
    if (!button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

void TstFaultsNetwork::passwordLoginEndsAndRetries_data()
{
    addFaultRows();
}

void TstFaultsNetwork::passwordLoginEndsAndRetries()
{
    QFETCH(Fault, fault);
    applyFault(fault, LoginPath);
    showLoginPage();
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    auto *tip = m_page->findChild<QLabel *>(QStringLiteral("lbTip"));
    auto *button = m_page->findChild<QPushButton *>(QStringLiteral("btnLogin"));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(clickLogin());
    // Ends within the time-out (and some slack for a loaded machine), telling the user why.
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), TimeoutMs + 10000);
    qInfo("the login ended after %lld ms (time-out %d ms)", clock.elapsed(), TimeoutMs);
    QCOMPARE(tip->text(), NetworkMessage);
    QCOMPARE(button->text(), QStringLiteral("登录"));
    QCOMPARE(success.count(), 0);

    // The service is back: the same page logs in.
    g_baseUrl = m_server->baseUrl();
    m_server->route(LoginPath, goodLogin());
    QVERIFY(clickLogin());
    QVERIFY(success.wait(10000));
    QCOMPARE(g_token, QStringLiteral("T"));
}

void TstFaultsNetwork::qrPollingGoesOnBounded_data()
{
    addFaultRows();
}

void TstFaultsNetwork::qrPollingGoesOnBounded()
{
    QFETCH(Fault, fault);
    m_server->route(ImageCode, TestResponse::withStatus(200, "\xff\xd8 image", "image/jpeg"));
    m_server->route(State, TestResponse::json(R"({"status":0})"));
    RcodePage page;
    QSignalSpy image(&page, &RcodePage::updateRcode);
    QVERIFY(image.wait(10000));
    auto *http = page.findChild<CHttp *>();
    http->setTimeout(TimeoutMs);
    QSignalSpy success(&page, &RcodePage::loginSuc);

    // Extra ticks eight times faster than the page's own timer, which keeps running too. A
    // request lives at most TimeoutMs, so no more than the ticks of both within that time
    // can be in flight at once.
    constexpr int IntervalMs = 250;
    constexpr int Bound =
        (TimeoutMs / IntervalMs + 1) + (TimeoutMs / RcodePage::PollIntervalMs + 1);
    applyFault(fault, State);
    int mostInFlight = 0;
    for (int i = 0; i < 10; ++i) {
        QTimerEvent tick(page.pollTimerId());
        QCoreApplication::sendEvent(&page, &tick);
        mostInFlight = qMax(mostInFlight, runningReplies(http));
        QTest::qWait(IntervalMs);
    }
    qInfo("most polls in flight: %d (bound %d)", mostInFlight, Bound);
    QVERIFY2(mostInFlight <= Bound, qPrintable(QString::number(mostInFlight)));
    QCOMPARE(success.count(), 0);
    QVERIFY(page.pollTimerId() > 0);

    // The phone confirms: the page's own timer carries the polling on to the login.
    g_baseUrl = m_server->baseUrl();
    m_server->route(State, TestResponse::json(R"({"status":1,"userName":"u","passWord":"p"})"));
    QVERIFY(success.wait(TimeoutMs + 3 * RcodePage::PollIntervalMs + 5000));
    QVERIFY(g_qrLogin);
}

void TstFaultsNetwork::garbageRepliesDoNotGrowMemory()
{
    // Measured as the process's resident size (VmRSS) after a first round, when Qt's
    // buffers have grown to their working size, and after ten more rounds of 10 MB each.
    applyFault(Fault::Garbage10MB, LoginPath);
    showLoginPage();
    auto *button = m_page->findChild<QPushButton *>(QStringLiteral("btnLogin"));
    const auto round = [&] {
        if (!clickLogin())
            return false;
        return QTest::qWaitFor([&] { return button->isEnabled(); }, 20000);
    };
    QVERIFY(round());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const qint64 before = TestSupport::residentKiB();
    for (int i = 0; i < 10; ++i) {
        QVERIFY(round());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const qint64 after = TestSupport::residentKiB();
    qInfo("resident size after 1 round: %lld KiB, after 11 rounds: %lld KiB", before, after);
    QVERIFY(before > 0);
    // 100 MB went through; a leak of the bodies would show as that much.
    QVERIFY2(after - before < 30 * 1024, qPrintable(QString::number(after - before)));
}

QTEST_MAIN(TstFaultsNetwork)
#include "tst_faults_network.moc"
