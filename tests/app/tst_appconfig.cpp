// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "tests/support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

class TstAppConfig : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { AppConfig::setApplicationDirectory(QString()); }

    void ports_data();
    void ports();
    void baseUrl_data();
    void baseUrl();
    void applicationDirectoryIsTheExecutables();
};

void TstAppConfig::ports_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no conf.ini at all
    QTest::addColumn<int>("toolPort");
    QTest::addColumn<int>("mainPort");

    const int tool = AppConfig::DefaultToolPort;
    const int main = AppConfig::DefaultMainPort;
    QTest::newRow("no-file") << QByteArray() << tool << main;
    QTest::newRow("no-keys") << QByteArray("[other]\nx=1\n") << tool << main;
    QTest::newRow("both-set") << QByteArray("[udpport]\nOrvaneToolPort=20001\nOrvanePort=20002\n")
                              << 20001 << 20002;
    QTest::newRow("only-tool") << QByteArray("[udpport]\nOrvaneToolPort=20001\n") << 20001 << main;
    QTest::newRow("letters") << QByteArray("[udpport]\nOrvaneToolPort=abc\nOrvanePort=12abc\n") << tool
                             << main;
    QTest::newRow("zero") << QByteArray("[udpport]\nOrvaneToolPort=0\nOrvanePort=0\n") << tool << main;
    QTest::newRow("negative") << QByteArray("[udpport]\nOrvaneToolPort=-5\nOrvanePort=-1\n") << tool
                              << main;
    QTest::newRow("over-16-bits") << QByteArray("[udpport]\nOrvaneToolPort=70000\nOrvanePort=131073\n")
                                  << 4464 << 1;
    QTest::newRow("max") << QByteArray("[udpport]\nOrvaneToolPort=65535\nOrvanePort=1\n") << 65535 << 1;
}

void TstAppConfig::ports()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, toolPort);
    QFETCH(int, mainPort);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!ini.isEmpty())
        QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("conf.ini")), ini));
    AppConfig::setApplicationDirectory(dir.path());

    const AppConfig::Ports ports = AppConfig::readPorts();
    QCOMPARE(ports.toolPort, toolPort);
    QCOMPARE(ports.mainPort, mainPort);
}

void TstAppConfig::baseUrl_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected");

    const QString fallback = QStringLiteral("http://127.0.0.1:9/");
    QTest::newRow("no-file") << QByteArray() << fallback;
    QTest::newRow("no-key") << QByteArray("[udpport]\nOrvanePort=1\n") << fallback;
    QTest::newRow("empty") << QByteArray("[service]\nbaseUrl=\n") << fallback;
    QTest::newRow("with-slash") << QByteArray("[service]\nbaseUrl=http://school.test:8080/app/\n")
                                << QStringLiteral("http://school.test:8080/app/");
    QTest::newRow("adds-slash") << QByteArray("[service]\nbaseUrl=http://127.0.0.1:18080\n")
                                << QStringLiteral("http://127.0.0.1:18080/");
    QTest::newRow("https") << QByteArray("[service]\nbaseUrl=https://school.test/\n")
                           << QStringLiteral("https://school.test/");
    QTest::newRow("ftp") << QByteArray("[service]\nbaseUrl=ftp://school.test/\n") << fallback;
    QTest::newRow("garbage") << QByteArray("[service]\nbaseUrl=not a url at all\n") << fallback;
    QTest::newRow("relative") << QByteArray("[service]\nbaseUrl=orvane/\n") << fallback;
    QTest::newRow("no-host") << QByteArray("[service]\nbaseUrl=http:///x/\n") << fallback;
}

void TstAppConfig::baseUrl()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!ini.isEmpty())
        QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("conf.ini")), ini));
    AppConfig::setApplicationDirectory(dir.path());

    QCOMPARE(AppConfig::readBaseUrl(QStringLiteral("http://127.0.0.1:9/")), expected);
}

void TstAppConfig::applicationDirectoryIsTheExecutables()
{
    QCOMPARE(AppConfig::applicationDirectory(), QCoreApplication::applicationDirPath());
    QCOMPARE(AppConfig::applicationFile(QStringLiteral("Orvane.db")),
             QCoreApplication::applicationDirPath() + QStringLiteral("/Orvane.db"));
}

QTEST_GUILESS_MAIN(TstAppConfig)
#include "tst_appconfig.moc"
