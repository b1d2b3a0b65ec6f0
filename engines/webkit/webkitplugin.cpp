// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitplugin.h"

#include "engines/webkit/webkitview.h"

WebView *WebKitPlugin::create(const WebView::Settings &settings, QWidget *parent)
{
    return new WebKitView(settings, parent);
}

void WebKitPlugin::prepare(const WebView::Settings &, QObject *)
{
    // QtWebKit starts within its first view's construction, in a few milliseconds; loading the
    // library was the part worth doing early.
}
