// SPDX-License-Identifier: MIT
#pragma once

#include "tests/e2e/appfolder.h"
#include "tests/e2e/childprocess.h"
#include "tests/e2e/demoservice.h"
#include "tests/e2e/desktop.h"

#include <QPoint>
#include <QProcess>
#include <QScopedPointer>

// One end-to-end run: its own X display, demo service and application folder, and the
// Orvane started there (the built one copied, or an installed one run as nobody).
class E2eSession
{
public:
    static const QString LoginTitle;
    static const QString MainTitle;
    static const QString ToolTitle;
    static constexpr int ScreenWidth = 1280;
    static constexpr int ScreenHeight = 1024;
    // Places on the login window (360 x 647) where a person clicks. From the forms: the
    // frame's 5 px margin, 20 px title bar and 222 px picture band put the password page at
    // y = 247; its rows follow at 6 px (user name), 49 px (password), 106 px (remember box)
    // and 127 px (the 56 px high login button). The close button ends the title bar.
    static constexpr QPoint CloseButton{340, 15};
    static constexpr QPoint UserNameEdit{170, 273};
    static constexpr QPoint PasswordEdit{170, 316};
    static constexpr QPoint RememberBox{90, 361};
    static constexpr QPoint LoginButton{180, 402};

    explicit E2eSession(const AppFolder::Programs &installed = {})
        : m_app(installed)
    {
    }
    ~E2eSession();

    // Xvfb, the service (with these options) and the folder; false with error().
    bool start(const QStringList &serviceOptions = {});
    QString error() const { return m_error; }
    DemoService &service() { return m_service; }
    // An unrelated site, which the platform's attack page ("orvane/attack") leads to.
    DemoService &foreign() { return m_foreign; }
    // Its address by a name other than the platform's, as another site has: cookies do not tell
    // the ports of one host apart.
    QString foreignUrl() { return m_foreign.baseUrl().replace("127.0.0.1", "localhost"); }
    AppFolder &app() { return m_app; }
    Desktop &desktop() { return *m_desktop; }
    QProcess *orvane() { return m_orvane.data(); }

    // Starts Orvane and waits for its login window; the window id, or empty.
    QString startOrvane();
    // Fills the password page and presses "登录", as a person would.
    bool typeLogin(const QString &loginWindow, const QString &userName, const QString &password,
                   bool tickRemember = false);
    // Starts Orvane, logs in and waits for the main window; its id, or empty.
    QString passwordLogin(const QString &userName = QStringLiteral("13800000001"),
                          const QString &password = QStringLiteral("demo123"),
                          bool remember = false);
    // Starts Orvane and logs in by QR code, confirmed for account as a phone would; the main
    // window's id, or empty.
    QString qrLogin(const QString &account = QStringLiteral("13900000002"));
    // Confirms the newest QR code for account through the page the code leads to.
    bool confirmQrCode(const QString &account);
    // A system tray (trayer), 24 px square in the screen's top right corner, for the programs
    // started after it; its window's id, or empty.
    QString startTray();
    // Waits for Orvane to end; its exit code, or -1 if it did not end normally in time.
    int waitForOrvaneExit(int timeoutMs = 30000);
    // The programs' logs and the service's requests, for failure messages.
    QString diagnostics();

private:
    ChildProcess m_xvfb;
    DemoService m_foreign;
    DemoService m_service;
    AppFolder m_app;
    QScopedPointer<Desktop> m_desktop;
    QScopedPointer<QProcess> m_orvane;
    QScopedPointer<QProcess> m_tray;
    QString m_error;
};
