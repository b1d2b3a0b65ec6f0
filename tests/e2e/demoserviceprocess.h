// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// orvane-demo-service on a free port, with the requests it logs.
class DemoServiceProcess
{
public:
    DemoServiceProcess() = default;
    ~DemoServiceProcess();
    DemoServiceProcess(const DemoServiceProcess &) = delete;
    DemoServiceProcess &operator=(const DemoServiceProcess &) = delete;

    // Starts the service and waits for its address; false with error() on failure.
    bool start();
    // "http://127.0.0.1:<port>/"
    QString baseUrl() const { return m_baseUrl; }
    QString error() const { return m_error; }

    // Every request logged so far, one "METHOD /path?query STATUS" line each.
    QStringList requests();
    // The logged requests that match.
    QStringList requests(const QRegularExpression &pattern);
    // Waits until a logged request matches; false after timeoutMs.
    bool waitForRequest(const QRegularExpression &pattern, int timeoutMs = 20000);

    // Ends the service; its exit code, or -1 if it had to be killed.
    int stop();

private:
    QProcess m_process;
    QString m_baseUrl;
    QString m_error;
    QByteArray m_pending;
    QStringList m_log;
};
