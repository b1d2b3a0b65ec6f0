// SPDX-License-Identifier: MIT
#include "store/userstore.h"

#include "common/apppaths.h"
#include "store/csqlite3.h"
#include "store/csqlite3query.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char CreateTableSql[] =
    "CREATE TABLE tbl_user_info(id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,user_name "
    "VARCHAR(128) NOT NULL,passwd VARCHAR(128) NOT NULL,remember_pwd INT NOT NULL DEFAULT "
    "0,auto_login INT NOT NULL DEFAULT 0,login_time TIMESTAMP default (datetime('now', "
    "'localtime')))";

// One operation's own connection, closed when it goes out of scope.
class Connection : public CSqlite3
{
public:
    Connection(const char *path, int busyTimeoutMs)
        : CSqlite3(path)
    {
        setBusyTimeout(busyTimeoutMs);
    }
};

// Values always travel as bound parameters, never inside the statement text: a quote or
// a "%s" in a name stays part of the name, and no length cuts a statement short.
CSqlite3Param text(const QByteArray &utf8)
{
    return CSqlite3Param::fromText(std::string(utf8.constData(), std::size_t(utf8.size())));
}

CSqlite3Param text(const QString &value)
{
    return text(value.toUtf8());
}

CSqlite3Param flag(bool value)
{
    return CSqlite3Param::fromInt(value ? 1 : 0);
}

// A found row's text: empty but never null, so that callers can tell it from "no row".
QString foundText(const char *utf8, int length)
{
    const QString value = QString::fromUtf8(utf8, length);
    return value.isNull() ? QString(QLatin1String("")) : value;
}

bool hasUser(CSqlite3 &db, const QString &name)
{
    if (name.isEmpty())
        return false;
    return db.queryInt("select count(*) as total from tbl_user_info where user_name = ?",
                       {text(name)})
        > 0;
}

} // namespace

UserStore &UserStore::instance()
{
    static UserStore store(AppPaths::dataDirectory());
    return store;
}

UserStore::UserStore(const QString &directory, int busyTimeoutMs)
    : m_nBusyTimeout(busyTimeoutMs)
{
    const QString file = directory + QLatin1String("/Orvane.db");
    const QByteArray path = file.toUtf8();
    // A path that does not fit stays empty, so the store fails rather than use a cut-off name.
    if (path.size() < int(sizeof m_szDbPath))
        std::memcpy(m_szDbPath, path.constData(), std::size_t(path.size()) + 1);
    // Only a file SQLite calls damaged goes aside, or a symbolic link, which is never
    // followed: a file that is merely locked or read-only still holds the user's accounts.
    if (!open()
        && (m_openError == SQLITE_NOTADB || m_openError == SQLITE_CORRUPT
            || QFileInfo(file).isSymLink())) {
        moveAside();
        // A fresh store at once: this run's "remember password" is kept too.
        open();
    }
}

bool UserStore::open()
{
    if (m_bReady)
        return true;
    if (m_szDbPath[0] == '\0') {
        m_bReady = false;
        return false;
    }
    Connection db(m_szDbPath, m_nBusyTimeout);
    // Only the table's name is checked: a table of that name is taken as it is.
    m_bReady = db.hasTable("tbl_user_info") || db.execute(CreateTableSql) >= 0;
    m_openError = m_bReady ? 0 : db.lastErrorCode();
    return m_bReady;
}

void UserStore::moveAside() const
{
    const QString path = QString::fromUtf8(m_szDbPath);
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        return;
    // The unusable file is kept under a name of its own and a fresh one is made; a link is
    // renamed itself, its target left alone.
    const auto seconds = static_cast<quint32>(QDateTime::currentSecsSinceEpoch());
    const QByteArray aside =
        QFile::encodeName(path + QLatin1Char('.') + QString::number(seconds, 16).toUpper());
    std::rename(m_szDbPath, aside.constData());
}

bool UserStore::userExists(const QString &name) const
{
    Connection db(m_szDbPath, m_nBusyTimeout);
    return hasUser(db, name);
}

