// SPDX-License-Identifier: MIT
// The SQLite wrapper and the saved-account store, on healthy files and on files that are
// locked, read-only, damaged or someone else's.
#include "store/csqlite3.h"
#include "store/csqlite3query.h"
#include "store/userstore.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <functional>
#include <memory>

using DbOp = std::function<QVariantList(CSqlite3 &)>; // {result, error text}
Q_DECLARE_METATYPE(DbOp)

namespace {

template <typename Object> QString errorOf(const Object &object)
{
    char text[CSqlite3::ErrMsgSize + 1] = {};
    object.getErrMsg(text, CSqlite3::ErrMsgSize);
    return QString::fromUtf8(text);
}

// The listed names; the list handed in holds an entry of its own, which must go.
QStringList names(const UserStore &store)
{
    QStringList list{QStringLiteral("stale entry")};
    store.listUserNames(list);
    return list;
}

// What loadUser gives, a null password shown as "<null>"; the flags start as given.
QVariantList loaded(const UserStore &store, const QString &name, int remember = -1,
                    int autoLogin = -1)
{
    QString password = QStringLiteral("previous");
    const bool ok = store.loadUser(name, password, remember, autoLogin);
    return {ok, password.isNull() ? QStringLiteral("<null>") : password, remember, autoLogin};
}

enum class Fault {
    Locked,
    ReadOnlyFile,
    ReadOnlyFolder,
    Garbage,
    ForeignTable,
    LinkToNothing,
    LinkToEmptyFile,
    LinkToForeignDatabase,
    DiskFull
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(TestSupport::actAsPlainOwner()); }
    void init();

