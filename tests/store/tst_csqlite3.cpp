// SPDX-License-Identifier: MIT
#include "store/csqlite3.h"
#include "store/csqlite3query.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sqlite3.h>

#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>

using DbOp = std::function<QVariant(CSqlite3 &)>;
using QueryOp = std::function<QVariant(CSqlite3Query &)>;
Q_DECLARE_METATYPE(DbOp)
Q_DECLARE_METATYPE(QueryOp)

namespace {

QByteArray errorOf(const CSqlite3 &db)
{
    char text[CSqlite3::ErrMsgSize + 1] = {};
    db.getErrMsg(text, CSqlite3::ErrMsgSize);
    return text;
}

QByteArray errorOf(const CSqlite3Query &query)
{
    char text[CSqlite3Query::ErrMsgSize + 1] = {};
    query.getErrMsg(text, CSqlite3Query::ErrMsgSize);
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

// Raises an error on the row whose first argument equals the second.
void failOn(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_int64(argv[0]) == sqlite3_value_int64(argv[1])) {
        sqlite3_result_error(context, "fail_on reached its row", -1);
        return;
    }
    sqlite3_result_value(context, argv[0]);
}

sqlite3 *openRaw(const QByteArray &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_create_function(db, "fail_on", 2, SQLITE_UTF8, nullptr, failOn, nullptr, nullptr);
    return db;
}

// The message SQLite itself gives for the first failing step of sql (after setup).
QByteArray stepErrorOf(sqlite3 *db, const QByteArray &sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db);
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    const QByteArray message = rc == SQLITE_DONE ? QByteArray() : QByteArray(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    return message;
}

int fileMode(const QByteArray &path)
{
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
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

} // namespace

class tst_CSqlite3 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptySelectIsAtEnd_data();
    void emptySelectIsAtEnd();
    void queryInt_data();
    void queryInt();
    void textValue_data();
    void textValue();
    void intValue_data();
    void intValue();
    void doubleValue_data();
    void doubleValue();
    void columnIndex_data();
    void columnIndex();
    void columnType_data();
    void columnType();
    void blobValue_data();
    void blobValue();
    void isNull_data();
    void isNull();
    void columnNameAndDeclType_data();
    void columnNameAndDeclType();
    void walksAllRows_data();
    void walksAllRows();
    void defaultQuery_data();
    void defaultQuery();
    void emptyPath_data();
    void emptyPath();
    void invalidSql_data();
    void invalidSql();
    void executeCountsChanges_data();
    void executeCountsChanges();
    void stepFailureInNextRow_data();
    void stepFailureInNextRow();
    void stepFailureThroughWrapper_data();
    void stepFailureThroughWrapper();
    void firstStepFailureGivesNull_data();
    void firstStepFailureGivesNull();
    void borrowedStatementIsLeftAlone();
    void boundedCopies_data();
    void boundedCopies();
    void longErrorTextsAreCut_data();
    void longErrorTextsAreCut();
    void boundValuesRoundTrip_data();
    void boundValuesRoundTrip();
    void boundStatementMisuse_data();
    void boundStatementMisuse();
    void hasTable_data();
    void hasTable();
    void lockedDatabaseFailsAfterBusyTimeout();
    void openAndClose();
    void newFileMode_data();
    void newFileMode();

private:
    QByteArray path(const char *name = "test.db") const;
    // Runs setup on the test database through a connection of its own.
    void seed(const QByteArray &setup, const char *name = "test.db");

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_CSqlite3::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_CSqlite3::cleanup()
{
    m_dir.reset();
}

QByteArray tst_CSqlite3::path(const char *name) const
{
    return QFile::encodeName(m_dir->filePath(QString::fromUtf8(name)));
}

void tst_CSqlite3::seed(const QByteArray &setup, const char *name)
{
    if (setup.isEmpty())
        return;
    CSqlite3 db(path(name).constData());
    QVERIFY2(db.execute(setup.constData()) >= 0, errorOf(db).constData());
}

void tst_CSqlite3::emptySelectIsAtEnd_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("columns");

    QTest::newRow("where matches nothing")
        << QByteArray("create table t(a, b); insert into t values(1, 2);")
        << QByteArray("select a, b from t where a = 5") << 2;
    QTest::newRow("empty table") << QByteArray("create table t(a);")
                                 << QByteArray("select a from t") << 1;
    QTest::newRow("limit 0") << QByteArray("create table t(a); insert into t values(1);")
                             << QByteArray("select a from t limit 0") << 1;
    QTest::newRow("where false, no table")
        << QByteArray() << QByteArray("select 1, 2, 3 where 0") << 3;
}

void tst_CSqlite3::emptySelectIsAtEnd()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, sql);
    QFETCH(int, columns);
    seed(setup);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query(sql.constData()));
    QVERIFY2(query, errorOf(db).constData());
    QVERIFY(query->hasStatement());
    QVERIFY(query->atEnd());
    QCOMPARE(query->columnCount(), columns);
    QCOMPARE(errorOf(*query), QByteArray());
    QCOMPARE(query->nextRow(), SQLITE_DONE);
    QVERIFY(query->atEnd());
}

