// SPDX-License-Identifier: MIT
#pragma once

#include <QNetworkCookieJar>
#include <QThreadPool>
#include <QTimer>

// Cookies that outlive the session kept in a file from one run to the next, as a browser keeps
// them; session cookies end with the program. The file follows every change the pages make
// (a cookie set, changed or deleted), written whole at most once a second off the GUI thread.
// Like a browser's, the jar is bounded: per host and in all, the cookie changed longest ago
// goes first.
class CookieJar final : public QNetworkCookieJar
{
    Q_OBJECT

public:
    static constexpr int MaxPerHost = 180;
    static constexpr int MaxCookies = 3000;
    static constexpr int SaveDelayMs = 1000;

    CookieJar(const QString &file, QObject *parent = nullptr);
    // Writes what has not been written yet.
    ~CookieJar() override;

    bool insertCookie(const QNetworkCookie &cookie) override;
    bool deleteCookie(const QNetworkCookie &cookie) override;
    // Forgets them all, the kept ones too.
    void clear();

private:
    void changed();
    void save();
    void bound(const QString &domain);

    const QString m_file;
    QByteArray m_written; // what the file holds
    QTimer m_saveTimer;
    QThreadPool m_writer; // one thread: the writes keep their order
};
