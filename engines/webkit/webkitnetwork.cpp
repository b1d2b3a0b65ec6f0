// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitnetwork.h"

#include "engines/webkit/cookiejar.h"

#include <QNetworkRequest>

WebKitNetwork::WebKitNetwork(const WebView::Settings &settings, QObject *parent)
    : QNetworkAccessManager(parent)
    , m_platformUrl(settings.platformUrl)
{
    setCookieJar(new CookieJar(settings.storagePath + QStringLiteral("/cookies"), this));
}

QNetworkReply *WebKitNetwork::createRequest(Operation op, const QNetworkRequest &request,
                                            QIODevice *outgoingData)
{
    if (!m_platformUrl || m_platformUrl(request.url()))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    // A platform page's address, and the session token in it, never leaves the platform.
    QNetworkRequest outside(request);
    outside.setRawHeader("Referer", QByteArray());
    return QNetworkAccessManager::createRequest(op, outside, outgoingData);
}
