// SPDX-License-Identifier: MIT
#include "engines/webengine/webengineplugin.h"

#include "engines/webengine/warmstart.h"
#include "engines/webengine/webengineview.h"

WebView *WebEnginePlugin::create(const WebView::Settings &settings, QWidget *parent)
{
    return new WebEngineView(settings, parent);
}

void WebEnginePlugin::prepare(const WebView::Settings &settings, QObject *owner)
{
    WarmStart::begin(settings, owner);
}
