// SPDX-License-Identifier: MIT
// A whole conf.ini of any content, read through QSettings as both programs read it.
#include "common/appconfig.h"
#include "fuzz/fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUrl>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Both programs read conf.ini with their QApplication built, and QSettings turns an
    // "@Variant(...)" value into any type Qt can stream, images and bitmaps among them, which
    // need the GUI application to exist.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    FuzzCheck::silenceQtLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static quint64 run = 0;
    FuzzCheck::require(root.isValid(), "a temporary folder");

    // A folder per input: QSettings caches files by name, and an edited file of the same
    // size within the same millisecond could be taken for the old one.
    const QString dir = root.filePath(QString::number(++run));
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/conf.ini"));
    FuzzCheck::require(file.open(QIODevice::WriteOnly), "conf.ini can be written");
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    file.close();

    const AppConfig::Config config = AppConfig::readConfig(file.fileName());
    FuzzCheck::require(config.mainPort > 0 && config.mainPort <= 65535, "main port in range");
    FuzzCheck::require(config.toolPort > 0 && config.toolPort <= 65535, "tool port in range");

    const QString &url = config.baseUrl;
    const QUrl parsed(url, QUrl::StrictMode);
    FuzzCheck::require(url.isEmpty()
                           || (url.endsWith(QLatin1Char('/')) && parsed.isValid()
                               && (parsed.scheme() == QLatin1String("http")
                                   || parsed.scheme() == QLatin1String("https"))),
                       "the base URL is empty or an http(s) URL ending in /");

    QDir(dir).removeRecursively();
    return 0;
}
