// SPDX-License-Identifier: MIT
#include "net/chttp.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

QNetworkRequest requestFor(const QString &url)
{
    return QNetworkRequest(QUrl(url, QUrl::TolerantMode));
}

} // namespace

CHttp::CHttp(QObject *parent, int timeoutMs)
    : QNetworkAccessManager(parent)
    , m_timeoutMs(timeoutMs)
{
}

QNetworkReply *CHttp::get(const QString &url)
{
    return withDeadline(QNetworkAccessManager::get(requestFor(url)));
}

QNetworkReply *CHttp::post(const QString &url, const QString &data)
{
    return withDeadline(QNetworkAccessManager::post(requestFor(url), data.toUtf8()));
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