void tst_CSqlite3::queryInt_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("expected");

    QTest::newRow("count over an empty table")
        << QByteArray("create table t(a);") << QByteArray("select count(*) from t") << 0;
    QTest::newRow("count over two rows")
        << QByteArray("create table t(a); insert into t values(1), (2);")
        << QByteArray("select count(*) from t") << 2;
    QTest::newRow("digits followed by letters")
        << QByteArray() << QByteArray("select '12abc'") << 12;
    QTest::newRow("letters only") << QByteArray() << QByteArray("select 'abc'") << 0;
    QTest::newRow("white space and a sign") << QByteArray() << QByteArray("select '  -42x'") << -42;
    QTest::newRow("first column of the first row")
        << QByteArray("create table t(a, b); insert into t values(5, 6), (7, 8);")
        << QByteArray("select a, b from t order by a") << 5;
    QTest::newRow("no row") << QByteArray() << QByteArray("select 1 where 0") << 0;
    QTest::newRow("null value") << QByteArray() << QByteArray("select NULL") << 0;
    QTest::newRow("invalid sql") << QByteArray() << QByteArray("selec 1") << 0;
    QTest::newRow("error at the first step")
        << QByteArray() << QByteArray("select abs(-9223372036854775808)") << 0;
    QTest::newRow("beyond int saturates")
        << QByteArray() << QByteArray("select 99999999999") << INT_MAX;
    QTest::newRow("below int saturates")
        << QByteArray() << QByteArray("select -99999999999") << INT_MIN;
}

void tst_CSqlite3::queryInt()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, sql);
    QFETCH(int, expected);
    seed(setup);

    CSqlite3 db(path().constData());
    QCOMPARE(db.queryInt(sql.constData()), expected);
}

void tst_CSqlite3::textValue_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QByteArray>("error");

    const auto byIndex = [](int index) {
        return QueryOp([index](CSqlite3Query &q) { return textOrNull(q.textValue(index)); });
    };
    const auto byName = [](const char *name) {
        return QueryOp([name](CSqlite3Query &q) { return textOrNull(q.textValue(name)); });
    };
    const QVariant empty(QByteArray(""));

    QTest::newRow("null by index gives an empty text") << byIndex(0) << empty << QByteArray();
    QTest::newRow("text by index") << byIndex(1) << QVariant(QByteArray("abc")) << QByteArray();
    QTest::newRow("integer by index") << byIndex(2) << QVariant(QByteArray("12")) << QByteArray();
    QTest::newRow("null by name gives an empty text") << byName("n") << empty << QByteArray();
    QTest::newRow("text by name") << byName("s") << QVariant(QByteArray("abc")) << QByteArray();
    QTest::newRow("unknown name gives null")
        << byName("nosuch") << QVariant() << QByteArray("Can not find the colname : nosuch");
    QTest::newRow("name in another case gives null")
        << byName("S") << QVariant() << QByteArray("Can not find the colname : S");
    QTest::newRow("index past the end") << byIndex(3) << empty << QByteArray("Exceed index");
    QTest::newRow("negative index") << byIndex(-1) << empty << QByteArray("Exceed index");
}

void tst_CSqlite3::textValue()
{
    QFETCH(QueryOp, read);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select NULL as n, 'abc' as s, 12 as i"));
    QVERIFY(query);
    QVERIFY(!query->atEnd());
    QCOMPARE(read(*query), expected);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::intValue_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("error");

    const auto byIndex = [](int index, int fallback) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.intValue(index, fallback)); });
    };
    const auto byName = [](const char *name, int fallback) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.intValue(name, fallback)); });
    };

    QTest::newRow("null gives the default") << byIndex(0, 7) << 7 << QByteArray();
    QTest::newRow("text 1 converts") << byIndex(1, 7) << 1 << QByteArray();
    QTest::newRow("integer") << byIndex(2, 7) << 42 << QByteArray();
    QTest::newRow("real truncates") << byIndex(3, 7) << 3 << QByteArray();
    QTest::newRow("text without digits") << byIndex(4, 7) << 0 << QByteArray();
    QTest::newRow("null by name gives the default") << byName("n", -5) << -5 << QByteArray();
    QTest::newRow("text by name") << byName("t", 7) << 1 << QByteArray();
    QTest::newRow("unknown name gives the default")
        << byName("zz", 7) << 7 << QByteArray("Can not find the colname : zz");
    QTest::newRow("index past the end gives the default")
        << byIndex(5, 7) << 7 << QByteArray("Exceed index");
}

void tst_CSqlite3::intValue()
{
    QFETCH(QueryOp, read);
    QFETCH(int, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(
        db.query("select NULL as n, '1' as t, 42 as i, 3.9 as r, 'abc' as s"));
    QVERIFY(query);
    QCOMPARE(read(*query), QVariant(expected));
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::doubleValue_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QByteArray>("error");

    const auto byIndex = [](int index, double fallback) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.doubleValue(index, fallback)); });
    };
    const auto byName = [](const char *name, double fallback) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.doubleValue(name, fallback)); });
    };

    QTest::newRow("null gives the default") << byIndex(0, 1.5) << 1.5 << QByteArray();
    QTest::newRow("real") << byIndex(1, 1.5) << 2.25 << QByteArray();
    QTest::newRow("text converts") << byIndex(2, 1.5) << 3.5 << QByteArray();
    QTest::newRow("real by name") << byName("r", 1.5) << 2.25 << QByteArray();
    QTest::newRow("unknown name gives the default")
        << byName("R", 1.5) << 1.5 << QByteArray("Can not find the colname : R");
    QTest::newRow("negative index gives the default")
        << byIndex(-2, 1.5) << 1.5 << QByteArray("Exceed index");
}

