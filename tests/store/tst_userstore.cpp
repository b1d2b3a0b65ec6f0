// SPDX-License-Identifier: MIT
#include "store/csqlite3.h"
#include "store/csqlite3query.h"
#include "store/userstore.h"
#include "tests/support/testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sys/stat.h>

#include <memory>

namespace {

const char CreateTableSql[] =
    "CREATE TABLE tbl_user_info(id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,user_name "
    "VARCHAR(128) NOT NULL,passwd VARCHAR(128) NOT NULL,remember_pwd INT NOT NULL DEFAULT "
    "0,auto_login INT NOT NULL DEFAULT 0,login_time TIMESTAMP default (datetime('now', "
    "'localtime')))";

CSqlite3Param text(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    return CSqlite3Param::fromText(std::string(utf8.constData(), std::size_t(utf8.size())));
}

// The listed names; the list handed in holds an entry of its own, which must go.
QStringList names(const UserStore &store)
{
    QStringList list{QStringLiteral("stale entry")};
    store.listUserNames(list);
    return list;
}

// What loadUser gives, with a null password shown as "<null>"; the flags start as given.
QVariantList loaded(const UserStore &store, const QString &name, int remember = -1,
                    int autoLogin = -1)
{
    QString password = QStringLiteral("previous");
    const bool ok = store.loadUser(name, password, remember, autoLogin);
    return {ok, password.isNull() ? QStringLiteral("<null>") : password, remember, autoLogin};
}

// Every operation once, in this order: exists, save, load, list, remove.
QVariantList everyOperation(const UserStore &store, const QString &name)
{
    QVariantList results;
    results << store.userExists(name) << store.saveUser(name, QStringLiteral("pw"), true, false)
            << loaded(store, name).first() << names(store) << store.removeUser(name);
    return results;
}

} // namespace

class tst_UserStore : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStart();
    void saveTwice_data();
    void saveTwice();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void unknownName();
    void notADatabaseIsMovedAside();
    void foreignTable_data();
    void foreignTable();
    void lockedDatabaseFails();

private:
    QString dbFile() const { return m_dir->filePath(QStringLiteral("Orvane.db")); }
    QByteArray dbPath() const { return QFile::encodeName(dbFile()); }
    // The first column of every row of sql, straight from the file past the store.
    QStringList rowsOf(const char *sql, const CSqlite3Params &params = {}) const;
    QStringList storedRows(const QString &name) const
    {
        return rowsOf("select passwd || '|' || remember_pwd || '|' || auto_login "
                      "from tbl_user_info where user_name = ?",
                      {text(name)});
    }
    QStringList tableSql() const
    {
        return rowsOf("select sql from sqlite_master where name = 'tbl_user_info'");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_UserStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QStringList tst_UserStore::rowsOf(const char *sql, const CSqlite3Params &params) const
{
    CSqlite3 db(dbPath().constData());
    std::unique_ptr<CSqlite3Query> query(db.query(sql, params));
    QStringList rows;
    for (; query && !query->atEnd(); query->nextRow()) {
        int length = 0;
        const char *row = query->textValue(0, length);
        rows << QString::fromUtf8(row, length);
    }
    return rows;
}

// Fault guard: the file with remembered passwords was created 0644, readable by all users.
void tst_UserStore::firstStart()
{
    // With no umask at all, only an explicit mode keeps other users out.
    const mode_t oldMask = ::umask(0);
    const auto restoreMask = qScopeGuard([oldMask] { ::umask(oldMask); });

    UserStore store(m_dir->path());
    QVERIFY(store.open());
    QCOMPARE(store.databasePath(), dbFile());
    struct stat info = {};
    QCOMPARE(::stat(dbPath().constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), 0600);
    QCOMPARE(tableSql(), QStringList{CreateTableSql});
    QCOMPARE(names(store), QStringList());
}

void tst_UserStore::saveTwice_data()
{
    QTest::addColumn<QString>("password1");
    QTest::addColumn<bool>("remember1");
    QTest::addColumn<QString>("password2");
    QTest::addColumn<bool>("remember2");
    QTest::addColumn<bool>("autoLogin2");

    QTest::newRow("new password, auto login on") << "old" << true << "new" << true << true;
    QTest::newRow("remembered, then forgotten") << "pw" << true << "pw" << false << false;
    QTest::newRow("forgotten, then remembered") << "pw" << false << "pw2" << true << false;
}

void tst_UserStore::saveTwice()
{
    QFETCH(QString, password1);
    QFETCH(bool, remember1);
    QFETCH(QString, password2);
    QFETCH(bool, remember2);
    QFETCH(bool, autoLogin2);
    const QString alice = QStringLiteral("alice");
    const QString bob = QStringLiteral("bob");
    // Without remember, an empty text is stored in place of the password.
    const auto row = [](const QString &password, bool remember, bool autoLogin) {
        return QStringList{(remember ? password : QString()) +
                           QStringLiteral("|%1|%2").arg(int(remember)).arg(int(autoLogin))};
    };

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(alice, password1, remember1, false));
    QCOMPARE(storedRows(alice), row(password1, remember1, false));
    QVERIFY(store.saveUser(bob, QStringLiteral("bobpw"), true, false));
    // Sign-in times have one-second steps; set them apart explicitly.
    QCOMPARE(CSqlite3(dbPath().constData())
                 .execute("update tbl_user_info set login_time = case user_name when 'alice' "
                          "then '2001-01-01 00:00:00' else '2002-01-01 00:00:00' end"),
             2);
    QCOMPARE(names(store), (QStringList{bob, alice}));

    QVERIFY(store.saveUser(alice, password2, remember2, autoLogin2));
    QCOMPARE(storedRows(alice), row(password2, remember2, autoLogin2));
    QCOMPARE(names(store), (QStringList{alice, bob}));
    QCOMPARE(storedRows(bob), row(QStringLiteral("bobpw"), true, false));

    QCOMPARE(loaded(store, alice), (QVariantList{true, remember2 ? password2 : QString(""),
                                                 int(remember2), int(autoLogin2)}));
}

