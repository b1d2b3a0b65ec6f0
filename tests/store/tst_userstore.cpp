// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "store/csqlite3.h"
#include "store/csqlite3query.h"
#include "store/userstore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sys/stat.h>

#include <functional>
#include <memory>

using StoreOp = std::function<QVariant(UserStore &)>;
Q_DECLARE_METATYPE(StoreOp)

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

int fileMode(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

class UmaskGuard
{
public:
    explicit UmaskGuard(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~UmaskGuard() { ::umask(m_old); }

private:
    mode_t m_old;
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList names(const UserStore &store)
{
    QStringList list{QStringLiteral("stale entry")};
    store.listUserNames(list);
    return list;
}

} // namespace

class tst_UserStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStart_data();
    void firstStart();
    void schemaAsTheCommandLineShowsIt();
    void existingFileKeepsItsMode();
    void saveTwice_data();
    void saveTwice();
    void forgottenPasswordIsNotStored_data();
    void forgottenPasswordIsNotStored();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void loadUnknownKeepsFlags_data();
    void loadUnknownKeepsFlags();
    void removeUnknownSucceeds_data();
    void removeUnknownSucceeds();
    void emptyNameIsSavedButNotListed();
    void notADatabaseIsMovedAside_data();
    void notADatabaseIsMovedAside();
    void foreignTable_data();
    void foreignTable();
    void lockedDatabaseFails_data();
    void lockedDatabaseFails();
    void unusablePath();
    void instanceUsesApplicationDirectory();

private:
    QString dbFile() const { return m_dir->filePath(QStringLiteral("Orvane.db")); }
    QByteArray dbPath() const { return QFile::encodeName(dbFile()); }
    // Straight to the file, past the store.
    int rowsNamed(const QString &name) const;
    QString columnOf(const char *column, const QString &name) const;
    void setLoginTime(const QString &name, const char *time) const;
    QString tableSql() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_UserStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_UserStore::cleanup()
{
    m_dir.reset();
}

int tst_UserStore::rowsNamed(const QString &name) const
{
    CSqlite3 db(dbPath().constData());
    return db.queryInt("select count(*) from tbl_user_info where user_name = ?", {text(name)});
}

QString tst_UserStore::columnOf(const char *column, const QString &name) const
{
    CSqlite3 db(dbPath().constData());
    const QByteArray sql =
        QByteArray("select ") + column + " from tbl_user_info where user_name = ?";
    std::unique_ptr<CSqlite3Query> query(db.query(sql.constData(), {text(name)}));
    if (!query || query->atEnd())
        return QString();
    int length = 0;
    const char *value = query->textValue(0, length);
    return QString::fromUtf8(value, length);
}

void tst_UserStore::setLoginTime(const QString &name, const char *time) const
{
    CSqlite3 db(dbPath().constData());
    QCOMPARE(db.execute("update tbl_user_info set login_time = ? where user_name = ?",
                        {CSqlite3Param::fromText(time), text(name)}),
             1);
}

QString tst_UserStore::tableSql() const
{
    CSqlite3 db(dbPath().constData());
    std::unique_ptr<CSqlite3Query> query(
        db.query("select sql from sqlite_master where type = 'table' and name = 'tbl_user_info'"));
    if (!query || query->atEnd())
        return QString();
    return QString::fromUtf8(query->textValue(0));
}

void tst_UserStore::firstStart_data()
{
    QTest::addColumn<int>("mask");

    QTest::newRow("umask 022") << 022;
    QTest::newRow("umask 002") << 002;
    QTest::newRow("umask 000") << 0;
}

// Fault guard: the file with remembered passwords was created 0644, readable by all users.
void tst_UserStore::firstStart()
{
    QFETCH(int, mask);
    const UmaskGuard umaskGuard{mode_t(mask)};

    UserStore store(m_dir->path());
    QVERIFY(store.open());
    QCOMPARE(store.databasePath(), dbFile());
    QVERIFY(QFile::exists(dbFile()));
    QCOMPARE(fileMode(dbFile()), 0600);
    QCOMPARE(tableSql(), QString::fromUtf8(CreateTableSql));
    QCOMPARE(names(store), QStringList());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("Orvane.db")});

    // Writing makes a journal; the file keeps its mode throughout.
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QCOMPARE(fileMode(dbFile()), 0600);
}

