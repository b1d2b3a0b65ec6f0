// SPDX-License-Identifier: MIT
#include "common/companionchannel.h"

#include <QDebug>
#include <QHostAddress>
#include <QUdpSocket>

namespace CompanionChannel {

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

bool bind(QUdpSocket *socket, int port)
{
    if (socket->bind(QHostAddress::LocalHost, static_cast<quint16>(port)))
        return true;
    qDebug() << "companion channel: cannot listen on 127.0.0.1 port" << port << "-"
             << socket->errorString();
    return false;
}

QStringList readPending(QUdpSocket *socket)
{
    QStringList commands;
    while (socket->hasPendingDatagrams()) {
        QByteArray datagram(static_cast<int>(qMax<qint64>(socket->pendingDatagramSize(), 0)), '\0');
        const qint64 read = socket->readDatagram(datagram.data(), datagram.size());
        datagram.truncate(static_cast<int>(qMax<qint64>(read, 0)));
        commands.append(decodeDatagram(datagram));
    }
    return commands;
}

void send(QUdpSocket *socket, const QByteArray &command, int port)
{
    socket->writeDatagram(command, QHostAddress::LocalHost, static_cast<quint16>(port));
}

} // namespace CompanionChannel
