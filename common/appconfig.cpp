// SPDX-License-Identifier: MIT
#include "app/appconfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>
#include <QUrl>
#include <QVariant>

namespace AppConfig {

namespace {

QString &directoryOverride()
{
    static QString dir;
    return dir;
}

QString confPath()
{
    return applicationFile(QStringLiteral("conf.ini"));
}

} // namespace

QString applicationDirectory()
{
    const QString &dir = directoryOverride();
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

void setApplicationDirectory(const QString &dir)
{
    directoryOverride() = dir;
}

QString applicationFile(const QString &name)
{
    return applicationDirectory() + QLatin1Char('/') + name;
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

Ports readPorts()
{
    const QSettings settings(confPath(), QSettings::IniFormat);
    Ports ports;
    ports.toolPort =
        portFromValue(settings.value(QStringLiteral("udpport/OrvaneToolPort")), DefaultToolPort);
    ports.mainPort =
        portFromValue(settings.value(QStringLiteral("udpport/OrvanePort")), DefaultMainPort);
    return ports;
}

QString readBaseUrl(const QString &fallback)
{
    const QSettings settings(confPath(), QSettings::IniFormat);
    return baseUrlFromValue(settings.value(QStringLiteral("service/baseUrl")).toString(), fallback);
}

} // namespace AppConfig
