// SPDX-License-Identifier: MIT
#include "common/privatefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace PrivateFile {

namespace {

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

std::optional<QByteArray> read(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > maxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return std::nullopt;
    return bytes;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // Qt's save file follows a link to write its target; the link goes instead.
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Qt 5 may report a commit as done after a flush that failed (a full disk).
    if (!file.setPermissions(OwnerOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

void removeStrays(const QString &dir, const QStringList &names)
{
    for (const QString &name : names) {
        // Qt's save files are the name and six characters of their own.
        const QRegularExpression stray(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(name) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
        const QFileInfoList candidates = QDir(dir).entryInfoList(
            {name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo &candidate : candidates) {
            if (stray.match(candidate.fileName()).hasMatch())
                QFile::remove(candidate.filePath());
        }
    }
}

void removeLinks(const QString &path, int depth)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        QFile::remove(path);
        return;
    }
    if (depth <= 0 || !info.isDir())
        return;
    const QStringList entries =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        removeLinks(path + QLatin1Char('/') + entry, depth - 1);
}

} // namespace PrivateFile
