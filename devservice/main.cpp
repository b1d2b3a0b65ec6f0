// SPDX-License-Identifier: MIT
// orvane-demo-service: the platform on this machine, for trying Orvane out and for the
// end-to-end tests. One log line per request goes to standard error.
#include "devservice/accounts.h"
#include "devservice/demoservice.h"

#include <QGuiApplication>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <pthread.h>

namespace {

struct Options
{
    std::string bind = "127.0.0.1";
    int port = 0;
    DemoService::Config config;
};

// The port of the base URL the programs are built with, so both meet without conf.ini.
int builtInPort()
{
    return QUrl(QStringLiteral(ORVANE_BASE_URL)).port(80);
}

void usage(std::FILE *out)
{
    std::fprintf(out,
                 "usage: orvane-demo-service [--port N] [--bind ADDRESS] [--https]\n"
                 "                          [--role platform|foreign] [--foreign URL]\n"
                 "  --port N        port to listen on (default %d, from the built-in base URL;\n"
                 "                  0 picks a free one)\n"
                 "  --bind ADDRESS  address to listen on (default 127.0.0.1)\n"
                 "  --https         serve over TLS with a self-signed certificate for 127.0.0.1\n"
                 "                  and localhost, made at start-up and valid for a day\n"
                 "  --role foreign  be an unrelated web site instead of the platform: /evil,\n"
                 "                  /frame, /pixel.png and /collect; logs each request's\n"
                 "                  Referer, Origin and Cookie\n"
                 "  --foreign URL   the foreign site's base (http://HOST:PORT/), for the\n"
                 "                  platform's security test page orvane/attack\n"
                 "Control requests (tests): demo/control?sessions=forget forgets every\n"
                 "session; demo/control?stall=1 holds every other request unanswered until\n"
                 "demo/control?stall=0 closes them; demo/slow?ms=N answers after N ms.\n",
                 builtInPort());
}

bool parseOptions(int argc, char *argv[], Options &options)
{
    options.port = builtInPort();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            char *end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                std::fprintf(stderr, "orvane-demo-service: not a port: %s\n", argv[i]);
                return false;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--bind" && hasValue) {
            options.bind = argv[++i];
        } else if (arg == "--https") {
            options.config.https = true;
        } else if (arg == "--role" && hasValue) {
            const std::string role = argv[++i];
            if (role != "platform" && role != "foreign") {
                std::fprintf(stderr, "orvane-demo-service: no such role: %s\n", role.c_str());
                return false;
            }
            options.config.role =
                role == "foreign" ? DemoService::Role::Foreign : DemoService::Role::Platform;
        } else if (arg == "--foreign" && hasValue) {
            const std::string url = argv[++i];
            const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
            const bool web = parsed.scheme() == QLatin1String("http")
                || parsed.scheme() == QLatin1String("https");
            if (!parsed.isValid() || !web || parsed.host().isEmpty() || url.back() != '/') {
                std::fprintf(stderr,
                             "orvane-demo-service: --foreign wants an http URL ending in /: %s\n",
                             url.c_str());
                return false;
            }
            options.config.foreignUrl = url;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            usage(stderr);
            return false;
        }
    }
    return true;
}

void printWelcome(const std::string &baseUrl, const DemoService &service,
                  const DemoService::Config &config)
{
    // The first line is what scripts and tests wait for.
    std::printf("orvane-demo-service: listening on %s\n\n", baseUrl.c_str());
    if (config.https) {
        std::printf("Self-signed certificate, SHA-256 %s\n\n",
                    service.certificateFingerprint().c_str());
    }
    if (config.role == DemoService::Role::Foreign) {
        std::printf("An unrelated web site: /evil, /frame, /pixel.png, /collect.\n");
        std::fflush(stdout);
        return;
    }
    if (!config.foreignUrl.empty()) {
        std::printf("Security test page: %sorvane/attack (leads to %s)\n\n", baseUrl.c_str(),
                    config.foreignUrl.c_str());
    }
    std::printf("Demo accounts (user name / password):\n");
    for (const DemoAccount &account : demoAccounts()) {
        std::printf("  %-12s %-12s %s (%s)\n", account.userName.c_str(), account.password.c_str(),
                    account.displayName.c_str(), account.subject.c_str());
    }
    std::printf(
        "\nQR-code login: the code in the login window holds the address of a confirm page,\n"
        "which stands in for the phone app. Open %sorvane/qrcode/confirm?ticket=latest\n"
        "in a browser and pick an account, or confirm the newest code from the command line:\n"
        "  curl '%sorvane/qrcode/confirm?ticket=latest&account=%s'\n\n",
        baseUrl.c_str(), baseUrl.c_str(), demoAccounts().front().userName.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;

    // Taken by one waiting thread, so that the server stops cleanly on Ctrl+C and kill;
    // blocked before any thread starts, so every worker inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // For the fonts of the PDF made at start-up; no window ever opens. Standard error is the
    // request log, so Qt's start-up remarks about a desktop the service never uses (no
    // runtime directory) must not land there; a missing PDF is reported below instead.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static char program[] = "orvane-demo-service";
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    char *qtArgv[] = {program, platformOption, offscreen, nullptr};
    int qtArgc = 3;
    const QGuiApplication app(qtArgc, qtArgv);
    DemoService service(options.config);
    qInstallMessageHandler(nullptr);
    if (!service.error().empty()) {
        std::fprintf(stderr, "orvane-demo-service: %s\n", service.error().c_str());
        return 1;
    }
    const int port = service.bind(options.bind, options.port);
    if (port < 0) {
        std::fprintf(stderr, "orvane-demo-service: cannot listen on %s:%d: %s\n",
                     options.bind.c_str(), options.port, std::strerror(errno));
        return 1;
    }
    const bool ipv6 = options.bind.find(':') != std::string::npos;
    const std::string host = ipv6 ? '[' + options.bind + ']' : options.bind;
    const std::string scheme = options.config.https ? "https://" : "http://";
    printWelcome(scheme + host + ':' + std::to_string(port) + '/', service, options.config);

    std::thread([&service, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service.stop();
    }).detach();

    return service.run() ? 0 : 1;
}
