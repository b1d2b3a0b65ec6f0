// SPDX-License-Identifier: MIT
#include "tests/e2e/demoserviceprocess.h"

#include "tests/support/testsupport.h"

#include <QDeadlineTimer>
#include <QTest>

DemoServiceProcess::~DemoServiceProcess()
{
    stop();
}

bool DemoServiceProcess::start()
{
    m_process.setProgram(TestSupport::program(QStringLiteral("orvane-demo-service")));
    m_process.setArguments({QStringLiteral("--port"), QStringLiteral("0")});
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("the demo service did not start: ") + m_process.errorString();
        return false;
    }
    // First line: "orvane-demo-service: listening on http://127.0.0.1:<port>/"
    const QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_process.readAllStandardOutput();
    }
    const QString first = QString::fromUtf8(out.left(out.indexOf('\n')));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("listening on (http://\\S+/)$")).match(first);
    if (!match.hasMatch()) {
        m_error = QStringLiteral("the demo service gave no address: ") + QString::fromUtf8(out) +
                  QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }
    m_baseUrl = match.captured(1);
    return true;
}

QStringList DemoServiceProcess::requests()
{
    m_pending += m_process.readAllStandardError();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_log += QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
    return m_log;
}

QStringList DemoServiceProcess::requests(const QRegularExpression &pattern)
{
    return requests().filter(pattern);
}

bool DemoServiceProcess::waitForRequest(const QRegularExpression &pattern, int timeoutMs)
{
    return QTest::qWaitFor([&] { return !requests(pattern).isEmpty(); }, timeoutMs);
}

int DemoServiceProcess::stop()
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
