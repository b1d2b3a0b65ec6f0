// SPDX-License-Identifier: MIT
#include "tests/e2e/appfolder.h"

#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

AppFolder::AppFolder(const Programs &installed)
    : m_root(QDir::tempPath() + QStringLiteral("/orvane-e2e-XXXXXX"))
    , m_installed(installed)
{
}

uint AppFolder::uid() const
{
    return installed() ? InstalledUid : ::getuid();
}

QString AppFolder::path(const QString &name) const
{
    if (!installed())
        return m_root.path() + QStringLiteral("/app/") + name;
    const char *kind = name == QLatin1String("conf.ini") ? "config"
        : name == QLatin1String("RCode.jpg")             ? "cache"
                                                         : "data";
    return QStringLiteral("%1/%2/Orvane/%3").arg(m_root.path(), QLatin1String(kind), name);
}

bool AppFolder::create(const QString &baseUrl, const QString &display)
{
    const QString root = m_root.path();
    for (const char *sub : {"app", "runtime", "home", "bin", "config/Orvane", "data", "cache"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!m_root.isValid() || (!installed() && !TestSupport::installPrograms(path(QString())))) {
        m_error = QStringLiteral("could not install the programs from ") + TestSupport::binDir();
        return false;
    }
    m_mainPort = TestSupport::freeUdpPort();
    do
        m_toolPort = TestSupport::freeUdpPort();
    while (m_toolPort == m_mainPort);
    // The engine the run is for: CTest runs the stories once per engine.
    // QtWebEngine's runs name no engine: it is the default.
    const bool webkit = qEnvironmentVariable("ORVANE_E2E_ENGINE") != QLatin1String("webengine");
    const QString conf = QStringLiteral("[service]\nbaseUrl=%1\n[udpport]\nOrvaneToolPort=%2\n"
                                        "OrvanePort=%3\n[web]\n%4")
                             .arg(baseUrl)
                             .arg(m_toolPort)
                             .arg(m_mainPort)
                             .arg(webkit ? QStringLiteral("engine=webkit\n") : QString());
    const QString xdgOpen =
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1/opened-urls.txt'\n").arg(root);
    const QString xdgOpenPath = root + QStringLiteral("/bin/xdg-open");
    if (!TestSupport::writeFile(path(QStringLiteral("conf.ini")), conf.toUtf8())
        || !TestSupport::writeFile(xdgOpenPath, xdgOpen.toUtf8())
        || !QFile::setPermissions(xdgOpenPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("could not write into ") + root;
        return false;
    }
    // Installed, all of it is the user's who runs the programs; their own folder, /usr/bin,
    // stays root's.
    const QString owner = QStringLiteral("%1:%1").arg(InstalledUid);
    if (installed() && QProcess::execute(QStringLiteral("chown"), {"-R", owner, root}) != 0) {
        m_error = QStringLiteral("could not give %1 to nobody (run as root)").arg(root);
        return false;
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    // As a teacher starts it: Orvane itself turns Chromium's sandbox off where it must (root).
    m_environment.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    m_environment.insert(QStringLiteral("DISPLAY"), display);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    m_environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    m_environment.insert(QStringLiteral("PATH"),
                         root + QStringLiteral("/bin:")
                             + m_environment.value(QStringLiteral("PATH")));
    for (const char *kind : {"CONFIG", "DATA", "CACHE"}) {
        if (installed())
            m_environment.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(kind)),
                                 root + QLatin1Char('/') + QString::fromLatin1(kind).toLower());
    }
    // Not a desktop session: the browser is found through xdg-open, and no session bus. Qt
    // Quick's backend is Orvane's own choice, as for a teacher.
    for (const char *name : {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP",
                             "QT_QPA_PLATFORMTHEME", "QT_QUICK_BACKEND"})
        m_environment.remove(QString::fromLatin1(name));
    return true;
}

QProcess *AppFolder::startOrvane(const QString &logName) const
{
    auto *process = new QProcess;
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(m_root.path());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(m_root.path() + QLatin1Char('/') + logName);
    const QString uid = QString::number(InstalledUid);
    if (installed())
        process->start(QStringLiteral("setpriv"),
                       {"--reuid=" + uid, "--regid=" + uid, "--clear-groups", m_installed.orvane});
    else
        process->start(path(QStringLiteral("Orvane")), QStringList());
    return process;
}

AppFolder::~AppFolder()
{
    for (const auto &sender : m_senders) {
        sender->kill();
        sender->waitForFinished(5000);
    }
}

void AppFolder::sendToOrvane(const QByteArray &command)
{
    // bash's /dev/udp: a socket of whoever runs it, open until the sleep ends.
    const QString script =
        QStringLiteral("exec 3>/dev/udp/127.0.0.1/%1 && printf %2 >&3 && sleep 30")
            .arg(m_mainPort)
            .arg(QString::fromLatin1(command));
    const QString uid = QString::number(InstalledUid);
    QStringList args{QStringLiteral("bash"), QStringLiteral("-c"), script};
    if (installed())
        args = QStringList{"--reuid=" + uid, "--regid=" + uid, "--clear-groups"} + args;
    m_senders.emplace_back(new QProcess);
    m_senders.back()->start(installed() ? QStringLiteral("setpriv") : args.takeFirst(), args);
    m_senders.back()->waitForStarted();
}

QString AppFolder::logs() const
{
    QString text;
    const QStringList names = QDir(m_root.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString &name : names)
        text += QStringLiteral("--- %1\n").arg(name)
            + QString::fromUtf8(TestSupport::readFile(m_root.path() + QLatin1Char('/') + name));
    return text;
}

QStringList AppFolder::openedUrls() const
{
    return QString::fromUtf8(TestSupport::readFile(m_root.path() + "/opened-urls.txt"))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
