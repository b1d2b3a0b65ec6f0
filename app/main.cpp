// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/login.h"
#include "main/maindialog.h"
#include "platform/platform.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    // Every window is painted by the raster engine and the web view renders in software, so
    // OpenGL under X11 would only cost start-up time and tens of MB. A choice made in the
    // environment still wins; the tool program inherits this one.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);

    // A second copy ends silently, also while the first is still at its login window.
    if (Platform::acquireInstanceGuard("Orvane_Exec") != Platform::InstanceGuard::Acquired)
        return 0;

    g_baseUrl = AppConfig::readBaseUrl(defaultBaseUrl());

    const std::unique_ptr<Login> login(new Login);
    if (login->exec() != QDialog::Accepted)
        return 0;

    // Destroyed on return, and the tool program it started goes with it.
    const std::unique_ptr<MainDialog> mainDialog(new MainDialog);
    // Quitting from the tray or the tool ends the program also while the window is
    // hidden or minimised, when closing it would not end the event loop by itself.
    QObject::connect(mainDialog.get(), &QDialog::finished, &app, &QCoreApplication::quit);
    mainDialog->show();
    return app.exec();
}