    void wrapper_data();
    void wrapper();
    void stepFailureFinalizesOnce();
    void newFileIsPrivate();
    void saveTwice_data();
    void saveTwice();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void nameThatIsNoUtf8();
    void unknownName();
    void faultyFile_data();
    void faultyFile();

private:
    QString dbFile() const { return m_dir->filePath(QStringLiteral("Orvane.db")); }
    QByteArray dbPath() const { return QFile::encodeName(dbFile()); }
    // Every row of the table as "a|b|c", read past the store.
    QStringList rows(const char *sql = "select * from tbl_user_info order by 1") const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QStringList TstStore::rows(const char *sql) const
{
    CSqlite3 db(dbPath().constData());
    db.setBusyTimeout(5000);
    std::unique_ptr<CSqlite3Query> query(db.query(sql));
    QStringList found;
    for (; query && !query->atEnd(); query->nextRow()) {
        QStringList values;
        for (int i = 0; i < query->columnCount(); ++i)
            values << QString::fromUtf8(query->textValue(i));
        found << values.join(QLatin1Char('|'));
    }
    return found;
}

void TstStore::wrapper_data()
{
    QTest::addColumn<DbOp>("op");
    QTest::addColumn<QVariantList>("expected");

    const auto query = [](const char *sql, std::function<QVariant(CSqlite3Query &)> read) {
        return DbOp([=](CSqlite3 &db) {
            std::unique_ptr<CSqlite3Query> q(db.query(sql));
            return q ? QVariantList{read(*q), errorOf(*q)}
                     : QVariantList{"<no query>", errorOf(db)};
        });
    };
    QTest::newRow("count") << DbOp([](CSqlite3 &db) {
        return QVariantList{db.queryInt("select count(*) from t"), errorOf(db)};
    }) << QVariantList{3, ""};
    QTest::newRow("digits then letters") << DbOp([](CSqlite3 &db) {
        return QVariantList{db.queryInt("select '12abc'"), errorOf(db)};
    }) << QVariantList{12, ""};
    QTest::newRow("syntax error") << DbOp([](CSqlite3 &db) {
        return QVariantList{db.execute("selec 1"), errorOf(db)};
    }) << QVariantList{-1, "near \"selec\": syntax error"};
    QTest::newRow("constraint") << DbOp([](CSqlite3 &db) {
        return QVariantList{db.execute("insert into t values(NULL)"), errorOf(db)};
    }) << QVariantList{-1, "NOT NULL constraint failed: t.a"};
    QTest::newRow("walk in order") << query("select a from t order by a", [](CSqlite3Query &q) {
        QVariantList seen;
        for (; !q.atEnd(); q.nextRow())
            seen << q.intValue(0);
        // At the end it stays there: a finished statement is not stepped into a new run.
        return QVariant(seen << q.nextRow());
    }) << QVariantList{QVariantList{1, 2, 3, SQLITE_DONE}, ""};
    QTest::newRow("text of NULL") << query("select NULL", [](CSqlite3Query &q) {
        return QVariant(QByteArray(q.textValue(0)));
    }) << QVariantList{QByteArray(""), ""};
    QTest::newRow("unknown column") << query("select 1 as user_name", [](CSqlite3Query &q) {
        return QVariant(q.textValue("USER_NAME") == nullptr);
    }) << QVariantList{true, "Can not find the colname : USER_NAME"};
    QTest::newRow("no path") << DbOp([](CSqlite3 &) {
        CSqlite3 unnamed(nullptr);
        return QVariantList{unnamed.execute("select 1"), errorOf(unnamed)};
    }) << QVariantList{-1, "The DB Path is Empty!"};
}

void TstStore::wrapper()
{
    QFETCH(DbOp, op);
    QFETCH(QVariantList, expected);
    CSqlite3 db(dbPath().constData());
    QCOMPARE(db.execute("create table t(a not null); insert into t values(3), (1), (2);"), 3);
    QCOMPARE(op(db), expected);
}

// A step that fails mid-walk finalizes the statement right there, and only once.
void TstStore::stepFailureFinalizesOnce()
{
    {
        CSqlite3 seed(dbPath().constData());
        QVERIFY(seed.execute("create table t(id integer primary key, v integer);"
                             "insert into t values(1, 1), (2, -9223372036854775808);")
                >= 0);
    }
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(dbPath().constData(), &db), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare(db, "select abs(v) from t order by id", -1, &stmt, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
    auto *query = new CSqlite3Query(db, stmt, false, true);
    QCOMPARE(query->nextRow(), 0);
    QCOMPARE(errorOf(*query), QStringLiteral("integer overflow"));
    QVERIFY(query->atEnd());
    delete query;
    // A statement left pending would keep the plain close from succeeding.
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
}

// Before: SQLite created the file with the remembered passwords 0644, readable by all users.
void TstStore::newFileIsPrivate()
{
    const mode_t oldMask = ::umask(0);
    const auto restoreMask = qScopeGuard([oldMask] { ::umask(oldMask); });
    UserStore store(m_dir->path());
    QVERIFY(store.open());
    struct stat info = {};
    QCOMPARE(::stat(dbPath().constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), 0600);
    QCOMPARE(names(store), QStringList());
}

void TstStore::saveTwice_data()
{
    QTest::addColumn<bool>("remember1");
    QTest::addColumn<bool>("remember2");
    QTest::addColumn<bool>("autoLogin2");
    QTest::newRow("remembered, new password, auto login") << true << true << true;
    QTest::newRow("remembered, then forgotten") << true << false << false;
    QTest::newRow("forgotten, then remembered") << false << true << false;
}

void TstStore::saveTwice()
{
    QFETCH(bool, remember1);
    QFETCH(bool, remember2);
    QFETCH(bool, autoLogin2);
    // Without remember an empty text is stored in place of the password.
    const auto row = [](const char *password, bool remember, bool autoLogin) {
        return QStringList{QStringLiteral("%1|%2|%3")
                               .arg(remember ? password : "")
                               .arg(int(remember))
                               .arg(int(autoLogin))};
    };
    const char *const stored = "select passwd, remember_pwd, auto_login from tbl_user_info "
                               "where user_name = 'alice'";

    UserStore store(m_dir->path());
    QVERIFY(store.saveUser("alice", "old", remember1, false));
    QCOMPARE(rows(stored), row("old", remember1, false));
    QVERIFY(store.saveUser("bob", "bobpw", true, false));
    // Sign-in times have one-second steps; set them apart explicitly.
    QCOMPARE(CSqlite3(dbPath().constData())
                 .execute("update tbl_user_info set login_time = case user_name when 'alice' "
                          "then '2001-01-01 00:00:00' else '2002-01-01 00:00:00' end"),
             2);
    QCOMPARE(names(store), QStringList({"bob", "alice"}));

    QVERIFY(store.saveUser("alice", "new", remember2, autoLogin2));
    QCOMPARE(rows(stored), row("new", remember2, autoLogin2));
    QCOMPARE(names(store), QStringList({"alice", "bob"}));
    QCOMPARE(loaded(store, "alice"),
             (QVariantList{true, remember2 ? "new" : "", int(remember2), int(autoLogin2)}));
}

void TstStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::newRow("quotes") << "o'brien"
                            << "it's 'quoted'";
    QTest::newRow("format markers") << "%s%d"
                                    << "%s%n%%";
    QTest::newRow("statement text") << "x' or '1'='1"
                                    << "'); delete from tbl_user_info; --";
    QTest::newRow("2000 characters") << QString(2000, 'n') << QString(2000, 'p');
    QTest::newRow("2000 non-ASCII and quotes")
        << QString(2000, QChar(0x5f20)) << QString(2000, '\'');
}

// Before: values were written into a 1023-byte statement text, so a quote could break the
// statement, "%s" was read as a marker, and long values cut the statement short.
void TstStore::valuesRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    UserStore store(m_dir->path());
    QVERIFY(store.saveUser("other", "otherpw", true, false));
    QVERIFY(store.saveUser(name, password, true, true));
    QVERIFY(store.userExists(name));
    QVERIFY(names(store).contains(name));
    QCOMPARE(loaded(store, name), (QVariantList{true, password, 1, 1}));
    QVERIFY(store.removeUser(name));
    QCOMPARE(names(store), QStringList{"other"});
    QCOMPARE(loaded(store, "other"), (QVariantList{true, "otherpw", 1, 0}));
}

