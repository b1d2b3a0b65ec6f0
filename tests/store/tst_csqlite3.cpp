// SPDX-License-Identifier: MIT
#include "store/csqlite3.h"
#include "store/csqlite3query.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sqlite3.h>

#include <sys/stat.h>

#include <functional>
#include <memory>

using QueryOp = std::function<QVariant(CSqlite3Query &)>;
Q_DECLARE_METATYPE(QueryOp)

namespace {

template <typename Object> QByteArray errorOf(const Object &object)
{
    char text[CSqlite3::ErrMsgSize + 1] = {};
    object.getErrMsg(text, CSqlite3::ErrMsgSize);
    return text;
}

// Null pointers and empty texts must stay apart in comparisons.
QVariant textOrNull(const char *text)
{
    return text ? QVariant(QByteArray(text)) : QVariant();
}

CSqlite3Param bytes(const QByteArray &value)
{
    return CSqlite3Param::fromText(std::string(value.constData(), std::size_t(value.size())));
}

// SQLite's own message for sql run on a plain connection to path; empty when it succeeds.
QByteArray sqliteError(const QByteArray &path, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    QByteArray message;
    if (sqlite3_open(path.constData(), &db) == SQLITE_OK) {
        char *text = nullptr;
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &text) != SQLITE_OK)
            message = text ? text : sqlite3_errmsg(db);
        sqlite3_free(text);
    }
    sqlite3_close(db);
    return message;
}

} // namespace

class tst_CSqlite3 : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void walk_data();
    void walk();
    void queryInt_data();
    void queryInt();
    void columnReads_data();
    void columnReads();
    void queryWithoutStatement();
    void emptyPath();
    void invalidSql_data();
    void invalidSql();
    void stepFailureInNextRow();
    void boundValuesRoundTrip_data();
    void boundValuesRoundTrip();
    void newFileMode_data();
    void newFileMode();
    void lockedDatabaseFailsAfterBusyTimeout();

private:
    QByteArray path() const
    {
        return QFile::encodeName(m_dir->filePath(QStringLiteral("test.db")));
    }
    // Runs setup on the database through a connection of its own.
    void seed(const QByteArray &setup);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_CSqlite3::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_CSqlite3::seed(const QByteArray &setup)
{
    CSqlite3 db(path().constData());
    QVERIFY2(db.execute(setup.constData()) >= 0, errorOf(db).constData());
}

void tst_CSqlite3::walk_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QVariantList>("rows");

    QTest::newRow("select matching nothing is at end at once")
        << QByteArray("select a, b from t where a = 5") << QVariantList();
    QTest::newRow("three rows in order")
        << QByteArray("select a, b from t order by a") << QVariantList{1, 2, 3};
}

void tst_CSqlite3::walk()
{
    QFETCH(QByteArray, sql);
    QFETCH(QVariantList, rows);
    seed("create table t(a, b); insert into t values(3, 0), (1, 0), (2, 0);");

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query(sql.constData()));
    QVERIFY2(query, errorOf(db).constData());
    QVariantList seen;
    while (!query->atEnd()) {
        seen << query->intValue(0);
        query->nextRow();
    }
    QCOMPARE(seen, rows);
    QCOMPARE(errorOf(*query), QByteArray());
    // At the end it stays at the end: a finished statement is not stepped into a new run.
    QCOMPARE(query->nextRow(), SQLITE_DONE);
    QVERIFY(query->atEnd());
}

void tst_CSqlite3::queryInt_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("expected");

    QTest::newRow("count over an empty table") << QByteArray("select count(*) from empty") << 0;
    QTest::newRow("count over two rows") << QByteArray("select count(*) from two") << 2;
    QTest::newRow("digits followed by letters") << QByteArray("select '12abc'") << 12;
    QTest::newRow("letters only") << QByteArray("select 'abc'") << 0;
    QTest::newRow("invalid sql") << QByteArray("selec 1") << 0;
}

void tst_CSqlite3::queryInt()
{
    QFETCH(QByteArray, sql);
    QFETCH(int, expected);
    seed("create table empty(a); create table two(a); insert into two values(1), (2);");

    CSqlite3 db(path().constData());
    QCOMPARE(db.queryInt(sql.constData()), expected);
}

void tst_CSqlite3::columnReads_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QByteArray>("error");

    // The query is: select NULL as n, '1' as t, 'abc' as user_name
    QTest::newRow("textValue of NULL is an empty text")
        << QueryOp([](CSqlite3Query &q) { return textOrNull(q.textValue(0)); })
        << QVariant(QByteArray("")) << QByteArray();
    QTest::newRow("textValue of an unknown name is null")
        << QueryOp([](CSqlite3Query &q) { return textOrNull(q.textValue("nosuch")); }) << QVariant()
        << QByteArray("Can not find the colname : nosuch");
    QTest::newRow("intValue of NULL gives the default")
        << QueryOp([](CSqlite3Query &q) { return q.intValue(0, 7); }) << QVariant(7)
        << QByteArray();
    QTest::newRow("intValue of the text 1")
        << QueryOp([](CSqlite3Query &q) { return q.intValue("t", 7); }) << QVariant(1)
        << QByteArray();
    QTest::newRow("columnIndex is case-sensitive")
        << QueryOp([](CSqlite3Query &q) { return q.columnIndex("USER_NAME"); }) << QVariant(-1)
        << QByteArray("Can not find the colname : USER_NAME");
}

void tst_CSqlite3::columnReads()
{
    QFETCH(QueryOp, read);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(
        db.query("select NULL as n, '1' as t, 'abc' as user_name"));
    QVERIFY(query);
    QVERIFY(!query->atEnd());
    QCOMPARE(read(*query), expected);
    QCOMPARE(errorOf(*query), error);
    // A column failure is the query's own: the connection's text stays clean.
    QCOMPARE(errorOf(db), QByteArray());
}