void tst_CSqlite3::doubleValue()
{
    QFETCH(QueryOp, read);
    QFETCH(double, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select NULL as n, 2.25 as r, '3.5' as t"));
    QVERIFY(query);
    QCOMPARE(read(*query).toDouble(), expected);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::columnIndex_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("nullName");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("first column") << QByteArray("user_name") << false << 0 << QByteArray();
    QTest::newRow("second column") << QByteArray("passwd") << false << 1 << QByteArray();
    QTest::newRow("repeated name gives the first")
        << QByteArray("dup") << false << 2 << QByteArray();
    QTest::newRow("upper case does not match")
        << QByteArray("USER_NAME") << false << -1
        << QByteArray("Can not find the colname : USER_NAME");
    QTest::newRow("prefix does not match")
        << QByteArray("user") << false << -1 << QByteArray("Can not find the colname : user");
    QTest::newRow("empty name") << QByteArray("") << false << -1
                                << QByteArray("The pColName is empty");
    QTest::newRow("null name") << QByteArray() << true << -1 << QByteArray("The pColName is empty");
}

void tst_CSqlite3::columnIndex()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, nullName);
    QFETCH(int, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(
        db.query("select 1 as user_name, 2 as passwd, 3 as dup, 4 as dup"));
    QVERIFY(query);
    QCOMPARE(query->columnIndex(nullName ? nullptr : name.constData()), expected);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::columnType_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("integer") << 0 << int(SQLITE_INTEGER) << QByteArray();
    QTest::newRow("float") << 1 << int(SQLITE_FLOAT) << QByteArray();
    QTest::newRow("text") << 2 << int(SQLITE_TEXT) << QByteArray();
    QTest::newRow("blob") << 3 << int(SQLITE_BLOB) << QByteArray();
    QTest::newRow("null") << 4 << int(SQLITE_NULL) << QByteArray();
    QTest::newRow("index past the end") << 5 << -1 << QByteArray("Exceed index");
}

void tst_CSqlite3::columnType()
{
    QFETCH(int, index);
    QFETCH(int, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select 1, 1.5, 'x', x'01', NULL"));
    QVERIFY(query);
    QCOMPARE(query->columnType(index), expected);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::blobValue_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QByteArray>("error");

    const auto asVariant = [](const unsigned char *data, int length) {
        return data ? QVariant(QByteArray(reinterpret_cast<const char *>(data), length))
                    : QVariant(length);
    };
    const auto byIndex = [=](int index) {
        return QueryOp([=](CSqlite3Query &q) {
            int length = 99;
            const unsigned char *data = q.blobValue(index, length);
            return asVariant(data, length);
        });
    };
    const auto byName = [=](const char *name) {
        return QueryOp([=](CSqlite3Query &q) {
            int length = 99;
            const unsigned char *data = q.blobValue(name, length);
            return asVariant(data, length);
        });
    };
    // A null pointer shows as the length that came with it, which must be 0.
    QTest::newRow("bytes by index")
        << byIndex(0) << QVariant(QByteArray("\x00\xff\x10", 3)) << QByteArray();
    QTest::newRow("bytes by name")
        << byName("b") << QVariant(QByteArray("\x00\xff\x10", 3)) << QByteArray();
    QTest::newRow("text as bytes") << byName("t") << QVariant(QByteArray("hi")) << QByteArray();
    QTest::newRow("null") << byName("n") << QVariant(0) << QByteArray();
    QTest::newRow("unknown name") << byName("bb") << QVariant(0)
                                  << QByteArray("Can not find the colname : bb");
    QTest::newRow("index past the end") << byIndex(3) << QVariant(0) << QByteArray("Exceed index");
}

void tst_CSqlite3::blobValue()
{
    QFETCH(QueryOp, read);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select x'00ff10' as b, NULL as n, 'hi' as t"));
    QVERIFY(query);
    QCOMPARE(read(*query), expected);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::isNull_data()
{
    QTest::addColumn<QueryOp>("read");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QByteArray>("error");

    const auto byIndex = [](int index) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.isNull(index)); });
    };
    const auto byName = [](const char *name) {
        return QueryOp([=](CSqlite3Query &q) { return QVariant(q.isNull(name)); });
    };
    QTest::newRow("null by index") << byIndex(0) << true << QByteArray();
    QTest::newRow("zero by index") << byIndex(1) << false << QByteArray();
    QTest::newRow("empty text by name") << byName("e") << false << QByteArray();
    QTest::newRow("null by name") << byName("n") << true << QByteArray();
    // The failed lookup passes -1 on, so the index check has the last word.
    QTest::newRow("unknown name") << byName("x") << false << QByteArray("Exceed index");
    QTest::newRow("index past the end") << byIndex(3) << false << QByteArray("Exceed index");
}

