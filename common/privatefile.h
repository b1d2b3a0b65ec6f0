// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The small files Orvane keeps for its user (zoom levels, cookies, window places): theirs
// alone (0600), written whole or not at all, and never through a symbolic link, which would
// let a file elsewhere be read or written in their place.
namespace PrivateFile {

// The file's bytes; nothing when it is missing, a symbolic link, not a regular file, larger
// than maxBytes or unreadable.
std::optional<QByteArray> read(const QString &path, qint64 maxBytes);

// Replaces the file with bytes: written beside it, flushed, then renamed over it, so a crash
// or a full disk leaves the old file. A link at path is replaced, its target left alone.
bool write(const QString &path, const QByteArray &bytes);

// Removes what interrupted writes of these files left in dir ("zoom.json.XXXXXX").
void removeStrays(const QString &dir, const QStringList &names);

// Removes every symbolic link at path and up to depth levels below it (links only, never what
// they point at), so that a program that keeps its files there cannot be led to write
// elsewhere.
void removeLinks(const QString &path, int depth);

} // namespace PrivateFile