void tst_UserStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");

    QTest::newRow("quotes") << QStringLiteral("o'brien") << QStringLiteral("it's 'quoted'");
    QTest::newRow("format markers") << QStringLiteral("%s%d") << QStringLiteral("%s%n%%");
    QTest::newRow("statement text")
        << QStringLiteral("x' or '1'='1") << QStringLiteral("'); delete from tbl_user_info; --");
    QTest::newRow("2000-character name") << QString(2000, QLatin1Char('n')) << QStringLiteral("pw");
    QTest::newRow("2000-character password") << QStringLiteral("frank") << QString(2000, 'p');
    QTest::newRow("2000 non-ASCII characters and quotes")
        << QString(2000, QChar(0x5f20)) << QString(2000, QLatin1Char('\''));
}

// Fault guard: values were written into a 1023-byte statement text, so a quote could break the
// statement, "%s" was re-read as a marker, and long values cut the statement short.
void tst_UserStore::valuesRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    const QString other = QStringLiteral("other");

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(other, QStringLiteral("otherpw"), true, false));
    QVERIFY(store.saveUser(name, password, true, true));
    QVERIFY(store.userExists(name));
    QVERIFY(names(store).contains(name));

    QCOMPARE(loaded(store, name), (QVariantList{true, password, 1, 1}));
    QVERIFY(store.removeUser(name));
    QCOMPARE(names(store), QStringList{other});
    QCOMPARE(storedRows(other), QStringList{QStringLiteral("otherpw|1|0")});
}

void tst_UserStore::unknownName()
{
    const QString name = QStringLiteral("nobody");
    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, true));

    // True, with the password null and the caller's flags untouched.
    QCOMPARE(loaded(store, name, 7, -3), (QVariantList{true, QStringLiteral("<null>"), 7, -3}));
    QVERIFY(store.removeUser(name));
    QCOMPARE(names(store), QStringList{QStringLiteral("alice")});
}

void tst_UserStore::notADatabaseIsMovedAside()
{
    const QByteArray content("these are not the pages you are looking for\n");
    QVERIFY(TestSupport::writeFile(dbFile(), content));

    const auto before = quint32(QDateTime::currentSecsSinceEpoch());
    {
        const UserStore start(m_dir->path());
    }
    const auto after = quint32(QDateTime::currentSecsSinceEpoch());

    // Kept as "Orvane.db." and the time in upper-case hexadecimal seconds.
    const QStringList aside = QDir(m_dir->path()).entryList({QStringLiteral("Orvane.db.*")});
    QCOMPARE(aside.size(), 1);
    const QString suffix = aside.first().mid(QStringLiteral("Orvane.db.").size());
    const uint seconds = suffix.toUInt(nullptr, 16);
    QVERIFY2(suffix == suffix.toUpper() && seconds >= before && seconds <= after,
             qPrintable(suffix));
    QFile moved(m_dir->filePath(aside.first()));
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), content);

    // The next start makes a fresh database.
    QVERIFY(!QFile::exists(dbFile()));
    UserStore next(m_dir->path());
    QVERIFY(next.open());
    QCOMPARE(tableSql(), QStringList{CreateTableSql});
    QVERIFY(next.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QCOMPARE(names(next), QStringList{QStringLiteral("alice")});
}

void tst_UserStore::foreignTable_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QVariantList>("results"); // exists, save, load, list, remove

    QTest::newRow("unrelated columns")
        << QByteArray("CREATE TABLE tbl_user_info(foo TEXT, bar INT);"
                      "INSERT INTO tbl_user_info VALUES('zoe', 1);")
        << QVariantList{false, false, false, QStringList(), false};
    QTest::newRow("names without passwords")
        << QByteArray("CREATE TABLE tbl_user_info(user_name TEXT NOT NULL, login_time TEXT);"
                      "INSERT INTO tbl_user_info VALUES('zoe', '2001-01-01 00:00:00');")
        << QVariantList{true, false, false, QStringList{QStringLiteral("zoe")}, true};
}

void tst_UserStore::foreignTable()
{
    QFETCH(QByteArray, setup);
    QFETCH(QVariantList, results);
    {
        CSqlite3 db(dbPath().constData());
        QVERIFY(db.execute(setup.constData()) >= 0);
    }
    const QStringList before = tableSql();

    UserStore store(m_dir->path());
    QVERIFY(store.open());
    QCOMPARE(everyOperation(store, QStringLiteral("zoe")), results);
    // Taken as it is: neither replaced nor moved aside.
    QCOMPARE(tableSql(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("Orvane.db")});
}

void tst_UserStore::lockedDatabaseFails()
{
    const QString alice = QStringLiteral("alice");
    UserStore store(m_dir->path(), 100);
    QVERIFY(store.saveUser(alice, QStringLiteral("pw"), true, false));

    CSqlite3 holder(dbPath().constData());
    QCOMPARE(holder.execute("begin exclusive"), 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(everyOperation(store, alice),
             (QVariantList{false, false, false, QStringList(), false}));
    QVERIFY2(timer.elapsed() < 10000, QByteArray::number(timer.elapsed()).constData());

    QVERIFY(holder.execute("rollback") >= 0);
    QCOMPARE(everyOperation(store, alice),
             (QVariantList{true, true, true, QStringList{alice}, true}));
}

QTEST_GUILESS_MAIN(tst_UserStore)
#include "tst_userstore.moc"
