// SPDX-License-Identifier: MIT
// The demo service as the programs and a browser meet it: the real process on a free port.
#include "tests/e2e/demoservice.h"
#include "tests/support/testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

struct Reply
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;
};

QJsonObject jsonObject(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

} // namespace

class tst_DemoService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void login_data();
    void login();
    void tokensAreChecked();
    void qrCodeLoginTicket();
    void pagesAreUtf8WithTheirLinks();
    void everyLinkOfThePagesIsServed();
    void oneLogLinePerRequest();
    void secondServiceOnTheSamePortFails();

private:
    Reply get(const QString &path, QNetworkAccessManager *manager = nullptr);
    Reply post(const QString &path, QNetworkAccessManager *manager = nullptr);
    Reply finish(QNetworkReply *reply);
    QString loginToken(const QString &userName, const QString &password);

    DemoService m_service;
    QNetworkAccessManager m_manager;
    int m_requestsSent = 0;
};

void tst_DemoService::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.error()));
    QVERIFY(m_service.baseUrl().startsWith(QLatin1String("http://127.0.0.1:")));
}

void tst_DemoService::cleanupTestCase()
{
    // SIGTERM is a normal way to stop it.
    QCOMPARE(m_service.stop(), 0);
}

Reply tst_DemoService::finish(QNetworkReply *reply)
{
    ++m_requestsSent;
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(15000);
    Reply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    reply->deleteLater();
    return result;
}

Reply tst_DemoService::get(const QString &path, QNetworkAccessManager *manager)
{
    QNetworkRequest request(QUrl(m_service.baseUrl() + path));
    return finish((manager ? manager : &m_manager)->get(request));
}

Reply tst_DemoService::post(const QString &path, QNetworkAccessManager *manager)
{
    // As the programs post: an empty body, the values in the query.
    QNetworkRequest request(QUrl(m_service.baseUrl() + path));
    return finish((manager ? manager : &m_manager)->post(request, QByteArray()));
}

QString tst_DemoService::loginToken(const QString &userName, const QString &password)
{
    const Reply reply = post(QStringLiteral("orvane/client/login?userName=%1&passWord=%2")
                                 .arg(QString::fromLatin1(QUrl::toPercentEncoding(userName)),
                                      QString::fromLatin1(QUrl::toPercentEncoding(password))));
    return jsonObject(reply.body)
        .value(QStringLiteral("result"))
        .toObject()
        .value(QStringLiteral("token"))
        .toString();
}

void tst_DemoService::login_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("msg");

    QTest::newRow("right password") << "13800000001"
                                    << "demo123" << 1 << "登录成功";
    QTest::newRow("second teacher") << "13900000002"
                                    << "demo456" << 1 << "登录成功";
    QTest::newRow("password with & # + space %") << "13700000003"
                                                 << "a&b#c+d e%" << 1 << "登录成功";
    QTest::newRow("wrong password") << "13800000001"
                                    << "demo456" << 0 << "密码错误，请重新输入";
    QTest::newRow("password up to the &") << "13700000003"
                                          << "a" << 0 << "密码错误，请重新输入";
    QTest::newRow("unknown account") << "13000000000"
                                     << "demo123" << 0 << "账号不存在";
    QTest::newRow("empty password") << "13800000001"
                                    << "" << 0 << "用户名和密码不能为空";
}

void tst_DemoService::login()
{
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, msg);

    const Reply reply = post(QStringLiteral("orvane/client/login?userName=%1&passWord=%2")
                                 .arg(QString::fromLatin1(QUrl::toPercentEncoding(userName)),
                                      QString::fromLatin1(QUrl::toPercentEncoding(password))));
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.contentType.startsWith("application/json"));
    const QJsonObject object = jsonObject(reply.body);
    QCOMPARE(object.value(QStringLiteral("status")).toInt(-1), status);
    QCOMPARE(object.value(QStringLiteral("msg")).toString(), msg);
    const QString token =
        object.value(QStringLiteral("result")).toObject().value(QStringLiteral("token")).toString();
    QCOMPARE(token.isEmpty(), status != 1);
}

