// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// What both programs read from conf.ini.
namespace AppConfig {

inline constexpr int DefaultToolPort = 10236;
inline constexpr int DefaultMainPort = 10238;
inline constexpr int DefaultLoadTimeout = 30;

// The settings; what is missing or unusable has its default.
struct Config
{
    int toolPort = DefaultToolPort; // where OrvaneTool listens
    int mainPort = DefaultMainPort; // where Orvane listens
    QString baseUrl;                // an http(s) URL ending in "/"; empty: the built-in one
    QStringList trustedHosts;       // hosts beyond the base URL's whose pages may be shown
    QString engine;                 // the web engine named, as written; empty: none
    int loadTimeoutSeconds = DefaultLoadTimeout; // a page that takes longer counts as failed
    bool askWhereToSave = false; // downloads go to the download folder without a question
};

// Reads conf.ini files key by key: the first file that names a key gives its value. Without
// arguments, the files of this run's layout.
Config readConfig(const QStringList &files);
Config readConfig();

// A conf.ini port: anything but a number from 1 to 65535 gives the default.
int portFromValue(const QString &value, int defaultPort);
// A conf.ini base URL: empty gives the fallback, a missing final "/" is added, and anything
// but an absolute http or https URL without query or fragment gives the fallback.
QString baseUrlFromValue(const QString &value, const QString &fallback);

} // namespace AppConfig
