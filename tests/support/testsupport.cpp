// SPDX-License-Identifier: MIT
#include "tests/support/testsupport.h"

#include <QFile>

namespace TestSupport {

QString binDir()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

QString program(const QString &name)
{
    return binDir() + QLatin1Char('/') + name;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace TestSupport
