// SPDX-License-Identifier: MIT
#include "tests/e2e/childprocess.h"

#include <QDeadlineTimer>

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::start(const QString &program, const QStringList &args,
                         const QRegularExpression &ready, const QProcessEnvironment &env)
{
    m_process.setProcessEnvironment(env);
    m_process.start(program, args);
    if (!m_process.waitForStarted(10000)) {
        m_error = program + QStringLiteral(" did not start: ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_process.readAllStandardOutput();
        for (const QByteArray &line : out.split('\n')) {
            const QRegularExpressionMatch match = ready.match(QString::fromUtf8(line));
            if (match.hasMatch() && out.contains(QByteArray(line + '\n'))) {
                m_readyText = match.captured(1);
                return true;
            }
        }
    }
    m_error = program + QStringLiteral(" did not get ready: ") + QString::fromUtf8(out)
        + QString::fromLocal8Bit(m_process.readAllStandardError());
    return false;
}

QStringList ChildProcess::errorLines()
{
    m_pending += m_process.readAllStandardError();
    for (int end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1))
        m_errorLines += QString::fromUtf8(m_pending.left(end));
    return m_errorLines;
}

int ChildProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (m_process.waitForFinished(10000) && m_process.exitStatus() == QProcess::NormalExit)
        return m_process.exitCode();
    m_process.kill();
    m_process.waitForFinished(5000);
    return -1;
}