void tst_CSqlite3::isNull()
{
    QFETCH(QueryOp, read);
    QFETCH(bool, expected);
    QFETCH(QByteArray, error);

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select NULL as n, 0 as z, '' as e"));
    QVERIFY(query);
    QCOMPARE(read(*query), QVariant(expected));
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::columnNameAndDeclType_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("declType");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("declared text column")
        << 0 << true << QByteArray("user_name") << QByteArray("VARCHAR(128)") << QByteArray();
    QTest::newRow("declared int column")
        << 1 << true << QByteArray("n") << QByteArray("INT") << QByteArray();
    QTest::newRow("expression has no declared type")
        << 2 << true << QByteArray("expr") << QByteArray() << QByteArray();
    QTest::newRow("index past the end")
        << 3 << false << QByteArray() << QByteArray() << QByteArray("Exceed index");
}

void tst_CSqlite3::columnNameAndDeclType()
{
    QFETCH(int, index);
    QFETCH(bool, ok);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, declType);
    QFETCH(QByteArray, error);
    seed("create table t(user_name VARCHAR(128), n INT);");

    CSqlite3 db(path().constData());
    // Names and types are there even when no row is.
    std::unique_ptr<CSqlite3Query> query(db.query("select user_name, n, n + 1 as expr from t"));
    QVERIFY(query);
    QVERIFY(query->atEnd());
    char text[64] = {};
    QCOMPARE(query->columnName(index, text, sizeof text - 1), ok);
    QCOMPARE(QByteArray(text), name);
    std::memset(text, 0, sizeof text);
    QCOMPARE(query->columnDeclType(index, text, sizeof text - 1), ok);
    QCOMPARE(QByteArray(text), declType);
    QCOMPARE(errorOf(*query), error);
}

void tst_CSqlite3::walksAllRows_data()
{
    QTest::addColumn<int>("rows");

    QTest::newRow("one row") << 1;
    QTest::newRow("three rows") << 3;
    QTest::newRow("fifty rows") << 50;
}

void tst_CSqlite3::walksAllRows()
{
    QFETCH(int, rows);
    seed("create table t(a integer primary key);");
    {
        CSqlite3 db(path().constData());
        for (int i = 1; i <= rows; ++i)
            QCOMPARE(
                db.execute(
                    QByteArray("insert into t values(" + QByteArray::number(i) + ")").constData()),
                1);
    }

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select a from t order by a"));
    QVERIFY(query);
    QList<int> seen;
    int last = 0;
    while (!query->atEnd()) {
        seen.append(query->intValue(0));
        last = query->nextRow();
    }
    QCOMPARE(last, SQLITE_DONE);
    QCOMPARE(seen.size(), rows);
    for (int i = 0; i < rows; ++i)
        QCOMPARE(seen.at(i), i + 1);
    // At the end it stays at the end.
    QCOMPARE(query->nextRow(), SQLITE_DONE);
    QVERIFY(query->atEnd());
}

void tst_CSqlite3::defaultQuery_data()
{
    QTest::addColumn<QueryOp>("operation");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QByteArray>("error");

    const QByteArray noStatement("m_pVM is Empty");
    QTest::newRow("columnCount") << QueryOp([](CSqlite3Query &q) { return q.columnCount(); })
                                 << QVariant(-1) << noStatement;
    QTest::newRow("hasStatement") << QueryOp([](CSqlite3Query &q) { return q.hasStatement(); })
                                  << QVariant(false) << noStatement;
    QTest::newRow("atEnd") << QueryOp([](CSqlite3Query &q) { return q.atEnd(); }) << QVariant(true)
                           << noStatement;
    QTest::newRow("nextRow") << QueryOp([](CSqlite3Query &q) { return q.nextRow(); }) << QVariant(1)
                             << noStatement;
    QTest::newRow("columnIndex") << QueryOp([](CSqlite3Query &q) { return q.columnIndex("a"); })
                                 << QVariant(-1) << noStatement;
    QTest::newRow("columnType") << QueryOp([](CSqlite3Query &q) { return q.columnType(0); })
                                << QVariant(-1) << noStatement;
    QTest::newRow("textValue by index")
        << QueryOp([](CSqlite3Query &q) { return textOrNull(q.textValue(0)); })
        << QVariant(QByteArray("")) << noStatement;
    QTest::newRow("textValue by name")
        << QueryOp([](CSqlite3Query &q) { return textOrNull(q.textValue("a")); }) << QVariant()
        << noStatement;
    QTest::newRow("intValue") << QueryOp([](CSqlite3Query &q) { return q.intValue(0, 7); })
                              << QVariant(7) << noStatement;
    QTest::newRow("doubleValue by name")
        << QueryOp([](CSqlite3Query &q) { return q.doubleValue("a", 2.5); }) << QVariant(2.5)
        << noStatement;
    QTest::newRow("blobValue") << QueryOp([](CSqlite3Query &q) {
        int length = 99;
        return QVariant(q.blobValue(0, length) == nullptr && length == 0);
    }) << QVariant(true) << noStatement;
    QTest::newRow("isNull by name") << QueryOp([](CSqlite3Query &q) { return q.isNull("a"); })
                                    << QVariant(false) << noStatement;
    QTest::newRow("columnName") << QueryOp([](CSqlite3Query &q) {
        char text[8] = {};
        return q.columnName(0, text, sizeof text - 1);
    }) << QVariant(false) << noStatement;
    // Nothing to finalize is no failure.
    QTest::newRow("finalize") << QueryOp([](CSqlite3Query &q) { return q.finalize(); })
                              << QVariant(true) << QByteArray();
}

