// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A second copy ends silently, also while the first is still at its login window.
    if (Platform::acquireInstanceGuard("Orvane_Exec") != Platform::InstanceGuard::Acquired)
        return 0;

    g_baseUrl = AppConfig::readBaseUrl(defaultBaseUrl());

    // The login window and the main window are not built yet.
    return app.exec();
}
