// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QWebEngineUrlRequestInterceptor>

// Every request the QtWebEngine view makes passes here: those to another origin than the page
// that made them carry no Referer.
class RequestFilter final : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};
