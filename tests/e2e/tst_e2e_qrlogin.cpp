// SPDX-License-Identifier: MIT
// QR-code login from the outside: the login window fetches a code, a "phone" confirms it
// through the demo service, and the main window opens on the QR start page.
#include "tests/e2e/e2etestcase.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

QRegularExpression line(const QString &pattern)
{
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

// What a phone camera would read from the picture.
QString scan(const QString &imagePath)
{
    QProcess reader;
    reader.start(QStandardPaths::findExecutable(QStringLiteral("zbarimg")),
                 {QStringLiteral("--raw"), QStringLiteral("-q"), imagePath});
    if (!reader.waitForFinished(20000))
        return QString();
    return QString::fromUtf8(reader.readAllStandardOutput()).trimmed();
}

} // namespace

class tst_E2eQrLogin : public E2eTestCase
{
    Q_OBJECT

private slots:
    void confirmedCodeOpensTheMainWindow();

};

void tst_E2eQrLogin::confirmedCodeOpensTheMainWindow()
{
    E2eSession &s = *m_session;
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty(),
             "zbarimg is missing; ./scripts/install-deps installs it");
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));

    // The code shown under the form is a real one, for this login's confirm page.
    QVERIFY(
        s.service().waitForRequest(line(QStringLiteral("GET /orvane/qrcode/getImageCode 200"))));
    const QString code = s.app().path(QStringLiteral("RCode.jpg"));
    QString scanned;
    QVERIFY(QTest::qWaitFor(
        [&] { return QFile::exists(code) && !(scanned = scan(code)).isEmpty(); }, 20000));
    QVERIFY2(
        scanned.startsWith(s.service().baseUrl() + QStringLiteral("orvane/qrcode/confirm?ticket=")),
        qPrintable(scanned));

    // Polling has begun; nothing is confirmed yet, so the login window stays.
    QVERIFY(
        s.service().waitForRequest(line(QStringLiteral("POST /orvane/qrcode/getQRcodeState 200"))));
    QCOMPARE(s.desktop().visibleWindow(E2eSession::LoginTitle), login);

    // The phone confirms, through the command-line form of the confirm page.
    QNetworkAccessManager phone;
    QNetworkReply *reply = phone.get(QNetworkRequest(
        QUrl(s.service().baseUrl() +
             QStringLiteral("orvane/qrcode/confirm?ticket=latest&account=13900000002"))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(15000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    delete reply;

    QVERIFY2(s.service().waitForRequest(line(QStringLiteral(
                 "GET /orvane/loginMainIndex\\?userName=13900000002&passWord=demo456 200"))),
             qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().waitForWindow(E2eSession::MainTitle).isEmpty());
    QVERIFY(s.desktop().waitForNoWindow(E2eSession::LoginTitle));
    // No password login took part.
    QVERIFY(s.service().requests(line(QStringLiteral("POST /orvane/client/login.*"))).isEmpty());
    QVERIFY(s.service().requests(line(QStringLiteral("GET /orvane/main\\?.*"))).isEmpty());
}

QTEST_GUILESS_MAIN(tst_E2eQrLogin)
#include "tst_e2e_qrlogin.moc"
