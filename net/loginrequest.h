// SPDX-License-Identifier: MIT
#pragma once

#include "net/replyenvelope.h"

class CHttp;
class QNetworkReply;

// The password login, one request wherever it starts: the login page, and the main window
// renewing a session that the platform has ended.
QNetworkReply *sendLogin(CHttp &http, const QString &baseUrl, const QString &userName,
                         const QString &password);

// What the finished reply of sendLogin says.
LoginReply readLogin(QNetworkReply *reply);
