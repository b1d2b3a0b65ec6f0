// SPDX-License-Identifier: MIT
#include "app/benchprobe.h"
#include "common/appconfig.h"
#include "common/channelports.h"
#include "common/companionchannel.h"
#include "common/globals.h"
#include "common/logsafe.h"
#include "common/qtpaths.h"
#include "frame/highdpi.h"
#include "login/login.h"
#include "main/maindialog.h"
#include "main/webengines.h"
#include "platform/platform.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>
#include <QUdpSocket>

#include <memory>
#include <string>

namespace {

// Qt's own dialogs (the upload's file dialog, printing, messages) speak the program's language:
// Chinese, in the system's variant of it where that is one, from Debian's Qt translations.
void loadQtTranslations(QApplication &app)
{
    const QLocale system;
    const QLocale chinese = system.language() == QLocale::Chinese
        ? system
        : QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    auto *translator = new QTranslator(&app);
    if (translator->load(chinese, QStringLiteral("qt"), QStringLiteral("_"),
                         QtPaths::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

} // namespace

int main(int argc, char *argv[])
{
    // No secret in any log line, whoever writes it: Orvane, Qt, a page's console.
    LogSafe::install();
    // Web storage, cookies, caches, the store: what Orvane and its web engine write is the
    // user's alone.
    Platform::keepNewFilesPrivate();
    // Every window is painted by the raster engine and the web view renders in software, so
    // OpenGL under X11 would only cost start-up time and tens of MB. Without it, Qt Quick (in
    // which QtWebEngine 6 shows its pages) must draw in software too, or it crashes. A choice
    // made in the environment still wins; the tool program inherits this one.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
            qputenv("QT_QUICK_BACKEND", "software");
    }
    // Sharp on dense screens: windows scale by the screen's factor and pictures come from their
    // "@2x" versions. With scaling on, Qt also stops offsetting QT_SCREEN_SCALE_FACTORS against
    // the font DPI, which drew point-sized labels at half size. A factor from the screen's DPI
    // is rounded, .5 down: the fixed-size windows still fit a 150 % laptop screen, text follows
    // the DPI, and X servers that measure 100 DPI (Xvfb) keep 1. QT_SCALE_FACTOR is exact.
    // QtWebEngine, when the main window loads it, wants its contexts shared from the start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    HighDpi::enable();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Orvane")));
    loadQtTranslations(app);

    const AppConfig::Config config = AppConfig::readConfig();
    // Chromium's sandbox refuses root and needs namespaces some containers deny: QtWebEngine
    // runs without it then, rather than not at all (the main window used to vanish).
    // So does it when QtWebKit is asked for but not installed: QtWebEngine stands in then.
    const QString engine = WebEngines::fromConfig(config.engine);
    if ((engine == WebEngines::WebEngine || !WebEngines::isInstalled(engine))
        && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")
        && !Platform::sandboxCanRun()) {
        qDebug() << "Chromium's sandbox cannot run here (root or no user namespaces):"
                    " QtWebEngine runs without it";
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // A second copy ends, also while the first is still at its login window; the first
    // shows its window to the user who tried to start the program again, on the ports it noted.
    std::string runningCopy;
    if (Platform::acquireInstanceGuard("Orvane_Exec", &runningCopy)
        != Platform::InstanceGuard::Acquired) {
        CompanionChannel::askToShow(ChannelPorts::ofRunningCopy(runningCopy, config).main);
        return 0;
    }
    const ChannelPorts::Ports ports = ChannelPorts::chooseForThisRun(config);
    if (!config.baseUrl.isEmpty())
        g_baseUrl = config.baseUrl;

    const std::unique_ptr<Login> login(new Login);
    BenchProbe::watchLogin(login.get());
    {
        // Until the main window takes the channel over, a second copy's "showMain" is for the
        // login window.
        QUdpSocket channel;
        CompanionChannel::bind(&channel, ports.main, ports.tool);
        QObject::connect(&channel, &QUdpSocket::readyRead, login.get(), [&] {
            if (CompanionChannel::readPending(&channel, ports.tool)
                    .contains(QLatin1String("showMain"))) {
                login->showNormal();
                login->raise();
                login->activateWindow();
            }
        });
        if (login->exec() != QDialog::Accepted)
            return 0;
    }

    // Destroyed on return, and the tool program it started goes with it.
    const std::unique_ptr<MainDialog> mainDialog(new MainDialog);
    BenchProbe::watchMain(mainDialog.get());
    // Quitting from the tray or the tool ends the program also while the window is
    // hidden or minimised, when closing it would not end the event loop by itself.
    QObject::connect(mainDialog.get(), &QDialog::finished, &app, &QCoreApplication::quit);
    // The session ended for good, or the user switches accounts: the login window again, not
    // logging in by itself, and the same main window after it; closing it ends the program, as
    // at the start.
    QObject::connect(mainDialog.get(), &MainDialog::loginNeeded, [&](const QString &message) {
        auto *again = new Login;
        again->setAutomaticLogin(false);
        if (!message.isEmpty())
            again->showMessage(message);
        mainDialog->setStandIn(again);
        QObject::connect(again, &QDialog::finished, mainDialog.get(), [&, again](int result) {
            again->deleteLater();
            result == QDialog::Accepted ? mainDialog->loggedIn() : mainDialog->reject();
        });
        again->show();
    });
    mainDialog->show();
    return app.exec();
}
