// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitnetwork.h"

#include "engines/webkit/cookiejar.h"

#include <QNetworkRequest>

WebKitNetwork::WebKitNetwork(const WebView::Settings &settings, QObject *parent)
    : QNetworkAccessManager(parent)
{
    setCookieJar(new CookieJar(settings.storagePath + QStringLiteral("/cookies"), this));
}

QNetworkReply *WebKitNetwork::createRequest(Operation op, const QNetworkRequest &request,
                                            QIODevice *outgoingData)
{
    // A page's address, and the session token in the start page's, stays with its origin: a
    // request to any other, a trusted host's included, carries no Referer.
    const QUrl referrer(QString::fromUtf8(request.rawHeader("Referer")));
    if (!referrer.isValid() || WebView::sameOrigin(referrer, request.url()))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    QNetworkRequest outside(request);
    outside.setRawHeader("Referer", QByteArray());
    return QNetworkAccessManager::createRequest(op, outside, outgoingData);
}
