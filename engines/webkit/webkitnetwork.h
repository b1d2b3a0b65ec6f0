// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QNetworkAccessManager>

// Every request the QtWebKit view makes goes through here: cookies that outlive the session
// are kept in the storage folder, and requests to another origin than the page carry no Referer.
class WebKitNetwork final : public QNetworkAccessManager
{
    Q_OBJECT

public:
    WebKitNetwork(const WebView::Settings &settings, QObject *parent = nullptr);

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;
};
