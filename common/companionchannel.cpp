// SPDX-License-Identifier: MIT
#include "common/companionchannel.h"

#include "platform/platform.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>
#include <QVector>

#include <cstring>

namespace CompanionChannel {

namespace {

// The sockets of the machine as this process last read them. A datagram is judged by a table
// read after it arrived, so the socket that sent it is in it unless already closed, and the
// table is read at most once per MinReadIntervalMs: a flood costs one read per period, whatever
// the sockets another user holds.
constexpr int MinReadIntervalMs = 100;
constexpr int MaxBatch = 1024; // a flood that never pauses still ends each read
const char RecheckScheduled[] = "orvaneOwnersRecheck";

struct OwnerTable
{
    Platform::UdpSockets sockets;
    QElapsedTimer sinceRead; // since the last read ended; invalid before the first

    int msUntilReadable() const
    {
        return sinceRead.isValid() ? int(qMax<qint64>(0, MinReadIntervalMs - sinceRead.elapsed()))
                                   : 0;
    }
    void read()
    {
        sockets = Platform::udpSockets();
        sinceRead.start();
    }
};

OwnerTable &owners()
{
    static OwnerTable table; // GUI thread only
    return table;
}

Platform::UdpEndpoint endpointOf(const QHostAddress &address, quint16 port)
{
    Platform::UdpEndpoint endpoint;
    const Q_IPV6ADDR bytes = address.toIPv6Address(); // IPv4 in its mapped form
    std::memcpy(endpoint.address.data(), bytes.c, sizeof bytes.c);
    endpoint.port = port;
    return endpoint;
}

// Each sender once: a flood from one socket writes one line. The names are forgotten after
// many, so a flood from ever new ports cannot grow the set without end.
void logDropped(const QHostAddress &sender, quint16 port, Platform::SocketOwner owner)
{
    static QSet<QString> named;
    const QString name = sender.toString() + QLatin1Char(':') + QString::number(port);
    if (named.contains(name))
        return;
    if (named.size() >= 1024)
        named.clear();
    named.insert(name);
    qDebug().noquote() << "companion channel: dropped what" << name << "sent -"
                       << (owner == Platform::SocketOwner::OtherUser
                               ? "another user's socket is bound to that port"
                               : "no socket of this user is bound there");
}

// The port on every address of the machine: then no one else can bind it on another loopback
// address (127.0.0.2) and send from there as if from 127.0.0.1 (IP_PKTINFO), a forgery the
// socket table cannot tell once that socket is closed. Only loopback senders are heard.
const QHostAddress ChannelAddress(QHostAddress::AnyIPv4);

struct Received
{
    QByteArray datagram;
    QHostAddress sender;
    quint16 port = 0;
};

} // namespace

QString decodeDatagram(const QByteArray &datagram)
{
    const int zero = datagram.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? datagram : datagram.left(zero));
}

Command commandOf(const QString &text)
{
    if (text == QLatin1String("showMain"))
        return Command::ShowMain;
    if (text == QLatin1String("closeMain"))
        return Command::CloseMain;
    if (text == QLatin1String("directClassroom"))
        return Command::DirectClassroom;
    return Command::None;
}

bool bind(QUdpSocket *socket, int port, int peerPort)
{
    if (port == peerPort) {
        // Each program would take its own datagrams for the other's.
        qDebug() << "companion channel: both programs are set to port" << port
                 << "- going on without the channel";
        return false;
    }
    if (socket->bind(ChannelAddress, static_cast<quint16>(port)))
        return true;
    qDebug() << "companion channel: cannot listen on port" << port << "-" << socket->errorString();
    return false;
}

void bindAndRetry(QUdpSocket *socket, int port, int peerPort)
{
    if (bind(socket, port, peerPort) || port == peerPort)
        return;
    auto *retry = new QTimer(socket);
    QObject::connect(retry, &QTimer::timeout, socket, [socket, port, retry] {
        if (!socket->bind(ChannelAddress, static_cast<quint16>(port)))
            return;
        qDebug() << "companion channel: listening on port" << port << "now";
        retry->deleteLater();
    });
    retry->start(RebindIntervalMs);
}

QStringList readPending(QUdpSocket *socket, int toolPort)
{
    OwnerTable &table = owners();
    if (!socket->hasPendingDatagrams())
        return {};
    if (const int wait = table.msUntilReadable(); wait > 0) {
        // Left in the socket until the table may be read again; readyRead comes once more then.
        if (!socket->property(RecheckScheduled).toBool()) {
            socket->setProperty(RecheckScheduled, true);
            QTimer::singleShot(wait, socket, [socket] {
                socket->setProperty(RecheckScheduled, false);
                emit socket->readyRead();
            });
        }
        return {};
    }
    QVector<Received> batch;
    while (socket->hasPendingDatagrams() && batch.size() < MaxBatch) {
        Received received;
        received.datagram.resize(int(qMax<qint64>(socket->pendingDatagramSize(), 0)));
        const qint64 read = socket->readDatagram(received.datagram.data(), received.datagram.size(),
                                                 &received.sender, &received.port);
        received.datagram.truncate(int(qMax<qint64>(read, 0)));
        batch.append(received);
    }
    // After the batch has arrived: the sockets that sent it are in the table. A sender whose
    // socket is closed by now cannot be told from another user's: dropped.
    table.read();
    QStringList commands;
    for (const Received &received : qAsConst(batch)) {
        // Before, only sockets on the sender's own address counted: another user's socket on
        // 127.0.0.2 sent as this user's on 127.0.0.1 (IP_PKTINFO) and was obeyed.
        const Platform::SocketOwner owner = received.sender.isEqual(QHostAddress::LocalHost)
            ? Platform::portOwner(table.sockets, received.port)
            : Platform::SocketOwner::Unknown;
        if (owner != Platform::SocketOwner::SameUser) {
            logDropped(received.sender, received.port, owner);
            continue;
        }
        commands.append(decodeDatagram(received.datagram));
        // From anyone but the tool, "showMain" comes from a second copy of Orvane, which waits.
        if (toolPort > 0 && received.port != toolPort
            && commandOf(commands.last()) == Command::ShowMain)
            send(socket, "shown", received.port);
    }
    return commands;
}

bool askToShow(int port, int timeoutMs)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0) || !send(&socket, "showMain", port))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (socket.waitForReadyRead(int(qMax<qint64>(timeoutMs - waited.elapsed(), 0)))) {
        if (readPending(&socket).contains(QLatin1String("shown")))
            return true;
        QThread::msleep(ulong(owners().msUntilReadable())); // the answer waits for the table
    }
    return false;
}

bool send(QUdpSocket *socket, const QByteArray &command, int port)
{
    if (socket->state() != QAbstractSocket::BoundState)
        return false; // no channel: its failure was logged when binding
    const QHostAddress peer(QHostAddress::LocalHost);
    const Platform::UdpEndpoint endpoint = endpointOf(peer, static_cast<quint16>(port));
    // Only this program's own sends read the table here: no one else can make it read more.
    OwnerTable &table = owners();
    if (table.msUntilReadable() == 0
        || Platform::receiverOwner(table.sockets, endpoint) != Platform::SocketOwner::SameUser)
        table.read();
    if (Platform::receiverOwner(table.sockets, endpoint) != Platform::SocketOwner::SameUser) {
        qDebug() << "companion channel: not sent to port" << port
                 << "- no socket of this user is bound there";
        return false;
    }
    return socket->writeDatagram(command, peer, static_cast<quint16>(port)) == command.size();
}

} // namespace CompanionChannel
