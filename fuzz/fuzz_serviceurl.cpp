// SPDX-License-Identifier: MIT
// Service URLs built from values of any content: what goes in comes back out of the query.
#include "fuzz/fuzzcheck.h"
#include "net/serviceurl.h"

#include <QUrl>
#include <QUrlQuery>
#include <QVector>

namespace {

struct Path
{
    const char *text;
    const char *keys[2];
};

// The templates the programs fill with user values.
const Path Paths[] = {
    {"orvane/client/login?userName=%1&passWord=%2", {"userName", "passWord"}},
    {"orvane/loginMainIndex?userName=%1&passWord=%2", {"userName", "passWord"}},
    {"orvane/main?token=%1", {"token", nullptr}},
    {"orvane/keepOnline?token=%1", {"token", nullptr}},
};

bool hasNoncharacter(const QString &text)
{
    const QVector<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if ((c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const Path &path = Paths[data[0] % (sizeof Paths / sizeof Paths[0])];
    // The rest is the values, split at the first zero byte.
    const QByteArray rest = FuzzCheck::bytes(data + 1, size - 1);
    const int zero = rest.indexOf('\0');
    const QStringList values = {QString::fromUtf8(zero < 0 ? rest : rest.left(zero)),
                                QString::fromUtf8(zero < 0 ? QByteArray() : rest.mid(zero + 1))};

    const QString base = QStringLiteral("http://127.0.0.1:18080/");
    const QString url = serviceUrl(base, QString::fromLatin1(path.text), values);
    FuzzCheck::require(url.startsWith(base + QString::fromLatin1(path.text).section('?', 0, 0)),
                       "the URL is the base and the path");

    // As CHttp and the web view read it.
    const QUrl parsed(url, QUrl::TolerantMode);
    FuzzCheck::require(parsed.isValid(), "the URL is valid");
    FuzzCheck::require(!parsed.hasFragment(), "no value starts a fragment");
    const QUrlQuery query(parsed);
    int keys = 0;
    for (int i = 0; i < 2 && path.keys[i]; ++i, ++keys) {
        const QString key = QString::fromLatin1(path.keys[i]);
        FuzzCheck::require(query.allQueryItemValues(key).size() == 1, "each key appears once");
        // Exactly the value's UTF-8 on the wire...
        const QString encoded = query.queryItemValue(key, QUrl::FullyEncoded);
        FuzzCheck::require(QByteArray::fromPercentEncoding(encoded.toLatin1())
                               == values.at(i).toUtf8(),
                           "the value's bytes come back exactly");
        // ...and as text, except that Qt's decoder turns noncharacters into U+FFFD.
        if (!hasNoncharacter(values.at(i))) {
            FuzzCheck::require(query.queryItemValue(key, QUrl::FullyDecoded) == values.at(i),
                               "the value comes back exactly");
        }
    }
    FuzzCheck::require(query.queryItems().size() == keys, "no value adds a key");
    return 0;
}
