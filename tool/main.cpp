// SPDX-License-Identifier: MIT
#include "frame/highdpi.h"
#include "tool/ctool.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // Scaled as Orvane is, so that the two windows keep their sizes side by side.
    HighDpi::enable();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Orvane")));
    CTool tool;
    // Accepted means Orvane is gone.
    if (tool.exec() == QDialog::Accepted)
        return 1;

    // The window was hidden, which ends the modal run; the program lives on listening for the
    // next toggle. It still has to end with Orvane, with the same status 1 as above, whether
    // the window is hidden or shown again by then.
    QObject::connect(&tool, &QDialog::accepted, &app, [] { QCoreApplication::exit(1); });
    return app.exec();
}