void tst_CSqlite3::defaultQuery()
{
    QFETCH(QueryOp, operation);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, error);

    CSqlite3Query query;
    QCOMPARE(errorOf(query), QByteArray());
    QCOMPARE(operation(query), expected);
    QCOMPARE(errorOf(query), error);
}

void tst_CSqlite3::emptyPath_data()
{
    QTest::addColumn<QByteArray>("dbPath");
    QTest::addColumn<bool>("nullPath");
    QTest::addColumn<DbOp>("operation");
    QTest::addColumn<QVariant>("expected");

    const DbOp open = [](CSqlite3 &db) {
        return QVariant(db.open());
    };
    const DbOp execute = [](CSqlite3 &db) {
        return QVariant(db.execute("create table t(a)"));
    };
    const DbOp query = [](CSqlite3 &db) {
        std::unique_ptr<CSqlite3Query> q(db.query("select 1"));
        return QVariant(q != nullptr);
    };
    const DbOp queryInt = [](CSqlite3 &db) {
        return QVariant(db.queryInt("select 5"));
    };
    const DbOp bound = [](CSqlite3 &db) {
        return QVariant(db.execute("select ?", {CSqlite3Param::fromInt(1)}));
    };

    QTest::newRow("null path, open") << QByteArray() << true << open << QVariant(false);
    QTest::newRow("empty path, open") << QByteArray("") << false << open << QVariant(false);
    QTest::newRow("empty path, execute") << QByteArray("") << false << execute << QVariant(-1);
    QTest::newRow("null path, execute") << QByteArray() << true << execute << QVariant(-1);
    QTest::newRow("empty path, query") << QByteArray("") << false << query << QVariant(false);
    QTest::newRow("empty path, queryInt") << QByteArray("") << false << queryInt << QVariant(0);
    QTest::newRow("empty path, bound execute") << QByteArray("") << false << bound << QVariant(-1);
    // Cutting it would name another file.
    QTest::newRow("path too long to keep")
        << QByteArray(CSqlite3::PathSize, 'a') << false << execute << QVariant(-1);
}

void tst_CSqlite3::emptyPath()
{
    QFETCH(QByteArray, dbPath);
    QFETCH(bool, nullPath);
    QFETCH(DbOp, operation);
    QFETCH(QVariant, expected);

    CSqlite3 db(nullPath ? nullptr : dbPath.constData());
    QVERIFY(!db.hasDbPath());
    QCOMPARE(operation(db), expected);
    QCOMPARE(errorOf(db), QByteArray("The DB Path is Empty!"));
    QVERIFY(!db.isOpen());
}

void tst_CSqlite3::invalidSql_data()
{
    QTest::addColumn<QByteArray>("sql");

    QTest::newRow("syntax error") << QByteArray("selec 1");
    QTest::newRow("no such table") << QByteArray("insert into nosuch values(1)");
    QTest::newRow("not null constraint") << QByteArray("insert into t(a) values(NULL)");
    QTest::newRow("unique constraint") << QByteArray("insert into t(a, u) values(1, 'taken')");
    QTest::newRow("second statement fails")
        << QByteArray("insert into t(a) values(1); insert into t(nosuch) values(2)");
}

void tst_CSqlite3::invalidSql()
{
    QFETCH(QByteArray, sql);
    const QByteArray setup(
        "create table t(a not null, u unique); insert into t values(0, 'taken');");
    seed(setup, "test.db");
    seed(setup, "reference.db");

    // What SQLite itself says about the same text on an identical database.
    sqlite3 *raw = openRaw(path("reference.db"));
    QVERIFY(raw);
    char *message = nullptr;
    QVERIFY(sqlite3_exec(raw, sql.constData(), nullptr, nullptr, &message) != SQLITE_OK);
    const QByteArray expected(message);
    sqlite3_free(message);
    sqlite3_close(raw);
    QVERIFY(!expected.isEmpty());

    CSqlite3 db(path().constData());
    QCOMPARE(db.execute(sql.constData()), -1);
    QCOMPARE(errorOf(db), expected);
}

void tst_CSqlite3::executeCountsChanges_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("changes");

    QTest::newRow("insert three rows")
        << QByteArray("create table t(a);") << QByteArray("insert into t values(1), (2), (3)") << 3;
    QTest::newRow("update matching none")
        << QByteArray("create table t(a); insert into t values(1);")
        << QByteArray("update t set a = 2 where a = 5") << 0;
    QTest::newRow("delete two rows")
        << QByteArray("create table t(a); insert into t values(1), (2);")
        << QByteArray("delete from t") << 2;
    QTest::newRow("create table keeps the earlier count")
        << QByteArray("create table t(a);")
        << QByteArray("insert into t values(1), (2); create table u(b)") << 2;
    QTest::newRow("statements without changes")
        << QByteArray() << QByteArray("create table u(b)") << 0;
}

void tst_CSqlite3::executeCountsChanges()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, sql);
    QFETCH(int, changes);
    seed(setup);

    CSqlite3 db(path().constData());
    QCOMPARE(db.execute(sql.constData()), changes);
    QCOMPARE(errorOf(db), QByteArray());
}

