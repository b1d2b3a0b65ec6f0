// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QVariant;

// The application directory and what both programs read from its conf.ini.
namespace AppConfig {

inline constexpr int DefaultToolPort = 10236;
inline constexpr int DefaultMainPort = 10238;

// The settings of conf.ini; what is missing or unusable has its default.
struct Config
{
    int toolPort = DefaultToolPort; // where OrvaneTool listens
    int mainPort = DefaultMainPort; // where Orvane listens
    QString baseUrl;                // an http(s) URL ending in "/"; empty: the built-in one
};

// The folder of the running executable.
QString applicationDirectory();
QString applicationFile(const QString &name);

// conf.ini of the application directory.
QString configFile();
Config readConfig(const QString &file = configFile());

// A conf.ini port value: missing, non-numeric or not positive gives the default;
// what is used is the value truncated to 16 bits.
int portFromValue(const QVariant &value, int defaultPort);
// A conf.ini base URL: empty gives the fallback, a missing final "/" is added,
// and anything but an absolute http or https URL gives the fallback.
QString baseUrlFromValue(const QString &value, const QString &fallback);

} // namespace AppConfig
