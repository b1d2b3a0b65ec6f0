// SPDX-License-Identifier: MIT
#include "common/logsafe.h"

#include <QMutex>
#include <QStringList>
#include <QUrlQuery>

#include <algorithm>

#include <cstdio>

namespace LogSafe {

namespace {

const QString Hidden = QStringLiteral("…");

// What the platform's addresses and replies call their secrets.
bool isSecretKey(const QString &key)
{
    return key.compare(QLatin1String("token"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0;
}

struct Secrets
{
    QMutex mutex; // pages and Chromium log from threads of their own
    QStringList forms;
};

Secrets &secrets()
{
    static Secrets known;
    return known;
}

void write(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = scrub(qFormatLogMessage(type, context, message)).toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

QString url(const QUrl &url)
{
    const QUrlQuery query(url);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    if (std::none_of(items.begin(), items.end(),
                     [](const auto &item) { return isSecretKey(item.first); }))
        return scrub(url.toString());
    QStringList hidden;
    for (const auto &item : items)
        hidden << item.first + QLatin1Char('=') + Hidden;
    QUrl bare(url);
    bare.setQuery(QString());
    bare.setFragment(QString());
    return bare.toString(QUrl::RemoveQuery) + QLatin1Char('?') + hidden.join(QLatin1Char('&'));
}

void remember(const QString &secret)
{
    if (secret.isEmpty())
        return;
    Secrets &known = secrets();
    const QMutexLocker lock(&known.mutex);
    for (const QString &form : {secret, QString::fromLatin1(QUrl::toPercentEncoding(secret)),
                                QString::fromLatin1(QUrl::toPercentEncoding(secret)).toLower()}) {
        if (!known.forms.contains(form))
            known.forms.append(form);
    }
    // The longest first, so a secret inside another is not left half shown.
    std::sort(known.forms.begin(), known.forms.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString scrub(const QString &text)
{
    Secrets &known = secrets();
    const QMutexLocker lock(&known.mutex);
    QString scrubbed = text;
    for (const QString &form : qAsConst(known.forms))
        scrubbed.replace(form, Hidden);
    return scrubbed;
}

void install()
{
    qInstallMessageHandler(write);
}

} // namespace LogSafe
