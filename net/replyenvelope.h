// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A reply body as text: UTF-8 up to the first zero byte.
QString decodeReplyBody(const QByteArray &body);

// Reads the service's reply envelope {"status", "msg", "result": {"token"}}.
// Gives the status (1 is success). Anything but a JSON object gives 0 and leaves
// msg and token alone; otherwise msg is always set, and token only on status 1.
int parseReplyEnvelope(const QString &text, QString &msg, QString &token);
