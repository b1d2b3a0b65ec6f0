// SPDX-License-Identifier: MIT
#include "tests/e2e/e2esession.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>

const QString E2eSession::LoginTitle = QStringLiteral("Orvane-登录");
const QString E2eSession::MainTitle = QStringLiteral("Orvane-主页");
const QString E2eSession::ToolTitle = QStringLiteral("Orvane-工具");

E2eSession::~E2eSession()
{
    if (m_tray) {
        m_tray->kill();
        m_tray->waitForFinished(5000);
    }
    if (!m_orvane || m_orvane->state() == QProcess::NotRunning)
        return;
    // With its main window up Orvane can end properly, taking the tool program with it.
    if (!m_desktop->visibleWindow(MainTitle).isEmpty()) {
        m_app.sendToOrvane("closeMain");
        if (m_orvane->waitForFinished(10000))
            return;
    }
    m_orvane->kill();
    m_orvane->waitForFinished(5000);
}

bool E2eSession::start(const QStringList &serviceOptions)
{
    for (const char *tool : {"Xvfb", "xdotool", "import", "sqlite3", "trayer", "xsetroot",
                             "xcompmgr", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is missing; ./scripts/install-deps installs it")
                          .arg(QString::fromLatin1(tool));
            return false;
        }
    }
    // -displayfd: Xvfb takes the first free display and writes its number once it is ready,
    // so parallel tests never collide. -noreset: no reset when the last client leaves.
    const QStringList xvfb{
        "-displayfd", "1",
        "-noreset",   "-nolisten",
        "tcp",        "-screen",
        "0",          QStringLiteral("%1x%2x24").arg(ScreenWidth).arg(ScreenHeight)};
    if (!m_xvfb.start(QStringLiteral("Xvfb"), xvfb,
                      QRegularExpression(QStringLiteral("^(\\d+)$")))) {
        m_error = m_xvfb.error();
        return false;
    }
    const QString display = QLatin1Char(':') + m_xvfb.readyText();
    if (!m_foreign.start({QStringLiteral("--role"), QStringLiteral("foreign")})
        || !m_service.start(serviceOptions + QStringList{"--foreign", foreignUrl()})
        || !m_app.create(m_service.baseUrl(), display)) {
        m_error = m_foreign.error() + m_service.error() + m_app.error();
        return false;
    }
    m_desktop.reset(new Desktop(display));
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
    bool ok = m_desktop->click(loginWindow, UserNameEdit) && m_desktop->key("ctrl+a")
        && m_desktop->type(userName) && m_desktop->click(loginWindow, PasswordEdit)
        && m_desktop->key("ctrl+a") && m_desktop->type(password);
    if (tickRemember)
        ok = ok && m_desktop->click(loginWindow, RememberBox);
    return ok && m_desktop->click(loginWindow, LoginButton);
}

QString E2eSession::passwordLogin(const QString &userName, const QString &password, bool remember)
{
    const QString login = startOrvane();
    if (login.isEmpty() || !typeLogin(login, userName, password, remember))
        return QString();
    return m_desktop->waitForWindow(MainTitle);
}

QString E2eSession::qrLogin(const QString &account)
{
    return !startOrvane().isEmpty()
            && m_service.waitForRequest(QStringLiteral("POST /orvane/qrcode/getQRcodeState 200"))
            && confirmQrCode(account)
        ? m_desktop->waitForWindow(MainTitle)
        : QString();
}

bool E2eSession::confirmQrCode(const QString &account)
{
    // The command-line form of the confirm page.
    QNetworkAccessManager phone;
    QNetworkReply *reply = phone.get(QNetworkRequest(
        QUrl(m_service.baseUrl() + "orvane/qrcode/confirm?ticket=latest&account=" + account)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    const bool confirmed = finished.wait(15000)
        && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    delete reply;
    return confirmed;
}

QString E2eSession::startTray()
{
    m_tray.reset(new QProcess);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_app.environment().value("DISPLAY"));
    m_tray->setProcessEnvironment(environment);
    m_tray->start(QStringLiteral("trayer"),
                  {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "24",
                   "--height", "24"});
    return m_tray->waitForStarted(10000) ? m_desktop->waitForWindow(QStringLiteral("panel"))
                                         : QString();
}

int E2eSession::waitForOrvaneExit(int timeoutMs)
{
    if (!m_orvane)
        return -1;
    // waitForFinished() is false for a process that has ended already.
    if (m_orvane->state() != QProcess::NotRunning && !m_orvane->waitForFinished(timeoutMs))
        return -1;
    return m_orvane->exitStatus() == QProcess::NormalExit ? m_orvane->exitCode() : -1;
}

QString E2eSession::diagnostics()
{
    return QStringLiteral("service requests:\n") + m_service.requests().join(QLatin1Char('\n'))
        + QLatin1Char('\n') + m_app.logs();
}