void tst_CSqlite3::stepFailureInNextRow_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("sql");

    QTest::newRow("integer overflow in abs on the 2nd row")
        << QByteArray("create table t(id integer primary key, v integer);"
                      "insert into t values(1, 1), (2, -9223372036854775808), (3, 3);")
        << QByteArray("select abs(v) from t order by id");
    QTest::newRow("user function error on the 2nd row")
        << QByteArray("create table t(id integer primary key, v integer);"
                      "insert into t values(1, 1), (2, 2), (3, 3);")
        << QByteArray("select fail_on(v, 2) from t order by id");
    QTest::newRow("malformed JSON on the 2nd row")
        << QByteArray("create table t(id integer primary key, v text);"
                      "insert into t values(1, '[1]'), (2, '[1,'), (3, '[3]');")
        << QByteArray("select json(v) from t order by id");
}

// A statement whose step fails mid-walk is finalized right there, once: the query ends up
// at its end and its destructor has nothing left to finalize.
void tst_CSqlite3::stepFailureInNextRow()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, sql);
    seed(setup);

    sqlite3 *db = openRaw(path());
    QVERIFY(db);
    const QByteArray expected = stepErrorOf(db, sql);
    QVERIFY(!expected.isEmpty());

    // Made the way CSqlite3::query makes it: legacy prepare, first step done.
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare(db, sql.constData(), -1, &stmt, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
    auto *query = new CSqlite3Query(db, stmt, false, true);
    QVERIFY(!query->atEnd());
    QVERIFY(!query->isNull(0));

    QCOMPARE(query->nextRow(), 0);
    // Read before anything else: atEnd() on a query without statement records its own text.
    QCOMPARE(errorOf(*query), expected);
    QVERIFY(query->atEnd());
    QVERIFY(!query->hasStatement());
    QCOMPARE(sqlite3_next_stmt(db, nullptr), nullptr);
    QVERIFY(query->finalize());

    delete query;
    // A statement still pending would keep the plain close from succeeding.
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
}

void tst_CSqlite3::stepFailureThroughWrapper_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("goodRows");

    QTest::newRow("integer overflow in abs on the 2nd row")
        << QByteArray("create table t(id integer primary key, v integer);"
                      "insert into t values(1, 1), (2, -9223372036854775808), (3, 3);")
        << QByteArray("select abs(v) from t order by id") << 1;
    QTest::newRow("malformed JSON on the 3rd row")
        << QByteArray("create table t(id integer primary key, v text);"
                      "insert into t values(1, '[1]'), (2, '[2]'), (3, '{'), (4, '[4]');")
        << QByteArray("select json(v) from t order by id") << 2;
}

void tst_CSqlite3::stepFailureThroughWrapper()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, sql);
    QFETCH(int, goodRows);
    seed(setup);

    QByteArray expected;
    {
        sqlite3 *raw = openRaw(path());
        QVERIFY(raw);
        expected = stepErrorOf(raw, sql);
        sqlite3_close(raw);
    }

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query(sql.constData()));
    QVERIFY(query);
    int rows = 0;
    int last = SQLITE_ROW;
    QByteArray stepError;
    while (!query->atEnd()) {
        ++rows;
        last = query->nextRow();
        if (last != SQLITE_ROW)
            stepError = errorOf(*query);
    }
    QCOMPARE(rows, goodRows);
    QCOMPARE(last, 0);
    QCOMPARE(stepError, expected);
    QVERIFY(!query->hasStatement());
    query.reset();
    // The connection is still good for the next statement.
    QCOMPARE(db.queryInt("select count(*) from t where id <= 2"), 2);
}

void tst_CSqlite3::firstStepFailureGivesNull_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<bool>("bound");

    QTest::newRow("integer overflow") << QByteArray("select abs(-9223372036854775808)") << false;
    QTest::newRow("malformed JSON") << QByteArray("select json('[1,')") << false;
    QTest::newRow("integer overflow, bound") << QByteArray("select abs(?)") << true;
}

void tst_CSqlite3::firstStepFailureGivesNull()
{
    QFETCH(QByteArray, sql);
    QFETCH(bool, bound);

    CSqlite3 db(path().constData());
    QCOMPARE(db.execute("selec 1"), -1);
    const QByteArray earlier = errorOf(db);
    QVERIFY(!earlier.isEmpty());

    std::unique_ptr<CSqlite3Query> query(
        bound ? db.query(sql.constData(), {CSqlite3Param::fromInt(LLONG_MIN)})
              : db.query(sql.constData()));
    QVERIFY(!query);
    QCOMPARE(errorOf(db), earlier);
}

void tst_CSqlite3::borrowedStatementIsLeftAlone()
{
    seed("create table t(a); insert into t values(1), (2);");
    sqlite3 *db = openRaw(path());
    QVERIFY(db);
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare(db, "select a from t", -1, &stmt, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);

    auto *query = new CSqlite3Query(db, stmt, false, false);
    QCOMPARE(query->columnCount(), 1);
    QVERIFY(query->finalize());
    QVERIFY(query->hasStatement());
    delete query;

    // Still ours to finalize.
    QCOMPARE(sqlite3_next_stmt(db, nullptr), stmt);
    QCOMPARE(sqlite3_finalize(stmt), SQLITE_OK);
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
}

