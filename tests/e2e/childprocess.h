// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// A program a test starts, reads line by line and stops again, whatever happens in between.
class ChildProcess
{
public:
    ChildProcess() = default;
    virtual ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts the program and waits for a line of its standard output that matches; false with
    // error() when none comes. ready's first capture, if it has one, is kept as readyText().
    bool start(const QString &program, const QStringList &args, const QRegularExpression &ready,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QString readyText() const { return m_readyText; }
    QString error() const { return m_error; }
    qint64 pid() const { return m_process.processId(); }

    // The lines it has written to standard error so far.
    QStringList errorLines();
    // Ends it (terminate, then kill); its exit code, or -1 when it had to be killed.
    int stop();

private:
    QProcess m_process;
    QString m_readyText;
    QString m_error;
    QByteArray m_pending;
    QStringList m_errorLines;
};
