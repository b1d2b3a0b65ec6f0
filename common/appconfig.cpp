// SPDX-License-Identifier: MIT
#include "common/appconfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>
#include <QUrl>
#include <QVariant>

namespace AppConfig {

QString applicationDirectory()
{
    return QCoreApplication::applicationDirPath();
}

QString applicationFile(const QString &name)
{
    return applicationDirectory() + QLatin1Char('/') + name;
}

QString configFile()
{
    return applicationFile(QStringLiteral("conf.ini"));
}

int portFromValue(const QVariant &value, int defaultPort)
{
    const int port = value.toInt();
    if (port <= 0)
        return defaultPort;
    return static_cast<quint16>(port);
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
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qDebug() << "conf.ini: service/baseUrl" << value << "is not an http(s) URL, using"
                 << fallback;
        return fallback;
    }
    return text;
}

Config readConfig(const QString &file)
{
    const QSettings settings(file, QSettings::IniFormat);
    Config config;
    config.toolPort =
        portFromValue(settings.value(QStringLiteral("udpport/OrvaneToolPort")), DefaultToolPort);
    config.mainPort =
        portFromValue(settings.value(QStringLiteral("udpport/OrvanePort")), DefaultMainPort);
    config.baseUrl =
        baseUrlFromValue(settings.value(QStringLiteral("service/baseUrl")).toString(), QString());
    return config;
}

} // namespace AppConfig
