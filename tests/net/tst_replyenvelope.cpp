// SPDX-License-Identifier: MIT
#include "net/replyenvelope.h"
#include "tests/support/testsupport.h"

#include <QTest>

class TstReplyEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void decodeBody_data();
    void decodeBody();
};

void TstReplyEnvelope::parse_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("token");

    const QString untouched = QStringLiteral("<before>");
    QTest::newRow("success") << QByteArray(R"({"status":1,"msg":"登录成功","result":{"token":"t-1"}})")
                             << 1 << QStringLiteral("登录成功") << QStringLiteral("t-1");
    QTest::newRow("status-string-1") << QByteArray(R"({"status":"1","msg":"ok","result":{"token":"a"}})")
                                     << 1 << QStringLiteral("ok") << QStringLiteral("a");
    QTest::newRow("status-true") << QByteArray(R"({"status":true,"msg":"ok","result":{"token":"b"}})")
                                 << 1 << QStringLiteral("ok") << QStringLiteral("b");
    QTest::newRow("status-1.0") << QByteArray(R"({"status":1.0,"msg":"m","result":{"token":"c"}})")
                                << 1 << QStringLiteral("m") << QStringLiteral("c");
    QTest::newRow("status-2-keeps-token")
        << QByteArray(R"({"status":2,"msg":"密码错误","result":{"token":"x"}})") << 2
        << QStringLiteral("密码错误") << untouched;
    QTest::newRow("status-0") << QByteArray(R"({"status":0,"msg":"no"})") << 0 << QStringLiteral("no")
                              << untouched;
    QTest::newRow("status-missing") << QByteArray(R"({"msg":"m"})") << 0 << QStringLiteral("m") << untouched;
    QTest::newRow("status-letters") << QByteArray(R"({"status":"abc","msg":"m"})") << 0
                                    << QStringLiteral("m") << untouched;
    QTest::newRow("status-false") << QByteArray(R"({"status":false,"msg":"m"})") << 0
                                  << QStringLiteral("m") << untouched;
    QTest::newRow("result-missing") << QByteArray(R"({"status":1,"msg":"m"})") << 1 << QStringLiteral("m")
                                    << QString();
    QTest::newRow("result-not-object") << QByteArray(R"({"status":1,"msg":"m","result":[1]})") << 1
                                       << QStringLiteral("m") << QString();
    QTest::newRow("token-missing") << QByteArray(R"({"status":1,"msg":"m","result":{}})") << 1
                                   << QStringLiteral("m") << QString();
    QTest::newRow("msg-missing") << QByteArray(R"({"status":2})") << 2 << QString() << untouched;
    QTest::newRow("array") << QByteArray(R"([{"status":1,"msg":"m"}])") << 0 << untouched << untouched;
    QTest::newRow("empty") << QByteArray() << 0 << untouched << untouched;
    QTest::newRow("html") << QByteArray("<html><body>502 Bad Gateway</body></html>") << 0 << untouched
                          << untouched;
    QTest::newRow("truncated-json") << QByteArray(R"({"status":1,"msg":"m")") << 0 << untouched
                                    << untouched;
    QTest::newRow("nul-inside-stops-there")
        << QByteArray(QByteArray(R"({"status":1,"msg":"m","result":{"token":"z"}})") + '\0' + "garbage")
        << 1
        << QStringLiteral("m") << QStringLiteral("z");
    QTest::newRow("nul-cuts-object") << QByteArray(QByteArray(R"({"status":1,)") + '\0' + R"("msg":"m"})")
                                     << 0
                                     << untouched << untouched;
}

void TstReplyEnvelope::parse()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, msg);
    QFETCH(QString, token);

    QString gotMsg = QStringLiteral("<before>");
    QString gotToken = QStringLiteral("<before>");
    // Zero characters are kept in the text: the parser itself must stop at them.
    const QString text = TestSupport::textWithZeros(body);
    QCOMPARE(text.contains(QChar(0)), body.contains('\0'));
    QCOMPARE(parseReplyEnvelope(text, gotMsg, gotToken), status);
    QCOMPARE(gotMsg, msg);
    QCOMPARE(gotToken, token);
}

void TstReplyEnvelope::decodeBody_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("utf8") << QByteArray("二维码") << QStringLiteral("二维码");
    QTest::newRow("zero-ends-it") << QByteArray("ab\0cd", 5) << QStringLiteral("ab");
    QTest::newRow("leading-zero") << QByteArray("\0cd", 3) << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TstReplyEnvelope::decodeBody()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeReplyBody(bytes), text);
}

QTEST_GUILESS_MAIN(TstReplyEnvelope)
#include "tst_replyenvelope.moc"
