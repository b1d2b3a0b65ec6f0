// SPDX-License-Identifier: MIT
#include "net/replyenvelope.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QByteArray upToZero(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

} // namespace

QString decodeReplyBody(const QByteArray &body)
{
    return QString::fromUtf8(upToZero(body));
}

std::optional<QVariantMap> parseReplyObject(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(upToZero(text.toUtf8()), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.toVariant().toMap();
}

int replyStatus(const QVariantMap &reply)
{
    return reply.value(QStringLiteral("status")).toInt();
}

int parseReplyEnvelope(const QString &text, QString &msg, QString &token)
{
    const std::optional<QVariantMap> envelope = parseReplyObject(text);
    if (!envelope)
        return 0;

    const int status = replyStatus(*envelope);
    msg = envelope->value(QStringLiteral("msg")).toString();
    if (status == 1)
        token = envelope->value(QStringLiteral("result"))
                    .toMap()
                    .value(QStringLiteral("token"))
                    .toString();
    return status;
}

QString certificateTip(const QString &host)
{
    return QStringLiteral("无法验证服务器 %1 的证书，已停止连接").arg(host);
}

LoginReply readLoginReply(const QByteArray &body, const QString &unverifiedHost)
{
    LoginReply reply;
    if (!unverifiedHost.isEmpty()) {
        reply.tip = certificateTip(unverifiedHost);
        return reply;
    }
    const int status = parseReplyEnvelope(decodeReplyBody(body), reply.tip, reply.token);
    reply.success = status == 1;
    if (!reply.success && reply.tip.isEmpty())
        reply.tip = QStringLiteral("网络连接失败，请稍后重试");
    return reply;
}

int parseStateReply(const QString &text, QString &userName, QString &passWord)
{
    const std::optional<QVariantMap> reply = parseReplyObject(text);
    if (!reply)
        return 0;
    const int status = replyStatus(*reply);
    if (status == 1) {
        userName = reply->value(QStringLiteral("userName")).toString();
        passWord = reply->value(QStringLiteral("passWord")).toString();
    }
    return status;
}

QrPoll readQrStateReply(const QByteArray &body, QString &userName, QString &passWord)
{
    const int status = parseStateReply(decodeReplyBody(body), userName, passWord);
    QrPoll poll;
    poll.stop = !userName.isEmpty() && !passWord.isEmpty();
    poll.confirmed = poll.stop && status == 1;
    return poll;
}
