// SPDX-License-Identifier: MIT
#pragma once

#include <QNetworkReply>
#include <QString>
#include <QUrl>

// What the main window decides about its pages without a window: why a page failed and what
// to tell the user, when to try again, the zoom steps, and where the platform's login is.
namespace Browsing {

enum class Failure { Connection, HttpStatus, Certificate, Timeout, Other };

// From what a request of our own for the page met.
Failure classify(QNetworkReply::NetworkError error, int httpStatus);

struct Message
{
    QString title;
    QString detail;
};
// In plain words, naming the host at most: never the address, which may hold the token.
Message describe(Failure failure, int httpStatus, const QString &host);

// Seconds to wait before the attempt-th automatic retry (from 0): doubling from 2, at most 60.
int retryDelaySeconds(int attempt);

// The zoom factor steps from current along the usual steps (50 % to 300 %).
qreal zoomed(qreal current, int steps);

// Whether the page is the platform's own login: the session has ended.
bool isPlatformLogin(const QUrl &url, const QString &baseUrl);

// Whether to open the page again after a new login: not when its address carries the old
// session's credentials (the start page carries its token).
bool isPageToReturnTo(const QUrl &page);

} // namespace Browsing
