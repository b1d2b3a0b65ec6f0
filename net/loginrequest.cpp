// SPDX-License-Identifier: MIT
#include "net/loginrequest.h"

#include "net/chttp.h"
#include "net/serviceurl.h"

#include <QDebug>
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
    const LoginReply login = readLoginReply(reply->readAll(), CHttp::unverifiedHost(reply));
    // The log names the real reason: before, an error of the platform read as a network one.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!login.success && status >= 400)
        qDebug() << "the platform answered the login with HTTP" << status;
    else if (!login.success && reply->error() != QNetworkReply::NoError)
        qDebug() << "the login request failed:" << reply->error(); // its text holds the URL
    return login;
}