void tst_UserStore::schemaAsTheCommandLineShowsIt()
{
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty())
        QSKIP("the sqlite3 command line program is not installed");
    UserStore store(m_dir->path());
    QVERIFY(store.open());

    QProcess process;
    process.start(sqlite3, {dbFile(), QStringLiteral(".schema tbl_user_info")});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
             QString::fromUtf8(CreateTableSql) + QLatin1Char(';'));
}

void tst_UserStore::existingFileKeepsItsMode()
{
    {
        UserStore store(m_dir->path());
        QVERIFY(store.open());
    }
    QCOMPARE(::chmod(dbPath().constData(), 0640), 0);
    UserStore store(m_dir->path());
    QVERIFY(store.open());
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QCOMPARE(fileMode(dbFile()), 0640);
}

void tst_UserStore::saveTwice_data()
{
    QTest::addColumn<QString>("password1");
    QTest::addColumn<bool>("remember1");
    QTest::addColumn<bool>("auto1");
    QTest::addColumn<QString>("password2");
    QTest::addColumn<bool>("remember2");
    QTest::addColumn<bool>("auto2");

    QTest::newRow("new password") << "old" << true << false << "new" << true << false;
    QTest::newRow("remember, then forget") << "pw" << true << true << "pw" << false << false;
    QTest::newRow("forget, then remember") << "pw" << false << false << "pw2" << true << true;
    QTest::newRow("auto login switched on") << "pw" << true << false << "pw" << true << true;
}

void tst_UserStore::saveTwice()
{
    QFETCH(QString, password1);
    QFETCH(bool, remember1);
    QFETCH(bool, auto1);
    QFETCH(QString, password2);
    QFETCH(bool, remember2);
    QFETCH(bool, auto2);
    const QString alice = QStringLiteral("alice");
    const QString bob = QStringLiteral("bob");

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(alice, password1, remember1, auto1));
    QVERIFY(store.saveUser(bob, QStringLiteral("bobpw"), true, false));
    // Sign-in times have one-second steps; set them apart explicitly.
    setLoginTime(alice, "2001-01-01 00:00:00");
    setLoginTime(bob, "2002-01-01 00:00:00");
    QCOMPARE(names(store), (QStringList{bob, alice}));

    QVERIFY(store.saveUser(alice, password2, remember2, auto2));
    QCOMPARE(rowsNamed(alice), 1);
    QCOMPARE(names(store), (QStringList{alice, bob}));
    QVERIFY(columnOf("login_time", alice) > QStringLiteral("2002-01-01 00:00:00"));

    QString password;
    int remember = -1;
    int autoLogin = -1;
    QVERIFY(store.loadUser(alice, password, remember, autoLogin));
    QCOMPARE(password, remember2 ? password2 : QString());
    QVERIFY(!password.isNull());
    QCOMPARE(remember, int(remember2));
    QCOMPARE(autoLogin, int(auto2));

    // The other account is untouched.
    QVERIFY(store.loadUser(bob, password, remember, autoLogin));
    QCOMPARE(password, QStringLiteral("bobpw"));
    QCOMPARE(columnOf("login_time", bob), QStringLiteral("2002-01-01 00:00:00"));
}

void tst_UserStore::forgottenPasswordIsNotStored_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("autoLogin");

    QTest::newRow("password given") << "secret" << false;
    QTest::newRow("password given, auto login") << "secret" << true;
    QTest::newRow("no password") << "" << false;
}

void tst_UserStore::forgottenPasswordIsNotStored()
{
    QFETCH(QString, password);
    QFETCH(bool, autoLogin);
    const QString name = QStringLiteral("carol");

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(name, password, false, autoLogin));
    QCOMPARE(rowsNamed(name), 1);
    QCOMPARE(columnOf("passwd", name), QString());
    QCOMPARE(columnOf("remember_pwd", name), QStringLiteral("0"));

    QString loaded = QStringLiteral("previous");
    int remember = 1;
    int loadedAuto = -1;
    QVERIFY(store.loadUser(name, loaded, remember, loadedAuto));
    QVERIFY(loaded.isEmpty());
    QVERIFY(!loaded.isNull()); // a row was found
    QCOMPARE(remember, 0);
    QCOMPARE(loadedAuto, int(autoLogin));
}

