// SPDX-License-Identifier: MIT
// The floor of Orvane's main window on QtWebEngine: a bare QWebEngineView, maximised like the
// main window, loading the page named on the command line. Each line "load URL" on standard
// input loads another page; every loadFinished is stamped as Orvane stamps it.
#include "common/benchstamp.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    // As Orvane sets it: QtWebEngine wants shared contexts before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_floor_webengine URL\n");
        return 2;
    }
    BenchStamp::stamp("login-reply"); // the moment Orvane would have its login reply
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished,
                     [] { BenchStamp::stamp("page-loaded"); });
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
