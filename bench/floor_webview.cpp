// SPDX-License-Identifier: MIT
// The floor of Orvane's main window: a bare web view, maximised like the main window, loading
// the page named on the command line; QtWebKit's QWebView, or with FLOOR_WEBENGINE QtWebEngine's
// QWebEngineView. Each line "load URL" on standard input loads another page; every loadFinished
// is stamped as Orvane stamps it under ORVANE_BENCH_STAMPS.
#include "common/benchstamp.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QUrl>

#include <cstdio>
#include <iostream>
#include <string>

#ifdef FLOOR_WEBENGINE
#include <QWebEngineView>
using View = QWebEngineView;
#else
#include <QWebView>
using View = QWebView;
#endif

int main(int argc, char *argv[])
{
#ifdef FLOOR_WEBENGINE
    // As Orvane sets it: QtWebEngine wants shared contexts before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    BenchStamp::stamp("login-reply"); // the moment Orvane would have its login reply
    View view;
    QObject::connect(&view, &View::loadFinished, [] { BenchStamp::stamp("page-loaded"); });
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.showMaximized();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        if (line.rfind("load ", 0) == 0)
            view.load(QUrl(QString::fromStdString(line.substr(5))));
    });
    return app.exec();
}
