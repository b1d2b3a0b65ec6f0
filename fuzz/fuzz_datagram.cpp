// SPDX-License-Identifier: MIT
// Companion-channel datagrams of any content: the decoding, the way both programs read
// them off a real socket (in batches, as the socket table is read at most every 100 ms), and
// the command-word decision that follows.
#include "common/companionchannel.h"
#include "fuzz/fuzzcheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>
#include <QThread>
#include <QUdpSocket>

namespace {

constexpr int Batch = 32; // well within the socket's receive queue

const QStringList MainCommands = {QStringLiteral("directClassroom"), QStringLiteral("showMain"),
                                  QStringLiteral("closeMain")};

struct Channel
{
    QUdpSocket receiver;
    QUdpSocket sender;
    Channel()
    {
        // Both ends bound, as in the programs: an unbound socket sends nothing.
        FuzzCheck::require(sender.bind(QHostAddress(QHostAddress::LocalHost)),
                           "binding 127.0.0.1 works");
        FuzzCheck::require(CompanionChannel::bind(&receiver, 0, sender.localPort()),
                           "binding 127.0.0.1 works");
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Channel channel;
    const QByteArray datagram = FuzzCheck::bytes(data, size);
    const QString command = CompanionChannel::decodeDatagram(datagram);

    const int zero = datagram.indexOf('\0');
    const QByteArray word = zero < 0 ? datagram : datagram.left(zero);
    FuzzCheck::require(!command.contains(QChar(0)), "a command stops at the first zero byte");
    FuzzCheck::require(command == CompanionChannel::decodeDatagram(word + '\0' + datagram),
                       "bytes after a zero byte do not matter");
    // Orvane acts on a datagram only when its bytes up to the first zero spell a command.
    for (const QString &known : MainCommands) {
        FuzzCheck::require((command == known) == (word == known.toLatin1()),
                           "a command word is recognised exactly");
    }

    // Through the loopback as the programs receive it: one datagram, one command, in order.
    // The receiver judges what has arrived at most every 100 ms, so they are read in batches.
    if (size > 1400)
        return 0;
    static QStringList expected;
    CompanionChannel::send(&channel.sender, datagram, channel.receiver.localPort());
    expected.append(command);
    if (expected.size() < Batch)
        return 0;
    QStringList read;
    QElapsedTimer waited;
    waited.start();
    while (read.size() < expected.size() && waited.elapsed() < 5000) {
        channel.receiver.waitForReadyRead(100);
        const QStringList now = CompanionChannel::readPending(&channel.receiver);
        if (now.isEmpty())
            QThread::msleep(10); // left for the next look at the socket table
        read += now;
    }
    FuzzCheck::require(read == expected, "received datagrams read as their decoded commands");
    expected.clear();
    return 0;
}
