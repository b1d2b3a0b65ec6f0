// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QString>
#include <QStringList>
#include <QtPlugin>

// What each engine library is: a Qt plugin that makes views of its engine. The interface's id
// names its version: a library of another version of Orvane, or of anyone else, is refused.
class WebViewFactory
{
public:
    virtual ~WebViewFactory() = default;
    virtual WebView *create(const WebView::Settings &settings, QWidget *parent) = 0;
};
#define OrvaneWebViewFactory_iid "io.github.orvane.WebViewFactory/4"
Q_DECLARE_INTERFACE(WebViewFactory, OrvaneWebViewFactory_iid)

// The web engines the platform can be shown with, each in a library of its own that is loaded
// only when the main window is built: the login window maps neither.
namespace WebEngines {

inline constexpr char WebKit[] = "webkit";       // the design's
inline constexpr char WebEngine[] = "webengine"; // the default

// The engine conf.ini names: "webkit" or "webengine"; anything else is the default, logged.
QString fromConfig(const QString &value);

// Where the library of an engine is looked for: beside the executable, then where the
// installation puts it, then, in a development build only, where the build put it.
QStringList libraryPaths(const QString &engine);

// Whether a library of the engine is in one of those places (a build without QtWebKit has
// none of it); whether it loads is known only by loading it.
bool isInstalled(const QString &engine);

// A view of the engine; if its library is missing or broken, of the other one; null when
// neither loads. Why the engine asked for could not be used is in problem.
WebView *create(const QString &engine, const WebView::Settings &settings, QWidget *parent,
                QString *problem);

} // namespace WebEngines
