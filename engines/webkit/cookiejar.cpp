// SPDX-License-Identifier: MIT
#include "engines/webkit/cookiejar.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkCookie>
#include <QSaveFile>

CookieJar::CookieJar(const QString &file, QObject *parent)
    : QNetworkCookieJar(parent)
    , m_file(file)
{
    QFile stored(m_file);
    if (!stored.open(QIODevice::ReadOnly))
        return;
    QList<QNetworkCookie> cookies;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QByteArray &line : stored.readAll().split('\n')) {
        for (const QNetworkCookie &cookie : QNetworkCookie::parseCookies(line)) {
            if (cookie.expirationDate() > now)
                cookies << cookie;
        }
    }
    setAllCookies(cookies);
}

bool CookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url)
{
    const bool changed = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
    if (changed)
        save();
    return changed;
}

void CookieJar::clear()
{
    setAllCookies({});
    save();
}

void CookieJar::save() const
{
    QByteArray text;
    for (const QNetworkCookie &cookie : allCookies()) {
        if (!cookie.isSessionCookie())
            text += cookie.toRawForm() + '\n';
    }
    // Written aside and flushed before it replaces the old file, so a full disk loses nothing.
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        file.cancelWriting();
        file.commit();
        return;
    }
    file.commit();
}
