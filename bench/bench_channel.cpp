// SPDX-License-Identifier: MIT
// What the companion channel's owner check costs the GUI thread while another user holds many
// UDP sockets: one datagram checked on its own, and a flood of datagrams from another user's
// socket with this user's command in the middle. Runs as root, which makes the other user's
// sockets (nobody's) itself. One JSON object per line on standard output.
#include "common/companionchannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <netinet/in.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int ForeignSockets = 10000;
constexpr int FloodPerSecond = 100;
constexpr int FloodSeconds = 3;

// A socket of nobody's bound to 127.0.0.1 on a port of the system's choice; -1 on failure.
int foreignSocket()
{
    const int previous = ::setfsuid(65534);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ::setfsuid(static_cast<uid_t>(previous));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return -1;
    return fd;
}

void sendTo(int fd, const char *word, quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ::sendto(fd, word, std::strlen(word), 0, reinterpret_cast<sockaddr *>(&address),
             sizeof address);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (::geteuid() != 0) {
        std::fprintf(stderr, "bench_channel: run as root, to make another user's sockets\n");
        return 1;
    }
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
    std::vector<int> foreign;
    for (int i = 0; i < ForeignSockets; ++i) {
        const int fd = foreignSocket();
        if (fd < 0)
            break;
        foreign.push_back(fd);
    }

    QUdpSocket receiver;
    QUdpSocket own;
    receiver.bind(QHostAddress(QHostAddress::LocalHost));
    own.bind(QHostAddress(QHostAddress::LocalHost));
    const quint16 port = receiver.localPort();

    // One datagram at a time, each long after the one before: every check reads the table.
    std::vector<double> single;
    for (int i = 0; i < 20; ++i) {
        sendTo(foreign.front(), "closeMain", port);
        receiver.waitForReadyRead(1000);
        QElapsedTimer took;
        took.start();
        while (receiver.hasPendingDatagrams())
            CompanionChannel::readPending(&receiver);
        single.push_back(took.nsecsElapsed() / 1e6);
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 150)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    std::sort(single.begin(), single.end());

    // The flood, and this user's command halfway through it.
    qint64 busyNs = 0;
    qint64 answeredMs = -1;
    QElapsedTimer clock;
    QObject::connect(&receiver, &QUdpSocket::readyRead, [&] {
        QElapsedTimer took;
        took.start();
        const QStringList commands = CompanionChannel::readPending(&receiver);
        busyNs += took.nsecsElapsed();
        if (commands.contains(QStringLiteral("showMain")) && answeredMs < 0)
            answeredMs = clock.elapsed() - FloodSeconds * 1000 / 2;
    });
    int sent = 0;
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        sendTo(foreign.at(size_t(sent) % foreign.size()), "closeMain", port);
        if (++sent == FloodPerSecond * FloodSeconds / 2)
            own.writeDatagram("showMain", QHostAddress::LocalHost, port);
        if (sent == FloodPerSecond * FloodSeconds)
            flood.stop();
    });
    clock.start();
    flood.start(1000 / FloodPerSecond);
    while (clock.elapsed() < FloodSeconds * 1000 + 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    std::printf("{\"foreignSockets\": %zu, \"checkMs\": %.2f, \"floodPerSecond\": %d, "
                "\"floodBusyPercent\": %.1f, \"commandAnsweredMs\": %lld}\n",
                foreign.size(), single[single.size() / 2], FloodPerSecond,
                100.0 * double(busyNs) / 1e6 / (FloodSeconds * 1000), answeredMs);
    for (const int fd : foreign)
        ::close(fd);
    return 0;
}
