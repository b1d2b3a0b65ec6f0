// SPDX-License-Identifier: MIT
#include "app/benchprobe.h"

#include "common/benchstamp.h"
#include "main/webview.h"

#include <QDialog>
#include <QEvent>

namespace BenchProbe {

namespace {

// Lets the window paint, then stamps: the stamp marks the end of its first paint.
class FirstPaint : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != parent() || event->type() != QEvent::Paint)
            return false;
        watched->removeEventFilter(this);
        const bool handled = watched->event(event);
        BenchStamp::stamp("first-paint");
        deleteLater();
        return handled;
    }
};

} // namespace

void watchLogin(QDialog *login)
{
    if (!BenchStamp::enabled())
        return;
    login->installEventFilter(new FirstPaint(login));
    QObject::connect(login, &QDialog::accepted, [] { BenchStamp::stamp("login-reply"); });
}

void watchMain(QDialog *mainWindow)
{
    if (!BenchStamp::enabled())
        return;
    BenchStamp::stamp("main-window");
    if (auto *view = mainWindow->findChild<WebView *>())
        QObject::connect(view, &WebView::loadFinished, [] { BenchStamp::stamp("page-loaded"); });
}

} // namespace BenchProbe
