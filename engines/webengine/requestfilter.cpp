// SPDX-License-Identifier: MIT
#include "engines/webengine/requestfilter.h"

RequestFilter::RequestFilter(WebView::PlatformUrl platformUrl, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
    , m_platformUrl(std::move(platformUrl))
{
}

void RequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    // A platform page's address, and the session token in it, never leaves the platform.
    if (m_platformUrl && !m_platformUrl(info.requestUrl()))
        info.setHttpHeader("Referer", QByteArray());
}
