// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QUdpSocket;

// The UDP channel between Orvane and OrvaneTool on 127.0.0.1: one ASCII command word
// per datagram, no framing.
namespace CompanionChannel {

// A datagram's command text: UTF-8 up to the first zero byte.
QString decodeDatagram(const QByteArray &datagram);

// The commands Orvane obeys; anything else is ignored.
enum class Command { None, ShowMain, CloseMain, DirectClassroom };
// Exact, case-sensitive command words only.
Command commandOf(const QString &text);

// Binds the socket to 127.0.0.1 on port; a failure is logged with its reason.
bool bind(QUdpSocket *socket, int port);

// Reads every pending datagram and gives their command texts, in arrival order.
QStringList readPending(QUdpSocket *socket);

// Sends command as one datagram to 127.0.0.1 on port; the outcome is not checked.
void send(QUdpSocket *socket, const QByteArray &command, int port);

} // namespace CompanionChannel