bool UserStore::saveUser(const QString &name, const QString &password, bool remember,
                         bool autoLogin) const
{
    // A password is kept only for accounts whose remember-password box is ticked.
    const QByteArray passwd = remember ? password.toUtf8() : QByteArray();
    // The check and the write share one connection: each open reads the file and its schema.
    Connection db(m_szDbPath, m_nBusyTimeout);
    if (hasUser(db, name)) {
        return db.execute("update tbl_user_info set passwd = ?, remember_pwd = ?, auto_login = ?, "
                          "login_time = datetime('now', 'localtime')  where user_name = ?",
                          {text(passwd), flag(remember), flag(autoLogin), text(name)})
            >= 0;
    }
    return db.execute("insert into tbl_user_info(user_name, passwd, remember_pwd, auto_login)  "
                      "values(?, ?, ?, ?)",
                      {text(name), text(passwd), flag(remember), flag(autoLogin)})
        >= 0;
}

bool UserStore::loadUser(const QString &name, QString &password, int &remember,
                         int &autoLogin) const
{
    password = QString();
    if (name.isEmpty())
        return false;

    Connection db(m_szDbPath, m_nBusyTimeout);
    const std::unique_ptr<CSqlite3Query> query(
        db.query("select passwd, remember_pwd, auto_login from tbl_user_info where user_name = ?",
                 {text(name)}));
    if (!query)
        return false;
    if (!query->atEnd()) {
        remember = query->intValue(1, 0);
        autoLogin = query->intValue(2, 0);
        int length = 0;
        const char *passwd = query->textValue(0, length);
        password = foundText(passwd, length);
    }
    return true;
}

bool UserStore::removeUser(const QString &name) const
{
    Connection db(m_szDbPath, m_nBusyTimeout);
    const int removed = db.execute("delete from tbl_user_info where user_name = ?", {text(name)});
    if (removed != 0)
        return removed > 0;
    // A name whose bytes are no UTF-8 is listed as what they decode to, which encodes back to
    // other bytes: find its row by the decoded name instead.
    const std::unique_ptr<CSqlite3Query> query(
        db.query("select rowid, user_name from tbl_user_info"));
    QList<int> rows;
    for (; query && !query->atEnd(); query->nextRow()) {
        int length = 0;
        const char *stored = query->textValue(1, length);
        if (QString::fromUtf8(stored, length) == name)
            rows << query->intValue(0);
    }
    for (const int row : qAsConst(rows)) {
        if (db.execute("delete from tbl_user_info where rowid = ?", {CSqlite3Param::fromInt(row)})
            < 0)
            return false;
    }
    return true;
}

void UserStore::listUserNames(QStringList &names) const
{
    // The list is built aside and swapped in, so the previous one is freed after SQLite has
    // released its sort memory, not while it allocates it: freeing many small strings in
    // between made glibc give the heap back and fault it in again on every call.
    QStringList found;
    {
        Connection db(m_szDbPath, m_nBusyTimeout);
        const std::unique_ptr<CSqlite3Query> query(
            db.query("select user_name from tbl_user_info order by login_time desc"));
        while (query && !query->atEnd()) {
            int length = 0;
            const char *name = query->textValue(0, length);
            if (length > 0) {
                // Moved into an empty slot: appending a copy would count the new string's
                // reference up and down again, two atomic operations a row.
                found.append(QString());
                found.last() = QString::fromUtf8(name, length);
            }
            query->nextRow();
        }
    }
    names.swap(found);
}

QString UserStore::saveProblem() const
{
    // Tried rather than looked up: permission bits and access() do not tell what may be done.
    const QFileInfo file(QString::fromUtf8(m_szDbPath));
    QTemporaryFile probe(file.path() + QStringLiteral("/.orvane-XXXXXX"));
    if (!probe.open())
        return QStringLiteral("文件夹 %1 不能写入").arg(QDir::toNativeSeparators(file.path()));
    // A full disk still lets an empty file be made; a save needs room for pages and a journal.
    const QByteArray room(64 * 1024, '\0');
    if (probe.write(room) != room.size() || !probe.flush())
        return QStringLiteral("文件夹 %1 没有足够的空间")
            .arg(QDir::toNativeSeparators(file.path()));
    QFile db(file.filePath());
    if (file.exists() && !db.open(QIODevice::ReadWrite))
        return QStringLiteral("%1 是只读的").arg(QDir::toNativeSeparators(file.filePath()));
    if (!m_bReady)
        return QStringLiteral("%1 无法打开").arg(QDir::toNativeSeparators(file.filePath()));
    return QString();
}
