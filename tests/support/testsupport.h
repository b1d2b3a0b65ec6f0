// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// build/bin, where the programs land (set by CTest).
QString binDir();
// Path of one of the built programs.
QString program(const QString &name);
// Writes bytes to a file, replacing it; false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace TestSupport
