// SPDX-License-Identifier: MIT
#include "engines/webengine/requestfilter.h"

void RequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    // A page's address, and the session token in the start page's, stays with its origin: a
    // request to any other, a trusted host's included, carries no Referer.
    if (!WebView::sameOrigin(info.initiator(), info.requestUrl()))
        info.setHttpHeader("Referer", QByteArray());
}