void tst_CSqlite3::boundedCopies_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("extra"); // n relative to the text's length

    const char *sources[] = {"database error text", "query error text", "column name"};
    const struct
    {
        const char *name;
        int extra;
    } sizes[] = {{"n = 0", INT_MIN},
                 {"n below the length", -3},
                 {"n = length", 0},
                 {"n = length + 1", 1},
                 {"n = length + 5", 5}};
    for (int source = 0; source < 3; ++source) {
        for (const auto &size : sizes) {
            QTest::addRow("%s, %s", sources[source], size.name) << source << size.extra;
        }
    }
}

void tst_CSqlite3::boundedCopies()
{
    QFETCH(int, source);
    QFETCH(int, extra);

    CSqlite3 db(path().constData());
    CSqlite3 unnamed;
    QVERIFY(!unnamed.open());
    std::unique_ptr<CSqlite3Query> query(db.query("select 1 as abcdefgh"));
    QVERIFY(query);
    query->setErrMsg("query text");

    const QByteArray text = source == 0   ? QByteArray("The DB Path is Empty!")
                            : source == 1 ? QByteArray("query text")
                                          : QByteArray("abcdefgh");
    const int n = extra == INT_MIN ? 0 : text.size() + extra;

    char dst[64];
    std::memset(dst, 'X', sizeof dst);
    switch (source) {
    case 0:
        unnamed.getErrMsg(dst, n);
        break;
    case 1:
        query->getErrMsg(dst, n);
        break;
    default:
        QVERIFY(query->columnName(0, dst, n));
        break;
    }

    const int copied = qMin(n, int(text.size()));
    QCOMPARE(QByteArray(dst, copied), text.left(copied));
    for (int i = copied; i < n; ++i)
        QCOMPARE(dst[i], '\0');
    // Not a byte beyond n is written: a text that fills n gets no terminator.
    QCOMPARE(dst[n], 'X');
}

void tst_CSqlite3::longErrorTextsAreCut_data()
{
    QTest::addColumn<int>("kind");

    QTest::newRow("query text set directly") << 0;
    QTest::newRow("unknown column with a long name") << 1;
    QTest::newRow("SQLite message naming a long table") << 2;
}

void tst_CSqlite3::longErrorTextsAreCut()
{
    QFETCH(int, kind);
    const QByteArray longName(1500, 'q');

    CSqlite3 db(path().constData());
    std::unique_ptr<CSqlite3Query> query(db.query("select 1 as a"));
    QVERIFY(query);

    QByteArray full;
    QByteArray kept;
    switch (kind) {
    case 0:
        full = QByteArray(2000, 'e');
        query->setErrMsg(full.constData());
        kept = errorOf(*query);
        break;
    case 1:
        full = "Can not find the colname : " + longName;
        QCOMPARE(query->columnIndex(longName.constData()), -1);
        kept = errorOf(*query);
        break;
    default: {
        const QByteArray sql = "select * from " + longName;
        sqlite3 *raw = openRaw(path("reference.db"));
        QVERIFY(raw);
        char *message = nullptr;
        sqlite3_exec(raw, sql.constData(), nullptr, nullptr, &message);
        full = message;
        sqlite3_free(message);
        sqlite3_close(raw);
        QCOMPARE(db.execute(sql.constData()), -1);
        kept = errorOf(db);
        break;
    }
    }
    QVERIFY(full.size() > CSqlite3::ErrMsgSize);
    QCOMPARE(kept, full.left(CSqlite3::ErrMsgSize - 1));
}

void tst_CSqlite3::boundValuesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("single quote") << QByteArray("it's");
    QTest::newRow("quotes only") << QByteArray("''''");
    QTest::newRow("format markers") << QByteArray("%s%d%n%%");
    QTest::newRow("statement text") << QByteArray("x'); delete from t; --");
    QTest::newRow("2000 characters") << QByteArray(2000, 'n');
    QTest::newRow("zero byte inside") << QByteArray("a\0b", 3);
    QTest::newRow("non-ASCII") << QByteArray("\xe5\xbc\xa0\xe4\xb8\x89");
    QTest::newRow("empty") << QByteArray("");
}

void tst_CSqlite3::boundValuesRoundTrip()
{
    QFETCH(QByteArray, value);
    seed("create table t(id integer primary key, a text not null);"
         "insert into t(a) values('other');");

    CSqlite3 db(path().constData());
    // Trailing separators are no second statement.
    QCOMPARE(db.execute("insert into t(a) values(?); ", {bytes(value)}), 1);
    QCOMPARE(db.queryInt("select count(*) from t where a = ?", {bytes(value)}), 1);
    QCOMPARE(db.queryInt("select count(*) from t"), 2);

    std::unique_ptr<CSqlite3Query> query(db.query(
        "select a, length(cast(a as blob)) from t where id = ?", {CSqlite3Param::fromInt(2)}));
    QVERIFY(query);
    QVERIFY(!query->atEnd());
    int length = -1;
    const char *text = query->textValue(0, length);
    QCOMPARE(QByteArray(text, length), value);
    QCOMPARE(query->intValue(1), value.size());
}

