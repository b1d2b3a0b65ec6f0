// SPDX-License-Identifier: MIT
#include "engines/webkit/cookiejar.h"

#include "common/privatefile.h"

#include <QDateTime>
#include <QNetworkCookie>

#include <algorithm>

namespace {

// Room for MaxCookies of the largest cookies a browser takes (4 KiB each).
constexpr qint64 MaxFileBytes = qint64(CookieJar::MaxCookies) * 4096;

QByteArray persistentCookies(const QList<QNetworkCookie> &cookies)
{
    QByteArray text;
    for (const QNetworkCookie &cookie : cookies) {
        if (!cookie.isSessionCookie())
            text += cookie.toRawForm() + '\n';
    }
    return text;
}

} // namespace

CookieJar::CookieJar(const QString &file, QObject *parent)
    : QNetworkCookieJar(parent)
    , m_file(file)
{
    m_writer.setMaxThreadCount(1);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(SaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &CookieJar::save);

    // Oldest first, as written; only the newest MaxCookies of a damaged or foreign file.
    m_written = PrivateFile::read(m_file, MaxFileBytes).value_or(QByteArray());
    QList<QByteArray> lines = m_written.split('\n');
    if (lines.size() > MaxCookies)
        lines = lines.mid(lines.size() - MaxCookies);
    QList<QNetworkCookie> cookies;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QByteArray &line : qAsConst(lines)) {
        for (const QNetworkCookie &cookie : QNetworkCookie::parseCookies(line)) {
            if (!cookie.isSessionCookie() && cookie.expirationDate() > now)
                cookies << cookie;
        }
    }
    setAllCookies(cookies);
    QStringList domains;
    for (const QNetworkCookie &cookie : cookies)
        domains << cookie.domain();
    domains.removeDuplicates();
    for (const QString &domain : qAsConst(domains))
        bound(domain);
}

CookieJar::~CookieJar()
{
    if (m_saveTimer.isActive())
        save();
    m_writer.waitForDone();
}

void CookieJar::clear()
{
    setAllCookies({});
    save();
}

bool CookieJar::insertCookie(const QNetworkCookie &cookie)
{
    // A cookie the page deletes (an expiry in the past) is not inserted, but it is a change:
    // before, it stayed in the file and came back at the next start.
    const bool inserted = QNetworkCookieJar::insertCookie(cookie);
    if (inserted)
        bound(cookie.domain());
    changed();
    return inserted;
}

bool CookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    const bool deleted = QNetworkCookieJar::deleteCookie(cookie);
    if (deleted)
        changed();
    return deleted;
}

void CookieJar::bound(const QString &domain)
{
    QList<QNetworkCookie> cookies = allCookies();
    const auto count = [&] {
        return std::count_if(cookies.cbegin(), cookies.cend(),
                             [&](const QNetworkCookie &c) { return c.domain() == domain; });
    };
    bool dropped = false;
    for (auto excess = count() - MaxPerHost; excess > 0; --excess) {
        cookies.erase(std::find_if(cookies.begin(), cookies.end(),
                                   [&](const QNetworkCookie &c) { return c.domain() == domain; }));
        dropped = true;
    }
    if (cookies.size() > MaxCookies) {
        cookies.erase(cookies.begin(), cookies.begin() + (cookies.size() - MaxCookies));
        dropped = true;
    }
    if (dropped)
        setAllCookies(cookies);
}

void CookieJar::changed()
{
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
}

void CookieJar::save()
{
    m_saveTimer.stop();
    const QByteArray text = persistentCookies(allCookies());
    if (text == m_written)
        return;
    m_written = text;
    // The disk's time (an fsync) is the writer thread's, not the pages'.
    m_writer.start([file = m_file, text] { PrivateFile::write(file, text); });
}
