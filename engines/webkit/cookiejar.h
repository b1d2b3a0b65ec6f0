// SPDX-License-Identifier: MIT
#pragma once

#include <QNetworkCookieJar>

// Cookies that outlive the session kept in a file from one run to the next, as a browser keeps
// them; session cookies end with the program.
class CookieJar final : public QNetworkCookieJar
{
    Q_OBJECT

public:
    CookieJar(const QString &file, QObject *parent = nullptr);

    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override;
    // Forgets them all, the kept ones too.
    void clear();

private:
    void save() const;

    const QString m_file;
};
