// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QUdpSocket;

// The UDP channel between Orvane and OrvaneTool on 127.0.0.1: one ASCII command word
// per datagram, no framing. Both ends belong to one user: a datagram counts only when every
// socket bound to its source port, on any local address, is that user's, and nothing is sent
// to a socket of anyone else.
namespace CompanionChannel {

// A datagram's command text: UTF-8 up to the first zero byte.
QString decodeDatagram(const QByteArray &datagram);

// The commands Orvane obeys; anything else is ignored.
enum class Command { None, ShowMain, CloseMain, DirectClassroom };
// Exact, case-sensitive command words only.
Command commandOf(const QString &text);

// Binds the socket to port on every address, the end of a channel whose other end is peerPort:
// no one else can then bind that port on another address to forge a sender. Only datagrams from
// 127.0.0.1 are heard.
// Equal ports or a port that cannot be bound (another user's copy may hold it) are logged with
// the reason and leave the socket unbound: the program goes on without the channel.
bool bind(QUdpSocket *socket, int port, int peerPort);
// The same, and a port that cannot be bound now is tried again every RebindIntervalMs until it
// is bound (the program whose port it was may end), without logging each try.
inline constexpr int RebindIntervalMs = 3000;
void bindAndRetry(QUdpSocket *socket, int port, int peerPort);

// Reads every pending datagram and gives the command texts of those sent from a socket of this
// user, in arrival order. The rest are dropped, each sender named in the log once.
// Orvane gives toolPort: a "showMain" from any other socket is answered "shown" (askToShow).
// The machine's socket table is read after the datagrams have arrived, at most once per 100 ms:
// within that time after the last read the datagrams are left pending and the socket emits
// readyRead again once the table may be read.
QStringList readPending(QUdpSocket *socket, int toolPort = 0);

// What a second copy of Orvane does before it ends: asks the first, listening at port, to show
// its window, and waits at most timeoutMs for the answer, so that its socket is still open when
// the first asks whose it is. Whether the first answered.
bool askToShow(int port, int timeoutMs = 3000);

// Sends command as one datagram to 127.0.0.1 on port when there is a channel (the socket is
// bound) and a socket of this user is bound there; whether it was sent.
bool send(QUdpSocket *socket, const QByteArray &command, int port);

} // namespace CompanionChannel