void tst_UserStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");

    const QString plain = QStringLiteral("plain");
    QTest::newRow("quote in name") << "o'brien"
                                   << "pw";
    QTest::newRow("quote in password") << "dave"
                                       << "it's 'quoted'";
    QTest::newRow("format markers") << "%s%d"
                                    << "%s%n%%";
    QTest::newRow("statement text in name") << "x' or '1'='1"
                                            << "pw";
    QTest::newRow("statement text in password") << "erin"
                                                << "'); delete from tbl_user_info; --";
    QTest::newRow("2000-character name") << QString(2000, QLatin1Char('n')) << plain;
    QTest::newRow("2000-character password") << "frank" << QString(2000, QLatin1Char('p'));
    QTest::newRow("2000 characters each")
        << QString(2000, QChar(0x5f20)) << QString(2000, QLatin1Char('\''));
    QTest::newRow("multi-byte text across 127 bytes")
        << QString(126, QLatin1Char('a')) + QStringLiteral("\u00e9\u00e9") << plain;
    QTest::newRow("non-ASCII") << QStringLiteral("\u5f20\u4e09") << QStringLiteral("\u5bc6\u7801");
    QTest::newRow("zero character inside") << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                                           << QStringLiteral("p") + QChar(0) + QStringLiteral("w");
    QTest::newRow("backslash and newline") << "back\\slash\nline"
                                           << "tab\there";
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
    QCOMPARE(rowsNamed(name), 1);
    QCOMPARE(sorted(names(store)), sorted({name, other}));

    QString loaded;
    int remember = 0;
    int autoLogin = 0;
    QVERIFY(store.loadUser(name, loaded, remember, autoLogin));
    QCOMPARE(loaded, password);
    QCOMPARE(remember, 1);
    QCOMPARE(autoLogin, 1);

    // Saving again updates that one row.
    QVERIFY(store.saveUser(name, password + QStringLiteral("2"), true, false));
    QCOMPARE(rowsNamed(name), 1);
    QVERIFY(store.loadUser(name, loaded, remember, autoLogin));
    QCOMPARE(loaded, password + QStringLiteral("2"));

    QVERIFY(store.loadUser(other, loaded, remember, autoLogin));
    QCOMPARE(loaded, QStringLiteral("otherpw"));

    QVERIFY(store.removeUser(name));
    QVERIFY(!store.userExists(name));
    QCOMPARE(names(store), QStringList{other});
}

void tst_UserStore::loadUnknownKeepsFlags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("remember");
    QTest::addColumn<int>("autoLogin");
    QTest::addColumn<bool>("result");

    QTest::newRow("unknown name, flags 0 and 0") << "nobody" << 0 << 0 << true;
    QTest::newRow("unknown name, flags 1 and 1") << "nobody" << 1 << 1 << true;
    QTest::newRow("unknown name, odd flags") << "nobody" << 7 << -3 << true;
    QTest::newRow("known name in another case") << "ALICE" << 5 << 6 << true;
    QTest::newRow("empty name") << "" << 7 << -3 << false;
}

void tst_UserStore::loadUnknownKeepsFlags()
{
    QFETCH(QString, name);
    QFETCH(int, remember);
    QFETCH(int, autoLogin);
    QFETCH(bool, result);

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, true));

    QString password = QStringLiteral("previous");
    int loadedRemember = remember;
    int loadedAuto = autoLogin;
    QCOMPARE(store.loadUser(name, password, loadedRemember, loadedAuto), result);
    QVERIFY(password.isNull());
    QCOMPARE(loadedRemember, remember);
    QCOMPARE(loadedAuto, autoLogin);
}

void tst_UserStore::removeUnknownSucceeds_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("unknown name") << "nobody";
    QTest::newRow("empty name") << "";
    QTest::newRow("known name in another case") << "ALICE";
    QTest::newRow("known name with a space") << "alice ";
}

