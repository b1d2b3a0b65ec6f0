// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Text in a named character set, as Qt 5 (QTextCodec) and Qt 6 (QStringDecoder, with ICU's
// character sets) read it: the one place that knows which of them this build has.
namespace TextDecoder {

// bytes read as charset (any name Qt knows: "UTF-8", "GB18030", "gbk", ...), a byte-order mark at
// their start dropped and broken sequences replaced; false when Qt knows no such charset.
bool decode(const QByteArray &charset, const char *bytes, qsizetype size, QString *text);

// The charset of the system's locale as Qt takes it (Qt 6 always takes UTF-8).
QByteArray localeCharset();

} // namespace TextDecoder