// Before: a name saved with bytes that are no UTF-8 was listed, but could not be deleted.
void TstStore::nameThatIsNoUtf8()
{
    UserStore store(m_dir->path());
    QCOMPARE(CSqlite3(dbPath().constData())
                 .execute("insert into tbl_user_info(user_name, passwd) values(x'61ff62', '')"),
             1);
    const QStringList listed = names(store);
    QCOMPARE(listed.size(), 1);
    QVERIFY(store.removeUser(listed.first()));
    QCOMPARE(names(store), QStringList());
}

void TstStore::unknownName()
{
    UserStore store(m_dir->path());
    QVERIFY(store.saveUser("alice", "pw", true, true));
    // True, with the password null and the caller's flags untouched.
    QCOMPARE(loaded(store, "nobody", 7, -3), (QVariantList{true, "<null>", 7, -3}));
    QVERIFY(store.removeUser("nobody"));
    QCOMPARE(names(store), QStringList{"alice"});
}

void TstStore::faultyFile_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("listed");      // saved names still listed at start-up
    QTest::addColumn<bool>("movedAside"); // and a fresh store made in the same run
    QTest::addColumn<bool>("told");       // the login window can say why nothing is kept
    QTest::newRow("locked") << Fault::Locked << 0 << false << true;
    QTest::newRow("read-only-file") << Fault::ReadOnlyFile << 2 << false << true;
    QTest::newRow("read-only-folder") << Fault::ReadOnlyFolder << 2 << false << true;
    QTest::newRow("garbage") << Fault::Garbage << 0 << true << false;
    QTest::newRow("foreign-table") << Fault::ForeignTable << 0 << false << false;
    // Before: an empty probe file fitted, so the user was never told.
    QTest::newRow("disk-full") << Fault::DiskFull << 2 << false << true;
    // Before: the password went into a new file made 0644 where the link pointed, into an
    // empty file the link named, or as a table into someone else's database; later the link
    // went aside but no store was made again, so the run's "remember password" was lost.
    QTest::newRow("link-to-nothing") << Fault::LinkToNothing << 0 << true << false;
    QTest::newRow("link-to-empty-file") << Fault::LinkToEmptyFile << 0 << true << false;
    QTest::newRow("link-to-foreign-database") << Fault::LinkToForeignDatabase << 0 << true << false;
}

