// SPDX-License-Identifier: MIT
#include "tests/e2e/e2esession.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUdpSocket>

const QString E2eSession::LoginTitle = QStringLiteral("Orvane-登录");
const QString E2eSession::MainTitle = QStringLiteral("Orvane-主页");
const QString E2eSession::ToolTitle = QStringLiteral("Orvane-工具");

E2eSession::~E2eSession()
{
    if (!m_orvane || m_orvane->state() == QProcess::NotRunning)
        return;
    // With its main window up Orvane can end properly, taking the tool program with it.
    if (!m_desktop->visibleWindow(MainTitle).isEmpty()) {
        QUdpSocket socket;
        socket.writeDatagram("closeMain", QHostAddress::LocalHost, quint16(m_app.mainPort()));
        if (m_orvane->waitForFinished(10000))
            return;
    }
    m_orvane->kill();
    m_orvane->waitForFinished(5000);
}

bool E2eSession::start()
{
    for (const char *tool : {"Xvfb", "xdotool", "import", "sqlite3"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is missing; ./scripts/install-deps installs it")
                          .arg(QString::fromLatin1(tool));
            return false;
        }
    }
    if (!m_display.start()) {
        m_error = m_display.error();
        return false;
    }
    if (!m_service.start()) {
        m_error = m_service.error();
        return false;
    }
    if (!m_app.create(m_service.baseUrl(), m_display.name())) {
        m_error = m_app.error();
        return false;
    }
    m_desktop.reset(new Desktop(m_display.name()));
    return true;
}

QString E2eSession::startOrvane()
{
    m_orvane.reset(m_app.startOrvane());
    if (!m_orvane->waitForStarted(10000))
        return QString();
    return m_desktop->waitForWindow(LoginTitle);
}

bool E2eSession::typeLogin(const QString &loginWindow, const QString &userName,
                           const QString &password, bool tickRemember)
{
    // The fields may hold a saved account already: select all and type over it.
    bool ok = m_desktop->click(loginWindow, UserNameEdit) &&
              m_desktop->key(QStringLiteral("ctrl+a")) && m_desktop->type(userName);
    ok = ok && m_desktop->click(loginWindow, PasswordEdit) &&
         m_desktop->key(QStringLiteral("ctrl+a")) && m_desktop->type(password);
    if (tickRemember)
        ok = ok && m_desktop->click(loginWindow, RememberBox);
    return ok && m_desktop->click(loginWindow, LoginButton);
}

QString E2eSession::passwordLogin(const QString &userName, const QString &password)
{
    const QString login = startOrvane();
    if (login.isEmpty() || !typeLogin(login, userName, password))
        return QString();
    return m_desktop->waitForWindow(MainTitle);
}

int E2eSession::waitForOrvaneExit(int timeoutMs)
{
    if (!m_orvane)
        return -1;
    // waitForFinished() is false for a process that has ended already.
    if (m_orvane->state() != QProcess::NotRunning && !m_orvane->waitForFinished(timeoutMs))
        return -1;
    if (m_orvane->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_orvane->exitCode();
}

QString E2eSession::diagnostics()
{
    return QStringLiteral("service requests:\n") + m_service.requests().join(QLatin1Char('\n')) +
           QStringLiteral("\n") + m_app.logs();
}
