// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// build/bin, where the programs land (set by CTest).
QString binDir();
// Path of one of the built programs.
QString program(const QString &name);
// Bytes as UTF-8 text, zero bytes kept as zero characters.
QString textWithZeros(const QByteArray &bytes);
// Writes bytes to a file, replacing it; false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
// Copies the built programs (those that exist) into dir, which then is their
// application directory; false when Orvane itself could not be copied.
bool installPrograms(const QString &dir);
// Resident size (VmRSS) of process pid, or of this process for 0; -1 when unknown.
qint64 residentKiB(qint64 pid = 0);
// Pid of the process holding an flock on path, or 0 when nobody holds one.
qint64 flockHolder(const QString &path);

} // namespace TestSupport