void tst_CSqlite3::queryWithoutStatement()
{
    CSqlite3Query query;
    QCOMPARE(query.columnCount(), -1);
    QCOMPARE(errorOf(query), QByteArray("m_pVM is Empty"));
}

void tst_CSqlite3::emptyPath()
{
    const QByteArray error("The DB Path is Empty!");
    CSqlite3 empty("");
    QVERIFY(!empty.open());
    QCOMPARE(errorOf(empty), error);
    CSqlite3 unnamed(nullptr);
    QCOMPARE(unnamed.execute("create table t(a)"), -1);
    QCOMPARE(errorOf(unnamed), error);
    QVERIFY(!unnamed.isOpen());
}

void tst_CSqlite3::invalidSql_data()
{
    QTest::addColumn<QByteArray>("sql");

    QTest::newRow("syntax error") << QByteArray("selec 1");
    QTest::newRow("not null constraint") << QByteArray("insert into t(a) values(NULL)");
}

void tst_CSqlite3::invalidSql()
{
    QFETCH(QByteArray, sql);
    seed("create table t(a not null);");

    CSqlite3 db(path().constData());
    QCOMPARE(db.execute(sql.constData()), -1);
    const QByteArray expected = sqliteError(path(), sql);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(errorOf(db), expected);
}

// A step that fails mid-walk finalizes the statement right there, and only once: the query is
// then at its end and its destructor has nothing left to finalize.
void tst_CSqlite3::stepFailureInNextRow()
{
    const QByteArray sql("select abs(v) from t order by id");
    seed("create table t(id integer primary key, v integer);"
         "insert into t values(1, 1), (2, -9223372036854775808), (3, 3);");
    const QByteArray expected = sqliteError(path(), sql);
    QVERIFY(!expected.isEmpty());

    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(path().constData(), &db), SQLITE_OK);
    // Made as CSqlite3::query makes it: legacy prepare, first step done.
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare(db, sql.constData(), -1, &stmt, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
    auto *query = new CSqlite3Query(db, stmt, false, true);
    QCOMPARE(query->intValue(0), 1);

    QCOMPARE(query->nextRow(), 0);
    QCOMPARE(errorOf(*query), expected);
    QVERIFY(query->atEnd());
    QVERIFY(!query->hasStatement());
    QCOMPARE(sqlite3_next_stmt(db, nullptr), nullptr);
    delete query;
    // A statement left pending would keep the plain close from succeeding.
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
}

void tst_CSqlite3::boundValuesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("quotes") << QByteArray("it's ''quoted''");
    QTest::newRow("format markers") << QByteArray("%s%d%n%%");
    QTest::newRow("statement text") << QByteArray("x'); delete from t; --");
    QTest::newRow("2000 characters") << QByteArray(2000, 'n');
    QTest::newRow("zero byte inside") << QByteArray("a\0b", 3);
}

void tst_CSqlite3::boundValuesRoundTrip()
{
    QFETCH(QByteArray, value);
    seed("create table t(id integer primary key, a text not null);"
         "insert into t(a) values('other');");

    CSqlite3 db(path().constData());
    QCOMPARE(db.execute("insert into t(a) values(?)", {bytes(value)}), 1);
    QCOMPARE(db.queryInt("select count(*) from t where a = ?", {bytes(value)}), 1);
    QCOMPARE(db.queryInt("select count(*) from t"), 2);

    std::unique_ptr<CSqlite3Query> query(
        db.query("select a from t where id = ?", {CSqlite3Param::fromInt(2)}));
    QVERIFY(query);
    QVERIFY(!query->atEnd());
    int length = -1;
    const char *text = query->textValue(0, length);
    QCOMPARE(QByteArray(text, length), value);
}

void tst_CSqlite3::newFileMode_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("existingMode"); // -1: no file yet
    QTest::addColumn<int>("expected");

    QTest::newRow("new file, umask 000") << 0 << -1 << 0600;
    QTest::newRow("existing file keeps its mode") << 022 << 0644 << 0644;
}

// Fault guard: SQLite created new database files 0644, readable by every local user.
void tst_CSqlite3::newFileMode()
{
    QFETCH(int, mask);
    QFETCH(int, existingMode);
    QFETCH(int, expected);

    const mode_t oldMask = ::umask(mode_t(mask));
    const auto restoreMask = qScopeGuard([oldMask] { ::umask(oldMask); });
    if (existingMode >= 0) {
        seed("create table t(a);");
        QVERIFY(::chmod(path().constData(), mode_t(existingMode)) == 0);
    }
    CSqlite3 db(path().constData());
    QCOMPARE(db.execute("create table if not exists t(a); insert into t values(1);"), 1);
    struct stat info = {};
    QCOMPARE(::stat(path().constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), expected);
}

void tst_CSqlite3::lockedDatabaseFailsAfterBusyTimeout()
{
    seed("create table t(a);");
    CSqlite3 holder(path().constData());
    QCOMPARE(holder.execute("begin exclusive"), 0);

    CSqlite3 waiter(path().constData());
    waiter.setBusyTimeout(100);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(waiter.execute("insert into t values(1)"), -1);
    const qint64 waited = timer.elapsed();
    QCOMPARE(errorOf(waiter), QByteArray(sqlite3_errstr(SQLITE_BUSY)));
    // It waited for the lock, but not for the default minute.
    QVERIFY2(waited >= 50 && waited < 10000, QByteArray::number(waited).constData());

    QVERIFY(holder.execute("rollback") >= 0);
    QCOMPARE(waiter.execute("insert into t values(1)"), 1);
}

QTEST_GUILESS_MAIN(tst_CSqlite3)
#include "tst_csqlite3.moc"
