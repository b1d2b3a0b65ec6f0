// SPDX-License-Identifier: MIT
// The demo service as the programs and a browser meet it: the real process on a free port.
#include "tests/e2e/demoservice.h"
#include "tests/support/testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

class TstDemoService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.error())); }
    // SIGTERM is a normal way to stop it.
    void cleanupTestCase() { QCOMPARE(m_service.stop(), 0); }

    void sessions();
    void everyLinkIsServed();
    void secondServiceOnTheSamePortFails();

private:
    // {status, body} of a GET, or of a POST with an empty body as the programs send.
    QPair<int, QByteArray> request(const QString &path, bool post = false,
                                   QNetworkAccessManager *manager = nullptr);
    QJsonObject json(const QString &path, bool post = false, QNetworkAccessManager *m = nullptr)
    {
        return QJsonDocument::fromJson(request(path, post, m).second).object();
    }
    QString login(const QString &userName, const QString &password)
    {
        return json("orvane/client/login?userName=" + userName + "&passWord=" + password, true)
            .value("result")
            .toObject()
            .value("token")
            .toString();
    }

    DemoService m_service;
    QNetworkAccessManager m_manager;
};

QPair<int, QByteArray> TstDemoService::request(const QString &path, bool post,
                                               QNetworkAccessManager *manager)
{
    manager = manager ? manager : &m_manager;
    QNetworkRequest req(QUrl(m_service.baseUrl() + path));
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = post ? manager->post(req, QByteArray()) : manager->get(req);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(15000);
    reply->deleteLater();
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
}

void TstDemoService::sessions()
{
    const QString first = login("13800000001", "demo123");
    const QString second = login("13800000001", "demo123");
    QVERIFY(!first.isEmpty() && first != second);
    for (const QString &token : QStringList{first, second, first + "0"}) {
        const bool valid = token != first + "0";
        QCOMPARE(json("orvane/keepOnline?token=" + token).value("status").toInt(-1), int(valid));
        QCOMPARE(request("orvane/main?token=" + token).first, valid ? 200 : 302);
    }
    // Forgotten sessions send every page to the platform's login; new logins still work.
    QCOMPARE(request("demo/control?sessions=forget").first, 200);
    QCOMPARE(json("orvane/keepOnline?token=" + first).value("status").toInt(-1), 0);
    QCOMPARE(request("orvane/main?token=" + second).first, 302);
    const QString third = login("13800000001", "demo123");
    QCOMPARE(json("orvane/keepOnline?token=" + third).value("status").toInt(-1), 1);
}

void TstDemoService::everyLinkIsServed()
{
    QNetworkAccessManager browser; // keeps the session cookie as the web view does
    QStringList pages{"orvane/main?token=" + login("13900000002", "demo456"),
                      "orvane/classroom/detail?classId=302", "orvane/files"};
    for (int menu = 1; menu <= 6; ++menu)
        pages << QStringLiteral("orvane/index?menuId=%1").arg(menu);

    QSet<QString> links;
    const QRegularExpression local(QStringLiteral("(?:href|action|src)=\"/([^\"]*)\""));
    for (const QString &page : qAsConst(pages)) {
        const auto reply = request(page, false, &browser);
        QVERIFY2(reply.first == 200, qPrintable(page));
        for (auto it = local.globalMatch(QString::fromUtf8(reply.second)); it.hasNext();)
            links.insert(it.next().captured(1).replace("&amp;", "&"));
    }
    QVERIFY(links.size() >= 15);
    links.remove("files/big.zip"); // slow on purpose
    for (const QString &link : qAsConst(links)) {
        const auto reply = request(link, false, &browser);
        QVERIFY2(reply.first == 200 && !reply.second.isEmpty(), qPrintable(link));
    }
    // Each request is logged as one line once its reply has gone out.
    QTRY_VERIFY(!m_service.requests("GET /orvane/classroom/detail\\?classId=302 200").isEmpty());
}

void TstDemoService::secondServiceOnTheSamePortFails()
{
    // It used to share the port silently and take half the connections, tickets and all.
    QProcess second;
    second.start(TestSupport::program("orvane-demo-service"),
                 {"--port", QString::number(QUrl(m_service.baseUrl()).port())});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("cannot listen"));
}

QTEST_GUILESS_MAIN(TstDemoService)
#include "tst_demoservice.moc"
