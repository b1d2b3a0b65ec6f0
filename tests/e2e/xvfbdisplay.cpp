// SPDX-License-Identifier: MIT
#include "tests/e2e/xvfbdisplay.h"

#include <QDeadlineTimer>

XvfbDisplay::~XvfbDisplay()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool XvfbDisplay::start()
{
    // -displayfd: Xvfb takes the first free display and writes its number once it is ready,
    // so parallel tests never collide. -noreset: no reset when the last client leaves.
    m_process.setProgram(QStringLiteral("Xvfb"));
    m_process.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("%1x%2x24").arg(Width).arg(Height)});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!out.contains('\n') && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_process.readAllStandardOutput();
    }
    const QByteArray number = out.trimmed();
    if (!out.contains('\n') || number.isEmpty()) {
        m_error = QStringLiteral("Xvfb gave no display: ") +
                  QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number);
    return true;
}
