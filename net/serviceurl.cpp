// SPDX-License-Identifier: MIT
#include "net/serviceurl.h"

#include <QUrl>

QString serviceUrl(const QString &baseUrl, const QString &path, const QStringList &values)
{
    QString url = baseUrl;
    url.reserve(baseUrl.size() + path.size() + 16);
    for (int i = 0; i < path.size(); ++i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('%') && i + 1 < path.size()) {
            const int n = path.at(i + 1).digitValue();
            if (n >= 1 && n <= values.size()) {
                url += QString::fromLatin1(QUrl::toPercentEncoding(values.at(n - 1)));
                ++i;
                continue;
            }
        }
        url += c;
    }
    return url;
}
