// SPDX-License-Identifier: MIT
#include "main/webdownload.h"

#include "common/textdecoder.h"
#include "platform/platform.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

namespace {

constexpr int MaxNameBytes = 200;

// The files of the downloads under way: taken, although their ".part" may not exist yet.
QSet<QString> &reservedFiles()
{
    static QSet<QString> files;
    return files;
}

bool isTaken(const QString &file)
{
    const QFileInfo info(file);
    const QFileInfo part(WebDownload::partFile(file));
    return info.exists() || info.isSymLink() || part.exists() || part.isSymLink()
        || reservedFiles().contains(file);
}

// "name", ".ext": the extension is what follows the last dot, two parts for a compressed tar.
std::pair<QString, QString> splitExtension(const QString &name)
{
    static const QStringList twoParts{QStringLiteral(".tar.gz"), QStringLiteral(".tar.bz2"),
                                      QStringLiteral(".tar.xz"), QStringLiteral(".tar.zst")};
    for (const QString &extension : twoParts) {
        if (name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive))
            return {name.chopped(extension.size()), name.right(extension.size())};
    }
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.size() - dot > 16)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

QFileDevice::Permissions permissionsOf(unsigned mode)
{
    QFileDevice::Permissions permissions;
    if (mode & 0400)
        permissions |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200)
        permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0040)
        permissions |= QFileDevice::ReadGroup;
    if (mode & 0020)
        permissions |= QFileDevice::WriteGroup;
    if (mode & 0004)
        permissions |= QFileDevice::ReadOther;
    if (mode & 0002)
        permissions |= QFileDevice::WriteOther;
    return permissions;
}

bool isUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Bytes in a named character set; the platform's pages come from Chinese servers, so text
// that is not UTF-8 is taken in the Chinese system codec (GB18030, GBK's superset).
QString decodeText(const QByteArray &bytes, QByteArray charset = QByteArray())
{
    charset = charset.trimmed().toLower();
    if (charset.isEmpty() || charset == "utf-8" || charset == "utf8") {
        if (isUtf8(bytes) || !charset.isEmpty())
            return QString::fromUtf8(bytes);
        const QByteArray system = TextDecoder::localeCharset();
        charset =
            system.compare("UTF-8", Qt::CaseInsensitive) != 0 ? system : QByteArray("GB18030");
    }
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii")
        return QString::fromLatin1(bytes);
    QString text;
    return TextDecoder::decode(charset, bytes.constData(), bytes.size(), &text)
        ? text
        : QString::fromUtf8(bytes);
}

// RFC 2047's "=?charset?B|Q?text?=", which some servers send as a filename.
QString decodeEncodedWord(const QByteArray &value)
{
    const QList<QByteArray> parts = value.mid(2, value.size() - 4).split('?');
    if (parts.size() != 3)
        return QString();
    QByteArray bytes;
    if (parts.at(1).toUpper() == "B") {
        bytes = QByteArray::fromBase64(parts.at(2));
    } else if (parts.at(1).toUpper() == "Q") {
        bytes = QByteArray::fromPercentEncoding(QByteArray(parts.at(2)).replace('_', ' '), '=');
    } else {
        return QString();
    }
    return decodeText(bytes, parts.at(0));
}

// The parameters of a header value: name (lower case) and value, quoted strings unquoted.
QList<std::pair<QByteArray, QByteArray>> headerParameters(const QByteArray &header)
{
    QList<std::pair<QByteArray, QByteArray>> parameters;
    int at = header.indexOf(';');
    while (at >= 0 && at < header.size()) {
        ++at; // past the ';'
        const int equals = header.indexOf('=', at);
        const int semicolon = header.indexOf(';', at);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            at = semicolon;
            continue;
        }
        const QByteArray name = header.mid(at, equals - at).trimmed().toLower();
        at = equals + 1;
        while (at < header.size() && header.at(at) == ' ')
            ++at;
        QByteArray value;
        if (at < header.size() && header.at(at) == '"') {
            for (++at; at < header.size() && header.at(at) != '"'; ++at) {
                if (header.at(at) == '\\' && at + 1 < header.size())
                    ++at;
                value += header.at(at);
            }
            at = header.indexOf(';', at);
        } else {
            const int end = header.indexOf(';', at);
            value = header.mid(at, end < 0 ? -1 : end - at).trimmed();
            at = end;
        }
        parameters.append({name, value});
    }
    return parameters;
}

} // namespace

WebDownload::WebDownload(QObject *parent)
    : QObject(parent)
{
}

WebDownload::~WebDownload()
{
    release();
}

