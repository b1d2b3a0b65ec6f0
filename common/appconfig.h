// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QVariant;

// The application directory and what both programs read from its conf.ini.
namespace AppConfig {

inline constexpr int DefaultToolPort = 10236;
inline constexpr int DefaultMainPort = 10238;

struct Ports
{
    int toolPort = DefaultToolPort; // where OrvaneTool listens
    int mainPort = DefaultMainPort; // where Orvane listens
};

// The folder of the running executable, unless a test has set another one.
QString applicationDirectory();
void setApplicationDirectory(const QString &dir);
QString applicationFile(const QString &name);

// Both ports from "udpport" in conf.ini.
Ports readPorts();
// "service/baseUrl" from conf.ini, or the fallback.
QString readBaseUrl(const QString &fallback);

// A conf.ini port value: missing, non-numeric or not positive gives the default;
// what is used is the value truncated to 16 bits.
int portFromValue(const QVariant &value, int defaultPort);
// A conf.ini base URL: empty gives the fallback, a missing final "/" is added,
// and anything but an absolute http or https URL gives the fallback.
QString baseUrlFromValue(const QString &value, const QString &fallback);

} // namespace AppConfig
