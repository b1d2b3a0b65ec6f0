// SPDX-License-Identifier: MIT
#include "net/chttp.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>
#include <QUrl>

namespace {

const char CertificateRejected[] = "orvaneCertificateRejected";

QNetworkRequest requestFor(const QString &url)
{
    return QNetworkRequest(QUrl(url, QUrl::TolerantMode));
}

} // namespace

CHttp::CHttp(QObject *parent, int timeoutMs)
    : QNetworkAccessManager(parent)
    , m_timeoutMs(timeoutMs)
{
    // A redirect is the platform's answer, never followed (Qt 6 would, even to another host).
    setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // The errors are never ignored, so the request fails; this only remembers why. (A failed
    // handshake alone says nothing of the certificate: a plain-http port fails it as well.)
    connect(this, &QNetworkAccessManager::sslErrors, this,
            [](QNetworkReply *reply, const QList<QSslError> &errors) {
                qDebug() << "the certificate of" << reply->url().host() << "was refused:" << errors;
                reply->setProperty(CertificateRejected, true);
            });
}

QNetworkReply *CHttp::get(const QString &url)
{
    return withDeadline(QNetworkAccessManager::get(requestFor(url)));
}

QNetworkReply *CHttp::post(const QString &url, const QString &data)
{
    return withDeadline(QNetworkAccessManager::post(requestFor(url), data.toUtf8()));
}

QString CHttp::unverifiedHost(const QNetworkReply *reply)
{
    return reply->error() == QNetworkReply::SslHandshakeFailedError
            && reply->property(CertificateRejected).toBool()
        ? reply->url().host()
        : QString();
}

QNetworkReply *CHttp::withDeadline(QNetworkReply *reply) const
{
    // A whole-request deadline rather than Qt's inactivity time-out: a server that
    // trickles a byte now and then must not keep a login waiting either.
    QTimer::singleShot(m_timeoutMs, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
    return reply;
}
