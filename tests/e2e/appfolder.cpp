// SPDX-License-Identifier: MIT
#include "tests/e2e/appfolder.h"

#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

AppFolder::AppFolder()
    : m_root(QDir::tempPath() + QStringLiteral("/orvane-e2e-XXXXXX"))
{
}

QString AppFolder::path(const QString &name) const
{
    return m_root.path() + QStringLiteral("/app/") + name;
}

bool AppFolder::create(const QString &baseUrl, const QString &display)
{
    const QString root = m_root.path();
    for (const char *sub : {"app", "runtime", "home", "bin"})
        QDir(root).mkdir(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!m_root.isValid() || !TestSupport::installPrograms(path(QString()))) {
        m_error = QStringLiteral("could not install the programs from ") + TestSupport::binDir();
        return false;
    }
    m_mainPort = TestSupport::freeUdpPort();
    do
        m_toolPort = TestSupport::freeUdpPort();
    while (m_toolPort == m_mainPort);
    // The engine the run is for: CTest runs the stories once per engine.
    const QString conf =
        QStringLiteral("[service]\nbaseUrl=%1\n[udpport]\nOrvaneToolPort=%2\n"
                       "OrvanePort=%3\n[web]\nengine=%4\n")
            .arg(baseUrl)
            .arg(m_toolPort)
            .arg(m_mainPort)
            .arg(qEnvironmentVariable("ORVANE_E2E_ENGINE", QStringLiteral("webkit")));
    const QString xdgOpen =
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1/opened-urls.txt'\n").arg(root);
    const QString xdgOpenPath = root + QStringLiteral("/bin/xdg-open");
    if (!TestSupport::writeFile(path(QStringLiteral("conf.ini")), conf.toUtf8())
        || !TestSupport::writeFile(xdgOpenPath, xdgOpen.toUtf8())
        || !QFile::setPermissions(xdgOpenPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("could not write into ") + root;
        return false;
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("DISPLAY"), display);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    m_environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    m_environment.insert(QStringLiteral("PATH"),
                         root + QStringLiteral("/bin:")
                             + m_environment.value(QStringLiteral("PATH")));
    // Not a desktop session: the browser is found through xdg-open, and no session bus.
    for (const char *name : {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP",
                             "QT_QPA_PLATFORMTHEME"})
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
    process->start(path(QStringLiteral("Orvane")), QStringList());
    return process;
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
