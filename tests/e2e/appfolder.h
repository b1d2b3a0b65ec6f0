// SPDX-License-Identifier: MIT
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class QProcess;

// A private installation of the programs: their folder with conf.ini, a runtime directory
// for the single-instance lock, a home, and an xdg-open on PATH that only records what it
// was asked to open. Installed programs are not copied: they run as nobody, with a home and
// XDG folders of that user's, conf.ini in its config folder.
class AppFolder
{
public:
    static constexpr uint InstalledUid = 65534; // nobody, and nogroup as the group
    // Where a package installed the programs; empty: the built ones are copied (portable).
    struct Programs
    {
        QString orvane;
        QString tool;
    };

    explicit AppFolder(const Programs &installed = {});
    ~AppFolder();

    // Copies the programs (portable) or gives the folder to nobody (installed, needs root), and
    // writes conf.ini with free UDP ports and the service's base URL.
    bool create(const QString &baseUrl, const QString &display);
    QString error() const { return m_error; }
    bool installed() const { return !m_installed.orvane.isEmpty(); }
    uint uid() const; // whom the programs run as
    QString toolProgram() const { return installed() ? m_installed.tool : path("OrvaneTool"); }
    // Where the programs keep a file ("conf.ini", "Orvane.db", "RCode.jpg"): the application
    // directory, or installed, the XDG folder for its kind.
    QString path(const QString &name) const;
    int mainPort() const { return m_mainPort; }
    int toolPort() const { return m_toolPort; }
    // The environment the programs run in: the display, xcb, the private folders.
    QProcessEnvironment environment() const { return m_environment; }
    // For the programs started from now on.
    void setEnvironment(const QString &name, const QString &value)
    {
        m_environment.insert(name, value);
    }

    // Starts Orvane (owned by the caller); its output goes to a log file of the folder.
    QProcess *startOrvane(const QString &logName = QStringLiteral("orvane.log")) const;
    // Sends a command over the channel to Orvane from a socket of the programs' user, which
    // stays open a while: Orvane asks whose the sender is when it reads.
    void sendToOrvane(const QByteArray &command);
    // Everything the programs wrote, for failure messages.
    QString logs() const;
    // The URLs handed to the desktop browser, in order.
    QStringList openedUrls() const;

private:
    QTemporaryDir m_root;
    Programs m_installed;
    QProcessEnvironment m_environment;
    QString m_error;
    int m_mainPort = 0;
    int m_toolPort = 0;
    std::vector<std::unique_ptr<QProcess>> m_senders;
};
