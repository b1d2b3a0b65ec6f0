// SPDX-License-Identifier: MIT
#include "common/textdecoder.h"

#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>

namespace TextDecoder {

bool decode(const QByteArray &charset, const char *bytes, qsizetype size, QString *text)
{
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return false;
    *text = decoder.decode(QByteArrayView(bytes, size));
    return true;
}

QByteArray localeCharset()
{
    return QByteArrayLiteral("UTF-8");
}

} // namespace TextDecoder

#else
#include <QTextCodec>

namespace TextDecoder {

bool decode(const QByteArray &charset, const char *bytes, qsizetype size, QString *text)
{
    const QTextCodec *codec = QTextCodec::codecForName(charset);
    if (!codec)
        return false;
    *text = codec->toUnicode(bytes, static_cast<int>(size));
    return true;
}

QByteArray localeCharset()
{
    const QTextCodec *codec = QTextCodec::codecForLocale();
    return codec ? codec->name() : QByteArrayLiteral("UTF-8");
}

} // namespace TextDecoder

#endif
