// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

// No log line holds a secret: the session token, a password, or the query values of an
// address that carries them. Addresses are written through url(); everything else a program
// or a page logs passes the handler install() sets up, which replaces each secret the program
// has come to know (remember()) by "…".
namespace LogSafe {

// The address for a log line: when its query holds a token or a password, every query value
// is "…".
QString url(const QUrl &url);

// From now on, log lines show "…" where they would show this secret (as it is, or
// percent-encoded as addresses carry it). Empty values are ignored.
void remember(const QString &secret);

// The text with each remembered secret replaced.
QString scrub(const QString &text);

// Writes every message of the program to standard error, as Qt does, scrubbed.
void install();

} // namespace LogSafe