void tst_DemoService::tokensAreChecked()
{
    const QString first = loginToken(QStringLiteral("13800000001"), QStringLiteral("demo123"));
    const QString second = loginToken(QStringLiteral("13800000001"), QStringLiteral("demo123"));
    QVERIFY(!first.isEmpty());
    QVERIFY(first != second);

    for (const QString &token : {first, second}) {
        const Reply alive = get(QStringLiteral("orvane/keepOnline?token=") + token);
        QCOMPARE(jsonObject(alive.body).value(QStringLiteral("status")).toInt(-1), 1);
        QCOMPARE(get(QStringLiteral("orvane/main?token=") + token).status, 200);
    }
    for (const QString &token :
         QStringList{QString(), QStringLiteral("not-a-token"), first + QLatin1Char('0')}) {
        const Reply alive = get(QStringLiteral("orvane/keepOnline?token=") + token);
        QCOMPARE(alive.status, 200);
        QCOMPARE(jsonObject(alive.body).value(QStringLiteral("status")).toInt(-1), 0);
        QCOMPARE(get(QStringLiteral("orvane/main?token=") + token).status, 302);
    }
}

void tst_DemoService::qrCodeLoginTicket()
{
    // One manager per visitor, as the login page keeps one for both requests.
    QNetworkAccessManager visitor;
    QNetworkAccessManager otherVisitor;

    const Reply image = get(QStringLiteral("orvane/qrcode/getImageCode"), &visitor);
    QCOMPARE(image.status, 200);
    QVERIFY(image.body.startsWith("\x89PNG"));
    QVERIFY(visitor.cookieJar()->cookiesForUrl(QUrl(m_service.baseUrl())).size() == 1);
    QCOMPARE(get(QStringLiteral("orvane/qrcode/getImageCode"), &otherVisitor).status, 200);

    // The code is real: a reader finds the page that confirms this visitor's ticket.
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    QVERIFY2(!zbarimg.isEmpty(), "zbarimg is missing; ./scripts/install-deps installs it");
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("code.png")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image.body) == image.body.size());
    file.close();
    QProcess reader;
    reader.start(zbarimg, {QStringLiteral("--raw"), QStringLiteral("-q"), file.fileName()});
    QVERIFY(reader.waitForFinished(20000));
    const QString decoded = QString::fromUtf8(reader.readAllStandardOutput()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression(QRegularExpression::escape(m_service.baseUrl())
                           + QStringLiteral("orvane/qrcode/confirm\\?ticket=([0-9a-f]+)$"))
            .match(decoded);
    QVERIFY2(match.hasMatch(), qPrintable(decoded));
    const QString ticket = match.captured(1);

    const auto state = [this](QNetworkAccessManager *manager) {
        return jsonObject(post(QStringLiteral("orvane/qrcode/getQRcodeState"), manager).body);
    };
    QCOMPARE(state(&visitor).value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(state(nullptr).value(QStringLiteral("status")).toInt(-1), 0); // no cookie at all

    // The page behind the code offers one button per account.
    QNetworkRequest pageRequest(
        QUrl(m_service.baseUrl() + QStringLiteral("orvane/qrcode/confirm?ticket=") + ticket));
    pageRequest.setRawHeader("Accept", "text/html");
    const Reply page = finish(m_manager.get(pageRequest));
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("value=\"13900000002\""));

    QCOMPARE(get(QStringLiteral("orvane/qrcode/confirm?ticket=") + ticket
                 + QStringLiteral("&account=13900000002"))
                 .status,
             200);
    const QJsonObject confirmed = state(&visitor);
    QCOMPARE(confirmed.value(QStringLiteral("status")).toInt(-1), 1);
    QCOMPARE(confirmed.value(QStringLiteral("userName")).toString(), QStringLiteral("13900000002"));
    QCOMPARE(confirmed.value(QStringLiteral("passWord")).toString(), QStringLiteral("demo456"));
    // The other visitor's ticket is the newest and still waits.
    QCOMPARE(state(&otherVisitor).value(QStringLiteral("status")).toInt(-1), 0);

    // "latest" confirms the newest ticket: the other visitor's.
    QCOMPARE(get(QStringLiteral("orvane/qrcode/confirm?ticket=latest&account=13700000003")).status,
             200);
    const QJsonObject other = state(&otherVisitor);
    QCOMPARE(other.value(QStringLiteral("status")).toInt(-1), 1);
    QCOMPARE(other.value(QStringLiteral("passWord")).toString(), QStringLiteral("a&b#c+d e%"));

    QCOMPARE(get(QStringLiteral("orvane/qrcode/confirm?ticket=0000&account=13900000002")).status,
             404);
    QCOMPARE(get(QStringLiteral("orvane/qrcode/confirm?ticket=latest&account=1")).status, 400);

    // Then the start page opens with those credentials, and only with them.
    QCOMPARE(
        get(QStringLiteral("orvane/loginMainIndex?userName=13900000002&passWord=demo456")).status,
        200);
    QCOMPARE(get(QStringLiteral("orvane/loginMainIndex?userName=13900000002&passWord=demo")).status,
             302);
}

