// SPDX-License-Identifier: MIT
#pragma once

#include <QNetworkAccessManager>

// The one way the programs talk to the service: GET a URL, or POST a text body.
// Cookies set by one reply go out again with later requests of the same instance. A server
// whose certificate cannot be verified is never talked to: its request fails.
class CHttp : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // No request outlives this; a reply still running then is aborted and finishes as failed.
    static constexpr int DefaultTimeoutMs = 15000;

    explicit CHttp(QObject *parent = nullptr, int timeoutMs = DefaultTimeoutMs);

    QNetworkReply *get(const QString &url);
    QNetworkReply *post(const QString &url, const QString &data);

    // The host whose certificate could not be verified, when that is why reply failed; empty
    // otherwise.
    static QString unverifiedHost(const QNetworkReply *reply);

private:
    QNetworkReply *withDeadline(QNetworkReply *reply) const;

    const int m_timeoutMs;
};
