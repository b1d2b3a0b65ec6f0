// SPDX-License-Identifier: MIT
#include "app/companionchannel.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

class TstCompanionChannel : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void sendsAndReadsInOrder();
};

void TstCompanionChannel::decode_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("command");
    QTest::newRow("word") << QByteArray("showMain") << QStringLiteral("showMain");
    QTest::newRow("zero-and-junk") << QByteArray("showMain\0\x01junk", 13) << QStringLiteral("showMain");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("leading-zero") << QByteArray("\0closeMain", 10) << QString();
    QTest::newRow("case-kept") << QByteArray("ShowMain") << QStringLiteral("ShowMain");
    QTest::newRow("utf8") << QByteArray("课堂") << QStringLiteral("课堂");
}

void TstCompanionChannel::decode()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, command);
    QCOMPARE(CompanionChannel::decodeDatagram(datagram), command);
}

void TstCompanionChannel::sendsAndReadsInOrder()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    QUdpSocket sender;
    QSignalSpy ready(&receiver, &QUdpSocket::readyRead);

    const QList<QByteArray> sent{"directClassroom", "", QByteArray("showMain\0x", 10), "closeMain"};
    for (const QByteArray &command : sent)
        CompanionChannel::send(&sender, command, receiver.localPort());

    QStringList received;
    QTRY_VERIFY_WITH_TIMEOUT((received += CompanionChannel::readPending(&receiver)).size() >= 4, 5000);
    QCOMPARE(received,
             QStringList({QStringLiteral("directClassroom"), QString(), QStringLiteral("showMain"),
                          QStringLiteral("closeMain")}));
}

QTEST_GUILESS_MAIN(TstCompanionChannel)
#include "tst_companionchannel.moc"
