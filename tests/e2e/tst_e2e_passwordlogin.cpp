// SPDX-License-Identifier: MIT
// Password login from the outside: the real Orvane under its own X server against its own
// demo service, typed into and clicked as a person would.
#include "tests/e2e/e2etestcase.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

namespace {

QRegularExpression line(const QString &pattern)
{
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

// Red text of the login page's tip line somewhere in the window.
bool showsRedTip(const QImage &screen, const QRect &window)
{
    int red = 0;
    const QRect area = window.intersected(screen.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = screen.pixel(x, y);
            if (qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80)
                ++red;
        }
    }
    return red >= 20;
}

} // namespace

class tst_E2ePasswordLogin : public E2eTestCase
{
    Q_OBJECT

private slots:
    void wrongThenRightPassword();
    void passwordWithCharactersThatNeedEncoding();
    void secondInstanceEndsAtOnce();

};

void tst_E2ePasswordLogin::wrongThenRightPassword()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    const QRect loginRect = desktop.geometry(login);
    QCOMPARE(loginRect.size(), QSize(360, 647));
    QVERIFY(!showsRedTip(desktop.screenshot(), loginRect));

    QVERIFY(s.typeLogin(login, QStringLiteral("13800000001"), QStringLiteral("wrong-password")));
    QVERIFY2(s.service().waitForRequest(line(QStringLiteral(
                 "POST /orvane/client/login\\?userName=13800000001&passWord=wrong-password 200"))),
             qPrintable(s.diagnostics()));
    // The service's message shows in red under the form, and the window stays.
    QVERIFY(QTest::qWaitFor([&] { return showsRedTip(desktop.screenshot(), loginRect); }, 20000));
    QCOMPARE(desktop.visibleWindow(E2eSession::LoginTitle), login);

    QVERIFY(s.typeLogin(login, QStringLiteral("13800000001"), QStringLiteral("demo123"), true));
    QVERIFY2(s.service().waitForRequest(line(QStringLiteral(
                 "POST /orvane/client/login\\?userName=13800000001&passWord=demo123 200"))),
             qPrintable(s.diagnostics()));
    QVERIFY2(s.service().waitForRequest(
                 line(QStringLiteral("GET /orvane/main\\?token=[0-9a-f]{32} 200"))),
             qPrintable(s.diagnostics()));
    QVERIFY(!desktop.waitForWindow(E2eSession::MainTitle).isEmpty());
    QVERIFY(desktop.waitForNoWindow(E2eSession::LoginTitle));
    QCOMPARE(s.service().requests(line(QStringLiteral("GET /orvane/main\\?.*"))).size(), 1);

    // The tool docks at the bottom-right corner of the screen.
    const QString tool = desktop.waitForWindow(E2eSession::ToolTitle);
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    const QRect toolRect = desktop.geometry(tool);
    QCOMPARE(toolRect.size(), QSize(160, 74));
    QCOMPARE(toolRect.right() + 1, XvfbDisplay::Width);
    QCOMPARE(toolRect.bottom() + 1, XvfbDisplay::Height);

    // The account is remembered, with its password since the box was ticked.
    const QByteArray rows = desktop.run(QStringLiteral("sqlite3"),
                                        {s.app().path(QStringLiteral("Orvane.db")),
                                         QStringLiteral("SELECT user_name, passwd, remember_pwd "
                                                        "FROM tbl_user_info")});
    QCOMPARE(rows.trimmed(), QByteArray("13800000001|demo123|1"));

    // "closeMain" from the companion channel ends Orvane, and the tool with it.
    const qint64 toolPid = desktop.windowPid(tool);
    QVERIFY(toolPid > 0);
    QVERIFY(!processEnded(toolPid));
    QUdpSocket socket;
    QCOMPARE(
        socket.writeDatagram("closeMain", QHostAddress::LocalHost, quint16(s.app().mainPort())),
        qint64(9));
    QCOMPARE(s.waitForOrvaneExit(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 15000);
}

void tst_E2ePasswordLogin::passwordWithCharactersThatNeedEncoding()
{
    E2eSession &s = *m_session;
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    // The third demo account's password: "&", "#", "+", a space and "%".
    QVERIFY(s.typeLogin(login, QStringLiteral("13700000003"), QStringLiteral("a&b#c+d e%")));
    QVERIFY2(
        s.service().waitForRequest(line(QStringLiteral(
            "POST /orvane/client/login\\?userName=13700000003&passWord=a%26b%23c%2Bd%20e%25 200"))),
        qPrintable(s.diagnostics()));
    QVERIFY2(s.service().waitForRequest(
                 line(QStringLiteral("GET /orvane/main\\?token=[0-9a-f]{32} 200"))),
             qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().waitForWindow(E2eSession::MainTitle).isEmpty());
}

void tst_E2ePasswordLogin::secondInstanceEndsAtOnce()
{
    E2eSession &s = *m_session;
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    QVERIFY(
        s.service().waitForRequest(line(QStringLiteral("GET /orvane/qrcode/getImageCode 200"))));

    QScopedPointer<QProcess> second(s.app().startOrvane(QStringLiteral("second.log")));
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    // It showed nothing and asked the service for nothing; the first one goes on.
    QCOMPARE(
        s.service().requests(line(QStringLiteral("GET /orvane/qrcode/getImageCode .*"))).size(), 1);
    QCOMPARE(s.desktop().visibleWindow(E2eSession::LoginTitle), login);
    QCOMPARE(s.orvane()->state(), QProcess::Running);

    // Closing the login window ends the first one the same way.
    QVERIFY(s.desktop().click(login, E2eSession::CloseButton));
    QCOMPARE(s.waitForOrvaneExit(), 0);
}

QTEST_GUILESS_MAIN(tst_E2ePasswordLogin)
#include "tst_e2e_passwordlogin.moc"
