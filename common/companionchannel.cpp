// SPDX-License-Identifier: MIT
#include "common/companionchannel.h"

#include "platform/platform.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>

#include <cstring>

namespace CompanionChannel {

namespace {

Platform::SocketOwner ownerOf(const QHostAddress &address, quint16 port)
{
    Platform::UdpEndpoint endpoint;
    const Q_IPV6ADDR bytes = address.toIPv6Address(); // IPv4 in its mapped form
    std::memcpy(endpoint.address.data(), bytes.c, sizeof bytes.c);
    endpoint.port = port;
    return Platform::udpSocketOwner(endpoint);
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
                               ? "its socket belongs to another user"
                               : "no socket of this user is bound there");
}

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
    if (socket->bind(QHostAddress::LocalHost, static_cast<quint16>(port)))
        return true;
    qDebug() << "companion channel: cannot listen on 127.0.0.1 port" << port << "-"
             << socket->errorString();
    return false;
}

void bindAndRetry(QUdpSocket *socket, int port, int peerPort)
{
    if (bind(socket, port, peerPort) || port == peerPort)
        return;
    auto *retry = new QTimer(socket);
    QObject::connect(retry, &QTimer::timeout, socket, [socket, port, retry] {
        if (!socket->bind(QHostAddress::LocalHost, static_cast<quint16>(port)))
            return;
        qDebug() << "companion channel: listening on 127.0.0.1 port" << port << "now";
        retry->deleteLater();
    });
    retry->start(RebindIntervalMs);
}

QStringList readPending(QUdpSocket *socket, int toolPort)
{
    QStringList commands;
    while (socket->hasPendingDatagrams()) {
        QByteArray datagram(static_cast<int>(qMax<qint64>(socket->pendingDatagramSize(), 0)), '\0');
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 read =
            socket->readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        datagram.truncate(static_cast<int>(qMax<qint64>(read, 0)));
        // A sender whose socket is closed by now cannot be told from another user's: dropped.
        const Platform::SocketOwner owner = ownerOf(sender, senderPort);
        if (owner != Platform::SocketOwner::SameUser) {
            logDropped(sender, senderPort, owner);
            continue;
        }
        commands.append(decodeDatagram(datagram));
        // From anyone but the tool, "showMain" comes from a second copy of Orvane, which waits.
        if (toolPort > 0 && senderPort != toolPort
            && commandOf(commands.last()) == Command::ShowMain)
            send(socket, "shown", senderPort);
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
    }
    return false;
}

bool send(QUdpSocket *socket, const QByteArray &command, int port)
{
    if (socket->state() != QAbstractSocket::BoundState)
        return false; // no channel: its failure was logged when binding
    const QHostAddress peer(QHostAddress::LocalHost);
    if (ownerOf(peer, static_cast<quint16>(port)) != Platform::SocketOwner::SameUser) {
        qDebug() << "companion channel: not sent to port" << port
                 << "- no socket of this user is bound there";
        return false;
    }
    return socket->writeDatagram(command, peer, static_cast<quint16>(port)) == command.size();
}

} // namespace CompanionChannel
