// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

// A reader of INI text that gives what QSettings' INI format gives for ordinary files: keys as
// "group/key" ("[General]" is the top level), %XX and %UXXXX escapes in names, quoting, escape
// sequences and ';' comments in values, a comma-separated value as a QStringList, the last of
// repeated keys. What it never does is decode a value into a Qt type: QSettings would stream
// "@Variant(...)" and its relatives, and a hostile one aborts the process. Such values are
// left out, with a log line. A UTF-8 byte-order mark at the start is skipped and makes the
// values UTF-8, as with QSettings; unlike QSettings, it never becomes part of a key on the
// first line.
namespace IniFile {

// Each key's value: a QString, or a QStringList for comma-separated values.
QHash<QString, QVariant> parse(const QByteArray &text);

} // namespace IniFile
