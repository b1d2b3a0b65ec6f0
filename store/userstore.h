// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The accounts that have signed in on this computer, kept in "Orvane.db" in the
// application directory. Every operation opens its own connection and closes it before
// returning, so nothing stays open between them. Failures are told by results only.
class UserStore
{
public:
    static constexpr int DefaultBusyTimeoutMs = 60000;

    // The store of the application directory, built on first use.
    static UserStore &instance();

    // The store of "Orvane.db" in directory: finds or creates the table and, when SQLite
    // finds the file damaged (or it is a symbolic link), moves it aside and begins afresh.
    explicit UserStore(const QString &directory, int busyTimeoutMs = DefaultBusyTimeoutMs);

    UserStore(const UserStore &) = delete;
    UserStore &operator=(const UserStore &) = delete;

    // The table exists or was created.
    bool open();

    bool userExists(const QString &name) const;
    // The password is kept only when remember is true; otherwise an empty text is.
    bool saveUser(const QString &name, const QString &password, bool remember,
                  bool autoLogin) const;
    // False for an empty name or when the query could not run. Without a row the password
    // comes back null and remember and autoLogin keep the caller's values.
    bool loadUser(const QString &name, QString &password, int &remember, int &autoLogin) const;
    bool removeUser(const QString &name) const;
    // The saved names, newest sign-in first.
    void listUserNames(QStringList &names) const;
    // Why accounts cannot be saved now, in words for the user; empty when they can.
    QString saveProblem() const;

private:
    void moveAside() const;

    char m_szDbPath[1024] = {};
    bool m_bReady = false;
    int m_openError = 0; // SQLite's code when open() last failed
    int m_nBusyTimeout = DefaultBusyTimeoutMs;
};
