// SPDX-License-Identifier: MIT
#include "net/loginrequest.h"

#include "net/chttp.h"
#include "net/serviceurl.h"

#include <QNetworkReply>

QNetworkReply *sendLogin(CHttp &http, const QString &baseUrl, const QString &userName,
                         const QString &password)
{
    return http.post(serviceUrl(baseUrl,
                                QStringLiteral("orvane/client/login?userName=%1&passWord=%2"),
                                {userName, password}),
                     QString());
}

LoginReply readLogin(QNetworkReply *reply)
{
    return readLoginReply(reply->readAll(), CHttp::unverifiedHost(reply));
}
