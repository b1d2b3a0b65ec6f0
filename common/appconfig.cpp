// SPDX-License-Identifier: MIT
#include "common/appconfig.h"

#include "common/apppaths.h"
#include "common/inifile.h"

#include <QDebug>
#include <QFile>
#include <QUrl>

namespace AppConfig {

namespace {

// Longer than any real address: a value this long is a damaged file.
constexpr int MaxBaseUrlLength = 2048;

// A value as QSettings gives it through QVariant::toString(): a list gives nothing.
QString textOf(const QVariant &value)
{
    return value.userType() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

int portFromValue(const QString &value, int defaultPort)
{
    if (value.isEmpty())
        return defaultPort;
    bool ok = false;
    const qlonglong port = value.toLongLong(&ok);
    if (!ok || port < 1 || port > 65535) {
        // Before, a value above 65535 was cut to 16 bits: 65536 became 0, a random port.
        qDebug() << "conf.ini: the port" << value << "is not one from 1 to 65535, using"
                 << defaultPort;
        return defaultPort;
    }
    return int(port);
}

QString baseUrlFromValue(const QString &value, const QString &fallback)
{
    if (value.isEmpty())
        return fallback;
    QString text = value;
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    // Paths are appended to it: a query or fragment would swallow them.
    if (text.size() > MaxBaseUrlLength || !url.isValid() || url.isRelative() || url.host().isEmpty()
        || url.hasQuery() || url.hasFragment()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qDebug() << "conf.ini: service/baseUrl" << value.left(200)
                 << "is not an http(s) base URL, using"
                 << (fallback.isEmpty() ? "the built-in one" : fallback);
        return fallback;
    }
    return text;
}

Config readConfig(const QStringList &files)
{
    QHash<QString, QVariant> values;
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        QFile file(*it);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The files read first yield to the ones before them in the list.
        const QHash<QString, QVariant> own = IniFile::parse(file.readAll());
        for (auto value = own.cbegin(); value != own.cend(); ++value)
            values.insert(value.key(), value.value());
    }
    Config config;
    config.toolPort = portFromValue(textOf(values.value(QStringLiteral("udpport/OrvaneToolPort"))),
                                    DefaultToolPort);
    config.mainPort =
        portFromValue(textOf(values.value(QStringLiteral("udpport/OrvanePort"))), DefaultMainPort);
    // A comma list, or a single host.
    const QVariant hosts = values.value(QStringLiteral("service/trustedHosts"));
    for (const QString &host : hosts.userType() == QMetaType::QStringList
             ? hosts.toStringList()
             : QStringList{hosts.toString()}) {
        if (!host.trimmed().isEmpty())
            config.trustedHosts << host.trimmed().toLower();
    }
    config.engine = textOf(values.value(QStringLiteral("web/engine"))).trimmed();
    bool isNumber = false;
    const int timeout = textOf(values.value(QStringLiteral("web/timeout"))).toInt(&isNumber);
    if (isNumber && timeout >= 1 && timeout <= 600)
        config.loadTimeoutSeconds = timeout;
    const QString ask = textOf(values.value(QStringLiteral("web/askWhereToSave"))).trimmed();
    config.askWhereToSave =
        ask.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || ask == QLatin1String("1");
    config.baseUrl =
        baseUrlFromValue(textOf(values.value(QStringLiteral("service/baseUrl"))), QString());
    return config;
}

Config readConfig()
{
    return readConfig(AppPaths::current().configFiles);
}

} // namespace AppConfig
