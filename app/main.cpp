// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/login.h"
#include "main/maindialog.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A second copy ends silently, also while the first is still at its login window.
    if (Platform::acquireInstanceGuard("Orvane_Exec") != Platform::InstanceGuard::Acquired)
        return 0;

    g_baseUrl = AppConfig::readBaseUrl(defaultBaseUrl());

    auto *login = new Login;
    if (login->exec() != QDialog::Accepted) {
        delete login;
        return 0;
    }

    auto *mainDialog = new MainDialog;
    // Quitting from the tray or the tool ends the program also while the window is
    // hidden or minimised, when closing it would not end the event loop by itself.
    QObject::connect(mainDialog, &QDialog::finished, &app, &QCoreApplication::quit);
    mainDialog->show();
    const int code = app.exec();
    // Destroying the window also stops the tool program it started.
    delete mainDialog;
    return code;
}