void tst_CSqlite3::boundStatementMisuse_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<int>("values");
    QTest::addColumn<QByteArray>("error");

    const QByteArray count("The parameter count does not match");
    QTest::newRow("too few values") << QByteArray("insert into t(a, b) values(?, ?)") << 1 << count;
    QTest::newRow("too many values") << QByteArray("insert into t(a) values(?)") << 2 << count;
    QTest::newRow("values for a text without parameters")
        << QByteArray("delete from t") << 1 << count;
    QTest::newRow("two statements") << QByteArray("insert into t(a) values(?); delete from t") << 1
                                    << QByteArray("Bound values take a single statement");
    QTest::newRow("invalid sql") << QByteArray("insert int t values(?)") << 1
                                 << QByteArray("sqlite3_prepare return false");
    QTest::newRow("empty text") << QByteArray("") << 0
                                << QByteArray("sqlite3_prepare return false");
}

void tst_CSqlite3::boundStatementMisuse()
{
    QFETCH(QByteArray, sql);
    QFETCH(int, values);
    QFETCH(QByteArray, error);
    seed("create table t(a, b); insert into t values('kept', 'kept');");

    const CSqlite3Params params(std::size_t(values), CSqlite3Param::fromText("v"));
    CSqlite3 db(path().constData());
    QCOMPARE(db.execute(sql.constData(), params), -1);
    QCOMPARE(errorOf(db), error);

    CSqlite3 other(path().constData());
    std::unique_ptr<CSqlite3Query> query(other.query(sql.constData(), params));
    QVERIFY(!query);
    QCOMPARE(errorOf(other), error);

    // Nothing of the text ran.
    QCOMPARE(db.queryInt("select count(*) from t where a = 'kept'"), 1);
    QCOMPARE(db.queryInt("select count(*) from t"), 1);
}

void tst_CSqlite3::hasTable_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("nullName");
    QTest::addColumn<bool>("expected");

    QTest::newRow("existing table") << QByteArray("tbl_user_info") << false << true;
    QTest::newRow("missing table") << QByteArray("tbl_other") << false << false;
    QTest::newRow("a view is no table") << QByteArray("v") << false << false;
    QTest::newRow("name with a quote") << QByteArray("tbl_user_info' or '1'='1") << false << false;
    QTest::newRow("very long name") << QByteArray(600, 't') << false << false;
    QTest::newRow("null name") << QByteArray() << true << false;
}

void tst_CSqlite3::hasTable()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, nullName);
    QFETCH(bool, expected);
    seed("create table tbl_user_info(a); create view v as select 1;");

    CSqlite3 db(path().constData());
    QCOMPARE(db.hasTable(nullName ? nullptr : name.constData()), expected);
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
    QVERIFY2(waited >= 50, QByteArray::number(waited).constData());
    QVERIFY2(waited < 10000, QByteArray::number(waited).constData());

    QVERIFY(holder.execute("rollback") >= 0);
    QCOMPARE(waiter.execute("insert into t values(1)"), 1);
}

void tst_CSqlite3::openAndClose()
{
    CSqlite3 db(path().constData());
    QVERIFY(db.hasDbPath());
    QVERIFY(!db.isOpen());
    QVERIFY(db.open());
    QVERIFY(db.isOpen());
    QVERIFY(db.close());
    QVERIFY(!db.isOpen());
    QVERIFY(db.close());

    // execute and query open on their own.
    QCOMPARE(db.execute("create table t(a)"), 0);
    QVERIFY(db.isOpen());
    db.close();
    {
        std::unique_ptr<CSqlite3Query> query(db.query("select count(*) from t"));
        QVERIFY(query);
        QVERIFY(db.isOpen());
    }
    db.close();

    // A file that cannot be opened: SQLite's message; the handle it gave stays until close.
    const QByteArray missing = path("no/such/dir/test.db");
    db.setDbPath(missing.constData());
    QVERIFY(!db.open());
    QCOMPARE(errorOf(db), QByteArray(sqlite3_errstr(SQLITE_CANTOPEN)));
    QVERIFY(db.isOpen());
    QVERIFY(db.close());
    QVERIFY(!db.isOpen());
}

void tst_CSqlite3::newFileMode_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("existingMode"); // -1: no file yet
    QTest::addColumn<int>("expected");

    QTest::newRow("new file, umask 022") << 022 << -1 << 0600;
    QTest::newRow("new file, umask 000") << 0 << -1 << 0600;
    QTest::newRow("existing file keeps 0644") << 022 << 0644 << 0644;
    QTest::newRow("existing file keeps 0640") << 0 << 0640 << 0640;
}

// Fault guard: SQLite created new database files 0644, readable by every local user.
void tst_CSqlite3::newFileMode()
{
    QFETCH(int, mask);
    QFETCH(int, existingMode);
    QFETCH(int, expected);

    const UmaskGuard umaskGuard{mode_t(mask)};
    if (existingMode >= 0) {
        seed("create table t(a);");
        QCOMPARE(::chmod(path().constData(), mode_t(existingMode)), 0);
    }
    CSqlite3 db(path().constData());
    QVERIFY(db.execute("create table if not exists t(a); insert into t values(1);") >= 0);
    QCOMPARE(fileMode(path()), expected);
}

QTEST_GUILESS_MAIN(tst_CSqlite3)
#include "tst_csqlite3.moc"
