// SPDX-License-Identifier: MIT
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QProcess;

// A private installation of the programs: their folder with conf.ini, a runtime directory
// for the single-instance lock, a home, and an xdg-open on PATH that only records what it
// was asked to open.
class AppFolder
{
public:
    AppFolder();

    // Copies the programs and writes conf.ini with free UDP ports and the service's base URL.
    bool create(const QString &baseUrl, const QString &display);
    QString error() const { return m_error; }
    QString path(const QString &name) const; // a file in the application directory
    int mainPort() const { return m_mainPort; }
    int toolPort() const { return m_toolPort; }
    // The environment the programs run in: the display, xcb, the private folders.
    QProcessEnvironment environment() const { return m_environment; }

    // Starts Orvane (owned by the caller); its output goes to a log file of the folder.
    QProcess *startOrvane(const QString &logName = QStringLiteral("orvane.log")) const;
    // Everything the programs wrote, for failure messages.
    QString logs() const;
    // The URLs handed to the desktop browser, in order.
    QStringList openedUrls() const;

private:
    QTemporaryDir m_root;
    QProcessEnvironment m_environment;
    QString m_error;
    int m_mainPort = 0;
    int m_toolPort = 0;
};
