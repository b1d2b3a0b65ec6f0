// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// A reply body as text: UTF-8 up to the first zero byte.
QString decodeReplyBody(const QByteArray &body);

// A reply text read as a JSON object (up to the first zero character); nothing when
// it is not valid JSON or not an object.
std::optional<QVariantMap> parseReplyObject(const QString &text);

// The "status" of a reply object with Qt's variant conversion: numbers, digit texts
// and true count; anything else is 0.
int replyStatus(const QVariantMap &reply);

// Reads the service's reply envelope {"status", "msg", "result": {"token"}}.
// Gives the status (1 is success). Anything but a JSON object gives 0 and leaves
// msg and token alone; otherwise msg is always set, and token only on status 1.
int parseReplyEnvelope(const QString &text, QString &msg, QString &token);

// What a password login reply tells the login page: success (status 1) with its token, and
// the tip to show. A failed reply without a message (no network, time-out, HTTP error, not
// JSON) gets a tip that says so. unverifiedHost, when set, is the host whose certificate could
// not be verified: that stopped the request, and the tip names it whatever the body.
struct LoginReply
{
    bool success = false;
    QString token;
    QString tip;
};
LoginReply readLoginReply(const QByteArray &body, const QString &unverifiedHost = QString());

// The tip for a request stopped because the certificate of host could not be verified.
QString certificateTip(const QString &host);

// Reads a QR-code state reply {"status", "userName", "passWord"}; gives the status and, on
// status 1, sets both outputs. Anything but a JSON object gives 0 and sets nothing.
int parseStateReply(const QString &text, QString &userName, QString &passWord);

// One state reply read into the credentials: polling ends once both are known, and the
// login is confirmed only when the reply that completed them had status 1.
struct QrPoll
{
    bool stop = false;
    bool confirmed = false;
};
QrPoll readQrStateReply(const QByteArray &body, QString &userName, QString &passWord);