void tst_DemoService::pagesAreUtf8WithTheirLinks()
{
    QNetworkAccessManager browser; // keeps the session cookie like the web view
    const QString token = loginToken(QStringLiteral("13800000001"), QStringLiteral("demo123"));
    const Reply home = get(QStringLiteral("orvane/main?token=") + token, &browser);
    QCOMPARE(home.status, 200);
    QCOMPARE(home.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY(home.body.contains("<meta charset=\"utf-8\">"));
    QVERIFY(home.body.contains("王老师"));
    for (const char *link :
         {"href=\"/upload/notice/", "href=\"/exam/exportStudent.action?",
          "href=\"/orvane/user/import/teacher\"", "href=\"/orvane/user/import/student\"",
          "href=\"/orvane/oa/salary/exportSalaryTemplate\"",
          "href=\"https://view.officeapps.live.com/",
          "dedeLogin?token=", "zariLogin?token=", "href=\"/orvane/index?menuId=4&amp;tag=2\""}) {
        QVERIFY2(home.body.contains(link), link);
    }

    const Reply classroom = get(QStringLiteral("orvane/index?menuId=4&tag=2"), &browser);
    QCOMPARE(classroom.status, 200);
    QVERIFY(classroom.body.contains("action=\"/orvane/attendance/classAttendanceListExport\""));
    QVERIFY(classroom.body.contains("target=\"_blank\""));

    // Without the session the platform's own pages turn the visitor away.
    QNetworkAccessManager stranger;
    QCOMPARE(get(QStringLiteral("orvane/index?menuId=4&tag=2"), &stranger).status, 302);
    for (const char *path :
         {"orvane/resetPsd", "orvane/login?type=register", "orvane/user/import/teacher"}) {
        const Reply page = get(QString::fromLatin1(path));
        QCOMPARE(page.status, 200);
        QVERIFY2(page.body.contains("<meta charset=\"utf-8\">"), path);
    }
}

void tst_DemoService::everyLinkOfThePagesIsServed()
{
    QNetworkAccessManager browser;
    const QString token = loginToken(QStringLiteral("13900000002"), QStringLiteral("demo456"));
    QStringList pages{QStringLiteral("orvane/main?token=") + token};
    for (int menu = 1; menu <= 6; ++menu)
        pages << QStringLiteral("orvane/index?menuId=%1").arg(menu);
    pages << QStringLiteral("orvane/classroom/detail?classId=302");

    QSet<QString> links;
    const QRegularExpression local(QStringLiteral("(?:href|action)=\"/([^\"]*)\""));
    for (const QString &page : pages) {
        const Reply reply = get(page, &browser);
        QCOMPARE(reply.status, 200);
        auto it = local.globalMatch(QString::fromUtf8(reply.body));
        while (it.hasNext())
            links.insert(it.next().captured(1).replace(QLatin1String("&amp;"), QLatin1String("&")));
    }
    QVERIFY(links.size() >= 15);
    for (const QString &link : qAsConst(links)) {
        const Reply reply = get(link, &browser);
        QVERIFY2(reply.status == 200, qPrintable(link));
        QVERIFY2(!reply.body.isEmpty(), qPrintable(link));
    }
    const Reply csv = get(QStringLiteral("exam/exportStudent.action?classId=301&format=csv"));
    QVERIFY(csv.contentType.startsWith("text/csv"));
    QVERIFY(QString::fromUtf8(csv.body).contains(QStringLiteral("学号,姓名")));
}

void tst_DemoService::oneLogLinePerRequest()
{
    get(QStringLiteral("orvane/keepOnline?token=x"));
    post(QStringLiteral("orvane/client/login?userName=13800000001&passWord=a%26b"));
    get(QStringLiteral("no/such/page"));
    // A line is written once its reply has gone out, so wait for the last ones.
    QTRY_COMPARE(m_service.requests().size(), m_requestsSent);
    const QStringList log = m_service.requests();
    for (const char *line : {"GET /orvane/keepOnline?token=x 200",
                             "POST /orvane/client/login?userName=13800000001&passWord=a%26b 200",
                             "GET /no/such/page 404"}) {
        QVERIFY2(log.contains(QString::fromLatin1(line)), line);
    }
}

void tst_DemoService::secondServiceOnTheSamePortFails()
{
    // It used to share the port silently and take half the connections, tickets and all.
    const int port = QUrl(m_service.baseUrl()).port();
    QVERIFY(port > 0);
    QProcess second;
    second.start(TestSupport::program(QStringLiteral("orvane-demo-service")),
                 {QStringLiteral("--port"), QString::number(port)});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("cannot listen"));
}

QTEST_GUILESS_MAIN(tst_DemoService)
#include "tst_demoservice.moc"
