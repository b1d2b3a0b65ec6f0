// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitplugin.h"

#include "engines/webkit/webkitview.h"

WebView *WebKitPlugin::create(const WebView::Settings &settings, QWidget *parent)
{
    return new WebKitView(settings, parent);
}
