// SPDX-License-Identifier: MIT
#include "engines/webengine/webengineplugin.h"

#include "engines/webengine/webengineview.h"

WebView *WebEnginePlugin::create(const WebView::Settings &settings, QWidget *parent)
{
    return new WebEngineView(settings, parent);
}
