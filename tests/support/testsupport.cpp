// SPDX-License-Identifier: MIT
#include "tests/support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <sys/stat.h>

namespace TestSupport {

QString binDir()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

QString program(const QString &name)
{
    return binDir() + QLatin1Char('/') + name;
}

QString textWithZeros(const QByteArray &bytes)
{
    return QTextCodec::codecForMib(106)->toUnicode(bytes); // 106: UTF-8
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool installPrograms(const QString &dir)
{
    bool ok = true;
    for (const QString &name : {QStringLiteral("Orvane"), QStringLiteral("OrvaneTool")}) {
        const QString source = program(name);
        if (!QFile::exists(source)) {
            ok = ok && name != QLatin1String("Orvane");
            continue;
        }
        const QString target = dir + QLatin1Char('/') + name;
        QFile::remove(target);
        ok = QFile::copy(source, target) && ok;
    }
    return ok;
}

qint64 residentKiB(qint64 pid)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 flockHolder(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    // Reading the kernel's lock table does not disturb the lock, unlike trying to take it.
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QByteArray inodeSuffix = ':' + QByteArray::number(static_cast<qulonglong>(st.st_ino));
    // procfs files report size 0, so read everything rather than test atEnd().
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        // "1: FLOCK  ADVISORY  WRITE 4711 fe:01:123456 0 EOF"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields.at(1) == "FLOCK" && fields.at(5).endsWith(inodeSuffix))
            return fields.at(4).toLongLong();
    }
    return 0;
}

} // namespace TestSupport