void tst_UserStore::removeUnknownSucceeds()
{
    QFETCH(QString, name);

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QVERIFY(store.saveUser(QStringLiteral("bob"), QStringLiteral("pw"), true, false));
    QVERIFY(store.removeUser(name));
    QCOMPARE(sorted(names(store)), (QStringList{QStringLiteral("alice"), QStringLiteral("bob")}));
}

void tst_UserStore::emptyNameIsSavedButNotListed()
{
    UserStore store(m_dir->path());
    QVERIFY(!store.userExists(QString()));
    QVERIFY(store.saveUser(QString(), QStringLiteral("pw"), true, false));
    QCOMPARE(rowsNamed(QString()), 1);
    QCOMPARE(names(store), QStringList());
    QVERIFY(store.removeUser(QString()));
    QCOMPARE(rowsNamed(QString()), 0);
}

void tst_UserStore::notADatabaseIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("text file") << QByteArray("these are not the pages you are looking for\n");
    QTest::newRow("zero bytes") << QByteArray(4096, '\0');
    QTest::newRow("header with a broken page size")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\xff');
}

void tst_UserStore::notADatabaseIsMovedAside()
{
    QFETCH(QByteArray, content);
    {
        QFile file(dbFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

    const auto before = quint32(QDateTime::currentSecsSinceEpoch());
    auto store = std::make_unique<UserStore>(m_dir->path());
    const auto after = quint32(QDateTime::currentSecsSinceEpoch());

    QVERIFY(!QFile::exists(dbFile()));
    const QStringList aside = QDir(m_dir->path()).entryList({QStringLiteral("Orvane.db.*")});
    QCOMPARE(aside.size(), 1);
    const QString suffix = aside.first().mid(QStringLiteral("Orvane.db.").size());
    QCOMPARE(suffix, suffix.toUpper());
    QVERIFY(!suffix.startsWith(QLatin1Char('0')));
    bool ok = false;
    const uint seconds = suffix.toUInt(&ok, 16);
    QVERIFY(ok);
    QVERIFY(seconds >= before && seconds <= after);
    QFile moved(m_dir->filePath(aside.first()));
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), content);

    // For the rest of this run the store stays unusable; the next connection makes an
    // empty file, private like any new one.
    QCOMPARE(names(*store), QStringList());
    QVERIFY(QFile::exists(dbFile()));
    QCOMPARE(fileMode(dbFile()), 0600);
    QVERIFY(!store->saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QVERIFY(tableSql().isEmpty());
    store.reset();

    // The next start makes the table in it.
    UserStore next(m_dir->path());
    QVERIFY(next.open());
    QCOMPARE(tableSql(), QString::fromUtf8(CreateTableSql));
    QVERIFY(next.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QCOMPARE(names(next), QStringList{QStringLiteral("alice")});
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("Orvane.db.*")}), aside);
}

void tst_UserStore::foreignTable_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("removed");

    QTest::newRow("unrelated columns")
        << QByteArray("CREATE TABLE tbl_user_info(foo TEXT, bar INT);"
                      "INSERT INTO tbl_user_info VALUES('zoe', 1);")
        << false << false << false << QStringList() << false;
    QTest::newRow("names without passwords")
        << QByteArray("CREATE TABLE tbl_user_info(user_name TEXT NOT NULL, login_time TEXT);"
                      "INSERT INTO tbl_user_info VALUES('zoe', '2001-01-01 00:00:00');")
        << true << false << false << QStringList{QStringLiteral("zoe")} << true;
    QTest::newRow("no login time")
        << QByteArray("CREATE TABLE tbl_user_info(user_name TEXT, passwd TEXT, remember_pwd INT,"
                      " auto_login INT);"
                      "INSERT INTO tbl_user_info VALUES('zoe', 'pw', 1, 0);")
        << true << false << true << QStringList() << true;
}

void tst_UserStore::foreignTable()
{
    QFETCH(QByteArray, setup);
    QFETCH(bool, exists);
    QFETCH(bool, saved);
    QFETCH(bool, loaded);
    QFETCH(QStringList, listed);
    QFETCH(bool, removed);
    {
        CSqlite3 db(dbPath().constData());
        QVERIFY(db.execute(setup.constData()) >= 0);
    }
    const QString before = tableSql();
    const QString zoe = QStringLiteral("zoe");

    UserStore store(m_dir->path());
    QVERIFY(store.open());
    QCOMPARE(store.userExists(zoe), exists);
    QCOMPARE(store.saveUser(zoe, QStringLiteral("new"), true, true), saved);
    QString password;
    int remember = 9;
    int autoLogin = 9;
    QCOMPARE(store.loadUser(zoe, password, remember, autoLogin), loaded);
    QCOMPARE(names(store), listed);
    QCOMPARE(store.removeUser(zoe), removed);

    // Taken as it is: neither replaced nor moved aside.
    QCOMPARE(tableSql(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("Orvane.db")});
}

