// SPDX-License-Identifier: MIT
// A whole conf.ini of any content, with and without a byte-order mark: read as both programs
// read it, it never reaches Qt's variant decoding, gives usable settings, and where it holds no
// "@" at all it reads exactly as QSettings reads it.
#include "common/appconfig.h"
#include "common/inifile.h"
#include "fuzz/fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzCheck::silenceQtLog(); // values that are not read are logged
    return 0;
}

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// One conf.ini text, in a folder of its own: QSettings caches files by name, and an edited
// file of the same size within the same millisecond could be taken for the old one.
void check(const QString &dir, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/conf.ini"));
    FuzzCheck::require(file.open(QIODevice::WriteOnly), "conf.ini can be written");
    file.write(bytes);
    file.close();

    const AppConfig::Config config = AppConfig::readConfig({file.fileName()});
    FuzzCheck::require(config.mainPort > 0 && config.mainPort <= 65535, "main port in range");
    FuzzCheck::require(config.toolPort > 0 && config.toolPort <= 65535, "tool port in range");
    const QString &url = config.baseUrl;
    const QUrl parsed(url, QUrl::StrictMode);
    FuzzCheck::require(url.isEmpty()
                           || (url.endsWith(QLatin1Char('/')) && parsed.isValid()
                               && !parsed.hasQuery() && !parsed.hasFragment()
                               && (parsed.scheme() == QLatin1String("http")
                                   || parsed.scheme() == QLatin1String("https"))),
                       "the base URL is empty or an http(s) URL ending in /");

    const QHash<QString, QVariant> values = IniFile::parse(bytes);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QStringList parts =
            it->type() == QVariant::StringList ? it->toStringList() : QStringList{it->toString()};
        for (const QString &part : parts)
            FuzzCheck::require(!part.startsWith(QLatin1Char('@')), "no value Qt would decode");
    }
    // The comparison reads through QSettings, which must not meet an "@" value: none written,
    // none made by a numeric escape.
    static const QRegularExpression numericEscape(QStringLiteral("\\\\[x0-7]"));
    // (The text in full: QString::fromLatin1(QByteArray) would end at a zero byte.)
    const QString text = QString::fromLatin1(bytes.constData(), bytes.size());
    if (bytes.contains('@') || text.contains(numericEscape))
        return;
    // A file with a byte-order mark reads as QSettings reads the same text with the mark
    // turned into a line break, told that it is UTF-8: QSettings itself would keep the mark in
    // a key on the first line.
    QString reference = file.fileName();
    const bool marked = bytes.startsWith(Bom);
    if (marked) {
        reference = dir + QStringLiteral("/unmarked.ini");
        QFile unmarked(reference);
        FuzzCheck::require(unmarked.open(QIODevice::WriteOnly), "unmarked.ini can be written");
        unmarked.write('\n' + bytes.mid(Bom.size()));
    }
    QSettings settings(reference, QSettings::IniFormat);
    if (marked)
        settings.setIniCodec("UTF-8");
    QStringList keys = values.keys();
    keys.sort();
    FuzzCheck::require(keys == settings.allKeys(), "the keys QSettings reads");
    // QSettings finds only keys without an empty part between slashes.
    for (const QString &key : qAsConst(keys)) {
        if (!key.split(QLatin1Char('/')).contains(QString()))
            FuzzCheck::require(values.value(key) == settings.value(key),
                               "the values QSettings reads");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static quint64 run = 0;
    FuzzCheck::require(root.isValid(), "a temporary folder");

    // Each input as it is, and once more as Notepad saves it, with a byte-order mark.
    const QByteArray bytes = FuzzCheck::bytes(data, size);
    for (const QByteArray &variant : {bytes, QByteArray(Bom + bytes)}) {
        const QString dir = root.filePath(QString::number(++run));
        check(dir, variant);
        QDir(dir).removeRecursively();
    }
    return 0;
}
