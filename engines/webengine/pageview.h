// SPDX-License-Identifier: MIT
#pragma once

// What Qt 6 moved from QWebEnginePage to QWebEngineView: finding a page's view, and printing
// (Qt 5 asks the page, with a callback; Qt 6 asks the view, which signals the end).
#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace PageView {

// The view that shows page; null when none does.
inline QWidget *viewOf(QWebEnginePage *page)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QWebEngineView::forPage(page);
#else
    return page->view();
#endif
}

// Prints what view shows on printer; done(ok) runs once the page no longer needs the printer.
inline void print(QWebEngineView *view, QPrinter *printer, std::function<void(bool)> done)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(view, &QWebEngineView::printFinished, view, [connection, done](bool ok) {
            QObject::disconnect(*connection);
            done(ok);
        });
    view->print(printer);
#else
    view->page()->print(printer, done);
#endif
}

} // namespace PageView
