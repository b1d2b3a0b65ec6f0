// SPDX-License-Identifier: MIT
// conf.ini values of any content: the two port values and the service base URL.
#include "common/appconfig.h"
#include "fuzz/fuzzcheck.h"

#include <QUrl>

#include <cstring>

namespace {

const QString Fallback = QStringLiteral("http://127.0.0.1:18080/");

void checkPort(const QString &value)
{
    const int port = AppConfig::portFromValue(value, AppConfig::DefaultMainPort);
    bool isNumber = false;
    const qlonglong number = value.toLongLong(&isNumber);
    if (isNumber && number >= 1 && number <= 65535)
        FuzzCheck::require(port == number, "a port in range is taken as it is");
    else
        FuzzCheck::require(port == AppConfig::DefaultMainPort, "anything else gives the default");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzCheck::silenceQtLog(); // a refused base URL is logged
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzCheck::bytes(data, size);
    const QString text = QString::fromUtf8(input);

    checkPort(text);
    if (size >= sizeof(qint64)) {
        qint64 number = 0;
        std::memcpy(&number, data, sizeof number);
        checkPort(QString::number(number));
    }

    const QString url = AppConfig::baseUrlFromValue(text, Fallback);
    if (url != Fallback) {
        const QUrl parsed(url, QUrl::StrictMode);
        FuzzCheck::require(url.endsWith(QLatin1Char('/')), "a base URL ends in /");
        FuzzCheck::require(parsed.isValid() && !parsed.host().isEmpty(), "a base URL has a host");
        FuzzCheck::require(parsed.scheme() == QLatin1String("http")
                               || parsed.scheme() == QLatin1String("https"),
                           "a base URL is http or https");
        FuzzCheck::require(url.startsWith(text), "an accepted value is kept as it is");
    }
    return 0;
}
