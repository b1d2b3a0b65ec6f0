// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Builds a service URL: the base URL followed by path, whose place markers %1..%9
// are replaced by values in one pass. Values are percent-encoded first, so the
// service receives exactly what was typed ("&", "#", "%2" and all).
QString serviceUrl(const QString &baseUrl, const QString &path, const QStringList &values = {});
