// SPDX-License-Identifier: MIT
#include "tests/e2e/appfolder.h"

#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QUdpSocket>

namespace {

// A port nobody uses now. Two are taken together so they differ.
QList<int> freeUdpPorts(int count)
{
    QList<QUdpSocket *> sockets;
    QList<int> ports;
    for (int i = 0; i < count; ++i) {
        auto *socket = new QUdpSocket;
        if (socket->bind(QHostAddress::LocalHost, 0))
            ports << socket->localPort();
        sockets << socket;
    }
    qDeleteAll(sockets);
    return ports;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

AppFolder::AppFolder()
    : m_root(QDir::tempPath() + QStringLiteral("/orvane-e2e-XXXXXX"))
{
}

QString AppFolder::dir() const
{
    return m_root.path() + QStringLiteral("/app");
}

QString AppFolder::path(const QString &name) const
{
    return dir() + QLatin1Char('/') + name;
}

bool AppFolder::create(const QString &baseUrl, const QString &display)
{
    if (!m_root.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = m_root.path();
    for (const char *sub : {"app", "runtime", "home", "bin"})
        QDir(root).mkdir(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    if (!TestSupport::installPrograms(dir())) {
        m_error = QStringLiteral("could not copy the programs from ") + TestSupport::binDir();
        return false;
    }
    const QList<int> ports = freeUdpPorts(2);
    if (ports.size() != 2) {
        m_error = QStringLiteral("no free UDP ports");
        return false;
    }
    m_mainPort = ports.at(0);
    m_toolPort = ports.at(1);
    const QString conf = QStringLiteral("[service]\nbaseUrl=%1\n[udpport]\nOrvaneToolPort=%2\n"
                                        "OrvanePort=%3\n")
                             .arg(baseUrl)
                             .arg(m_toolPort)
                             .arg(m_mainPort);

    const QString opened = root + QStringLiteral("/opened-urls.txt");
    const QString xdgOpen =
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(opened);
    const QString xdgOpenPath = root + QStringLiteral("/bin/xdg-open");
    if (!TestSupport::writeFile(path(QStringLiteral("conf.ini")), conf.toUtf8()) ||
        !TestSupport::writeFile(xdgOpenPath, xdgOpen.toUtf8()) ||
        !QFile::setPermissions(xdgOpenPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("could not write into ") + root;
        return false;
    }

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("DISPLAY"), display);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    m_environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    m_environment.insert(QStringLiteral("PATH"), root + QStringLiteral("/bin:") +
                                                     m_environment.value(QStringLiteral("PATH")));
    // Not a desktop session: the browser is found through xdg-open, and no session bus.
    m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    m_environment.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
    return true;
}

QProcess *AppFolder::startOrvane(const QString &logName) const
{
    auto *process = new QProcess;
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(m_root.path());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(m_root.path() + QLatin1Char('/') + logName);
    process->start(path(QStringLiteral("Orvane")), QStringList());
    return process;
}

QString AppFolder::logs() const
{
    QString text;
    const QStringList names = QDir(m_root.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString &name : names)
        text += QStringLiteral("--- %1\n").arg(name) +
                readText(m_root.path() + QLatin1Char('/') + name);
    return text;
}

QStringList AppFolder::openedUrls() const
{
    return readText(m_root.path() + QStringLiteral("/opened-urls.txt"))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