// Nothing crashes, writes fail without harm, nothing saved is lost or altered, and only a
// damaged file or a link is moved aside (kept byte for byte) for a fresh store.
void TstStore::faultyFile()
{
    QFETCH(Fault, fault);
    QFETCH(int, listed);
    QFETCH(bool, movedAside);
    QFETCH(bool, told);
    {
        UserStore seed(m_dir->path());
        QVERIFY(seed.saveUser("13800000001", "pw1", true, false));
        QVERIFY(seed.saveUser("13900000002", "p'w2", true, true));
    }
    QStringList before = rows();
    const QString target = m_dir->filePath("elsewhere.db");
    const QByteArray garbage = QByteArray("this is not a database\n").repeated(300);
    rlimit fileSize{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &fileSize) == 0);
    const rlimit full{1024, fileSize.rlim_max};
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &fileSize); });
    CSqlite3 holder(dbPath().constData());
    switch (fault) {
    case Fault::Locked:
        QCOMPARE(holder.execute("begin exclusive"), 0);
        break;
    case Fault::ReadOnlyFile:
        QVERIFY(QFile::setPermissions(dbFile(), QFileDevice::ReadOwner));
        break;
    case Fault::ReadOnlyFolder:
        QVERIFY(
            QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        break;
    case Fault::Garbage:
        QVERIFY(TestSupport::writeFile(dbFile(), garbage));
        break;
    case Fault::ForeignTable:
        QVERIFY(QFile::remove(dbFile()));
        QVERIFY(holder.execute("create table tbl_user_info(x text, y int);"
                               "insert into tbl_user_info values('foreign', 7);")
                >= 0);
        holder.close();
        before = QStringList{"foreign|7"};
        break;
    case Fault::LinkToForeignDatabase:
        QVERIFY(CSqlite3(QFile::encodeName(target).constData()).execute("create table t(a)") >= 0);
        Q_FALLTHROUGH();
    case Fault::LinkToEmptyFile:
        QVERIFY(TestSupport::writeFile(target, TestSupport::readFile(target)));
        Q_FALLTHROUGH();
    case Fault::LinkToNothing:
        QVERIFY(QFile::remove(dbFile()) && QFile::link(target, dbFile()));
        break;
    case Fault::DiskFull: // no write past the first KiB of any file, as on a full disk
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
        break;
    }
    const QByteArray targetBefore = TestSupport::readFile(target);

    {
        UserStore store(m_dir->path(), 300);
        QCOMPARE(names(store).size(), listed);
        QCOMPARE(store.saveUser("13700000003", "x", true, false), movedAside);
        QVERIFY(movedAside || !store.removeUser("13800000001"));
        QCOMPARE(!store.saveProblem().isEmpty(), told);
    }
    if (fault == Fault::Locked)
        holder.execute("rollback");
    QFile::setPermissions(m_dir->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(dbFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QStringList aside =
        QDir(m_dir->path()).entryList({"Orvane.db.*"}, QDir::Files | QDir::System);
    QCOMPARE(aside.size(), movedAside ? 1 : 0);
    if (!movedAside) {
        QCOMPARE(rows(), before);
        return;
    }
    // A link goes aside itself; what it points to is never touched, nor made.
    QCOMPARE(QFileInfo::exists(target), fault != Fault::LinkToNothing && fault != Fault::Garbage);
    QCOMPARE(TestSupport::readFile(target), targetBefore);
    if (fault == Fault::Garbage)
        QCOMPARE(TestSupport::readFile(m_dir->filePath(aside.first())), garbage);
    // What that run saved is there at the next start.
    UserStore next(m_dir->path());
    QCOMPARE(names(next), QStringList{"13700000003"});
}

QTEST_GUILESS_MAIN(TstStore)
#include "tst_store.moc"