void tst_UserStore::lockedDatabaseFails_data()
{
    QTest::addColumn<StoreOp>("operation");
    QTest::addColumn<QVariant>("whileLocked");
    QTest::addColumn<QVariant>("afterwards");

    const QString alice = QStringLiteral("alice");
    QTest::newRow("userExists") << StoreOp([=](UserStore &s) { return s.userExists(alice); })
                                << QVariant(false) << QVariant(true);
    QTest::newRow("saveUser") << StoreOp([=](UserStore &s) {
        return s.saveUser(alice, QStringLiteral("x"), true, false);
    }) << QVariant(false) << QVariant(true);
    QTest::newRow("loadUser") << StoreOp([=](UserStore &s) {
        QString password;
        int remember = 0;
        int autoLogin = 0;
        return s.loadUser(alice, password, remember, autoLogin) ? QVariant(password) : QVariant();
    }) << QVariant() << QVariant(QStringLiteral("pw"));
    QTest::newRow("removeUser") << StoreOp([=](UserStore &s) { return s.removeUser(alice); })
                                << QVariant(false) << QVariant(true);
    QTest::newRow("listUserNames") << StoreOp([](UserStore &s) { return names(s); })
                                   << QVariant(QStringList()) << QVariant(QStringList{alice});
}

void tst_UserStore::lockedDatabaseFails()
{
    QFETCH(StoreOp, operation);
    QFETCH(QVariant, whileLocked);
    QFETCH(QVariant, afterwards);

    UserStore store(m_dir->path(), 100);
    QCOMPARE(store.busyTimeout(), 100);
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));

    CSqlite3 holder(dbPath().constData());
    QCOMPARE(holder.execute("begin exclusive"), 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(operation(store), whileLocked);
    QVERIFY2(timer.elapsed() < 10000, QByteArray::number(timer.elapsed()).constData());

    QVERIFY(holder.execute("rollback") >= 0);
    QCOMPARE(operation(store), afterwards);
}

void tst_UserStore::unusablePath()
{
    // A directory that does not exist: nothing to move aside, every operation fails.
    UserStore store(m_dir->filePath(QStringLiteral("missing")), 100);
    QVERIFY(!store.open());
    QVERIFY(!store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QVERIFY(!store.userExists(QStringLiteral("alice")));
    QString password;
    int remember = 0;
    int autoLogin = 0;
    QVERIFY(!store.loadUser(QStringLiteral("alice"), password, remember, autoLogin));
    QVERIFY(!store.removeUser(QStringLiteral("alice")));
    QCOMPARE(names(store), QStringList());

    // A path too long to keep is refused rather than cut to another file's name.
    UserStore tooLong(m_dir->path() + QLatin1Char('/') + QString(1100, QLatin1Char('d')));
    QVERIFY(tooLong.databasePath().isEmpty());
    QVERIFY(!tooLong.open());
    QVERIFY(!tooLong.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
}

void tst_UserStore::instanceUsesApplicationDirectory()
{
    AppConfig::setApplicationDirectory(m_dir->path());
    UserStore &store = UserStore::instance();
    QCOMPARE(&UserStore::instance(), &store);
    QCOMPARE(store.databasePath(), AppConfig::applicationFile(QStringLiteral("Orvane.db")));
    QCOMPARE(tableSql(), QString::fromUtf8(CreateTableSql));
    QVERIFY(store.saveUser(QStringLiteral("alice"), QStringLiteral("pw"), true, false));
    QCOMPARE(names(store), QStringList{QStringLiteral("alice")});
    AppConfig::setApplicationDirectory(QString());
}

QTEST_GUILESS_MAIN(tst_UserStore)
#include "tst_userstore.moc"
