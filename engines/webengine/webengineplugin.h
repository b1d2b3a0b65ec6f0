// SPDX-License-Identifier: MIT
#pragma once

#include "main/webengines.h"

#include <QObject>

// What Orvane loads of this engine's library: views of the platform shown by WebEngine.
class WebEnginePlugin final : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OrvaneWebViewFactory_iid)
    Q_INTERFACES(WebViewFactory)

public:
    WebView *create(const WebView::Settings &settings, QWidget *parent) override;
};
