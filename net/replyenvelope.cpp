// SPDX-License-Identifier: MIT
#include "net/replyenvelope.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariantMap>

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

int parseReplyEnvelope(const QString &text, QString &msg, QString &token)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(upToZero(text.toUtf8()), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return 0;

    const QVariantMap envelope = doc.toVariant().toMap();
    const int status = envelope.value(QStringLiteral("status")).toInt();
    msg = envelope.value(QStringLiteral("msg")).toString();
    if (status == 1)
        token = envelope.value(QStringLiteral("result")).toMap().value(QStringLiteral("token")).toString();
    return status;
}
