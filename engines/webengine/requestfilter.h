// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QWebEngineUrlRequestInterceptor>

// Every request the QtWebEngine view makes passes here: those beyond the platform carry no
// Referer.
class RequestFilter final : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    RequestFilter(WebView::PlatformUrl platformUrl, QObject *parent = nullptr);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    const WebView::PlatformUrl m_platformUrl;
};
