// SPDX-License-Identifier: MIT
#include "common/channelports.h"

#include "platform/platform.h"

#include <QDebug>
#include <QHostAddress>
#include <QUdpSocket>

namespace ChannelPorts {

namespace {

bool g_chosen = false;
Ports g_configured;
Ports g_thisRun;

// Two distinct numbers from 1 to 65535.
bool pairOf(const QString &tool, const QString &main, Ports &ports)
{
    bool toolOk = false;
    bool mainOk = false;
    const Ports pair{tool.toInt(&toolOk), main.toInt(&mainOk)};
    if (!toolOk || !mainOk || pair.tool < 1 || pair.tool > 65535 || pair.main < 1
        || pair.main > 65535 || pair.tool == pair.main)
        return false;
    ports = pair;
    return true;
}

bool heldByAnotherUser(const Platform::UdpSockets &sockets, int port)
{
    return Platform::portOwner(sockets, static_cast<unsigned short>(port))
        == Platform::SocketOwner::OtherUser;
}

// Two ports of 127.0.0.1 that no other user's socket shares on any address; fallback when none
// are found. They are free again once this returns, until the programs bind them.
Ports freePair(const Ports &fallback)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        QUdpSocket tool;
        QUdpSocket main;
        if (!tool.bind(QHostAddress(QHostAddress::LocalHost))
            || !main.bind(QHostAddress(QHostAddress::LocalHost)))
            continue;
        const Platform::UdpSockets sockets = Platform::udpSockets();
        if (!heldByAnotherUser(sockets, tool.localPort())
            && !heldByAnotherUser(sockets, main.localPort()))
            return Ports{tool.localPort(), main.localPort()};
    }
    return fallback;
}

} // namespace

Ports configured(const AppConfig::Config &config)
{
    return Ports{config.toolPort, config.mainPort};
}

Ports chooseForThisRun(const AppConfig::Config &config)
{
    const Ports ports = configured(config);
    const Platform::UdpSockets sockets = Platform::udpSockets();
    g_configured = g_thisRun = ports;
    if (heldByAnotherUser(sockets, ports.tool) || heldByAnotherUser(sockets, ports.main)) {
        // Before, neither program could listen: each user's pair needs ports of its own.
        g_thisRun = freePair(ports);
        qDebug() << "companion channel: another user's programs hold port" << ports.tool << "or"
                 << ports.main << "- using" << g_thisRun.tool << "and" << g_thisRun.main;
    }
    g_chosen = true;
    Platform::setInstanceGuardNote(note(g_thisRun));
    return g_thisRun;
}

Ports thisRun(const AppConfig::Config &config)
{
    return g_chosen ? g_thisRun : configured(config);
}

QStringList toolArguments()
{
    if (!g_chosen || g_thisRun == g_configured)
        return {};
    return {QStringLiteral("--ports"), QString::number(g_thisRun.tool),
            QString::number(g_thisRun.main)};
}

std::string note(const Ports &ports)
{
    return "ports " + std::to_string(ports.tool) + ' ' + std::to_string(ports.main) + '\n';
}

Ports ofRunningCopy(const std::string &note, const AppConfig::Config &config)
{
    const QStringList words = QString::fromStdString(note).split(QLatin1Char(' '));
    Ports ports = configured(config);
    if (words.size() == 3 && words.at(0) == QLatin1String("ports"))
        pairOf(words.at(1), words.at(2).trimmed(), ports);
    return ports;
}

Ports fromArguments(const QStringList &arguments, const AppConfig::Config &config)
{
    Ports ports = configured(config);
    const int at = arguments.indexOf(QStringLiteral("--ports"));
    if (at >= 0 && at + 2 < arguments.size())
        pairOf(arguments.at(at + 1), arguments.at(at + 2), ports);
    return ports;
}

} // namespace ChannelPorts