QString WebDownload::safeFileName(const QString &proposed)
{
    const QString last = proposed.mid(
        qMax(proposed.lastIndexOf(QLatin1Char('/')), proposed.lastIndexOf(QLatin1Char('\\'))) + 1);
    // Without control characters, and the invisible ones that turn text around ("gpj.exe").
    QString name;
    for (const QChar c : last) {
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            name += c;
    }
    const auto isTrimmed = [](QChar c) {
        return c == QLatin1Char('.') || c.isSpace();
    };
    while (!name.isEmpty() && isTrimmed(name.at(0)))
        name.remove(0, 1);
    while (!name.isEmpty() && isTrimmed(name.at(name.size() - 1)))
        name.chop(1);
    if (name.toUtf8().size() > MaxNameBytes) {
        auto [stem, extension] = splitExtension(name);
        while (!stem.isEmpty() && (stem + extension).toUtf8().size() > MaxNameBytes)
            stem.chop(stem.size() > 1 && stem.at(stem.size() - 1).isLowSurrogate() ? 2 : 1);
        name = stem.isEmpty() ? extension.mid(1).left(MaxNameBytes / 4) : stem + extension;
    }
    return name.isEmpty() ? QStringLiteral("download") : name;
}

QString WebDownload::uniqueFile(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    const QString first = dir.filePath(name);
    if (!isTaken(first))
        return first;
    const auto [stem, extension] = splitExtension(name);
    for (int n = 1; n < 100000; ++n) {
        const QString file =
            dir.filePath(QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension));
        if (!isTaken(file))
            return file;
    }
    return dir.filePath(QStringLiteral("%1 (%2)%3")
                            .arg(stem)
                            .arg(QDateTime::currentMSecsSinceEpoch())
                            .arg(extension));
}

QString WebDownload::nameFromResponse(const QByteArray &contentDisposition, const QUrl &url)
{
    QString extended;
    QString plain;
    for (const auto &[name, value] : headerParameters(contentDisposition)) {
        if (name == "filename*" && extended.isEmpty()) {
            // charset'language'percent-encoded
            const int first = value.indexOf('\'');
            const int second = first < 0 ? -1 : value.indexOf('\'', first + 1);
            if (second > 0)
                extended = decodeText(QByteArray::fromPercentEncoding(value.mid(second + 1)),
                                      value.left(first));
        } else if (name == "filename" && plain.isEmpty()) {
            if (value.startsWith("=?") && value.endsWith("?="))
                plain = decodeEncodedWord(value);
            if (plain.isEmpty())
                plain = decodeText(value.contains('%') ? QByteArray::fromPercentEncoding(value)
                                                       : value);
        }
    }
    QString name = !extended.isEmpty() ? extended : plain;
    if (safeFileName(name) == QLatin1String("download") || name.trimmed().isEmpty())
        name = url.fileName();
    return safeFileName(name);
}

void WebDownload::setFile(const QString &file)
{
    release();
    m_file = file;
    reservedFiles().insert(file);
}

void WebDownload::release()
{
    if (!m_file.isEmpty())
        reservedFiles().remove(m_file);
}

void WebDownload::setProgress(qint64 received, qint64 total)
{
    m_received = received;
    m_total = total;
    emit progress(received, total);
}

void WebDownload::complete()
{
    if (hasEnded())
        return;
    const QString folder = QFileInfo(m_file).absolutePath();
    const QString name = QFileInfo(m_file).fileName();
    QString target = m_file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        switch (Platform::renameNoReplace(QFile::encodeName(partFile(m_file)).toStdString(),
                                          QFile::encodeName(target).toStdString())) {
        case Platform::RenameResult::Renamed: {
            // The user's file, shared as the user's files are (the program keeps its own private).
            QFile::setPermissions(target, permissionsOf(Platform::sharedFileMode()));
            release();
            m_partWritten = false;
            m_file = target;
            m_state = State::Done;
            const qint64 size = QFileInfo(target).size();
            setProgress(size, size);
            emit finished(true, QString());
            return;
        }
        case Platform::RenameResult::TargetExists:
            // Taken meanwhile: the next free name rather than the file someone put there.
            target = uniqueFile(folder, name);
            break;
        case Platform::RenameResult::Failed:
            end(QStringLiteral("无法保存为 %1").arg(QFileInfo(target).fileName()));
            return;
        }
    }
    end(QStringLiteral("无法保存为 %1").arg(name));
}

bool WebDownload::end(const QString &error)
{
    if (hasEnded())
        return false;
    m_state = error.isEmpty() ? State::Cancelled : State::Failed;
    m_error = error;
    if (m_partWritten && !m_file.isEmpty())
        QFile::remove(partFile(m_file));
    m_partWritten = false;
    release();
    emit finished(false, error);
    return true;
}

QString WebDownload::writeFailure(const QString &file)
{
    const QFileInfo info(file);
    const QStorageInfo storage(info.absolutePath());
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("磁盘是只读的");
    if (storage.isValid() && storage.bytesAvailable() < 64 * 1024)
        return QStringLiteral("磁盘空间不足");
    if (!QFileInfo(info.absolutePath()).isWritable())
        return QStringLiteral("没有权限写入 %1").arg(info.absolutePath());
    return QStringLiteral("无法写入 %1").arg(info.fileName());
}
