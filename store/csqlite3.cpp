// SPDX-License-Identifier: MIT
#include "store/csqlite3.h"

#include "store/csqlite3query.h"
#include "store/sqlitetext.h"

#include <sqlite3.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The database holds remembered passwords, so a file we bring into being is readable by
// its owner only; SQLite on its own would create it 0644. An existing file keeps its
// mode, and SQLite gives its journal the mode of the database file.
void createPrivateFile(const char *path)
{
#ifndef _WIN32
    if (std::strcmp(path, ":memory:") == 0)
        return;
    // O_EXCL also refuses a symbolic link, which is never followed to create its target.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
#else
    (void)path;
#endif
}

// Nothing but separators and white space after the one statement.
bool onlyBlank(const char *tail)
{
    for (; tail && *tail; ++tail) {
        if (*tail != ';' && *tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n')
            return false;
    }
    return true;
}

// atoi() without its undefined behaviour on overflow: out-of-range values saturate.
int toInt(const char *text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

CSqlite3Param CSqlite3Param::fromText(std::string utf8)
{
    CSqlite3Param param;
    param.kind = Kind::Text;
    param.text = std::move(utf8);
    return param;
}

CSqlite3Param CSqlite3Param::fromInt(long long value)
{
    CSqlite3Param param;
    param.kind = Kind::Integer;
    param.integer = value;
    return param;
}

CSqlite3::CSqlite3(const char *dbPath)
{
    setDbPath(dbPath);
}

CSqlite3::~CSqlite3()
{
    close();
}

void CSqlite3::setDbPath(const char *path)
{
    if (!path || std::strlen(path) >= sizeof m_szDbPath) {
        m_szDbPath[0] = '\0';
        return;
    }
    std::strcpy(m_szDbPath, path);
}

bool CSqlite3::hasDbPath() const
{
    return m_szDbPath[0] != '\0';
}

void CSqlite3::setBusyTimeout(int ms)
{
    m_nBusyTimeout = ms;
}

bool CSqlite3::open()
{
    if (!hasDbPath()) {
        setError(SQLITE_CANTOPEN, "The DB Path is Empty!");
        return false;
    }
    // Never lose a handle, not even to a caller that opens twice.
    close();

    // Only a request made before SQLite first initialises takes effect; later ones are
    // refused, which is fine.
    sqlite3_config(SQLITE_CONFIG_MULTITHREAD);

    createPrivateFile(m_szDbPath);
    // Never through a symbolic link: the file holds passwords and is always our own.
    const int rc =
        sqlite3_open_v2(m_szDbPath, &m_pDB,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK) {
        // The handle SQLite may have returned stays in m_pDB; close() releases it.
        setError(rc, m_pDB ? sqlite3_errmsg(m_pDB) : sqlite3_errstr(rc));
        return false;
    }
    sqlite3_busy_timeout(m_pDB, m_nBusyTimeout);
    return true;
}

bool CSqlite3::close()
{
    if (m_pDB) {
        // _v2: should a query still hold a statement, the connection lingers until that
        // statement is finalized instead of being freed under it.
        sqlite3_close_v2(m_pDB);
        m_pDB = nullptr;
    }
    return true;
}

bool CSqlite3::isOpen() const
{
    return m_pDB != nullptr;
}

int CSqlite3::execute(const char *sql)
{
    if (!m_pDB && !open())
        return -1;
    char *message = nullptr;
    const int rc = sqlite3_exec(m_pDB, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        setError(rc, message ? message : sqlite3_errmsg(m_pDB));
        sqlite3_free(message);
        return -1;
    }
    return sqlite3_changes(m_pDB);
}

CSqlite3Query *CSqlite3::query(const char *sql)
{
    if (!m_pDB && !open())
        return nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (!prepare(sql, nullptr, &stmt))
        return nullptr;
    return firstStep(stmt);
}

int CSqlite3::queryInt(const char *sql)
{
    return intOf(query(sql));
}

int CSqlite3::execute(const char *sql, const CSqlite3Params &params)
{
    if (!m_pDB && !open())
        return -1;
    sqlite3_stmt *stmt = nullptr;
    if (!prepare(sql, &params, &stmt))
        return -1;
    int rc = sqlite3_step(stmt);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) {
        const int changes = sqlite3_changes(m_pDB);
        sqlite3_finalize(stmt);
        return changes;
    }
    // Legacy statements tell the precise error only once finalized.
    setError(sqlite3_finalize(stmt), sqlite3_errmsg(m_pDB));
    return -1;
}

CSqlite3Query *CSqlite3::query(const char *sql, const CSqlite3Params &params)
{
    if (!m_pDB && !open())
        return nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (!prepare(sql, &params, &stmt))
        return nullptr;
    return firstStep(stmt);
}

int CSqlite3::queryInt(const char *sql, const CSqlite3Params &params)
{
    return intOf(query(sql, params));
}

bool CSqlite3::hasTable(const char *name)
{
    // The name is bound rather than written into the text, so no name can break the
    // statement.
    try {
        const CSqlite3Params params{CSqlite3Param::fromText(name ? name : "")};
        return queryInt("select count(*) from sqlite_master where type = 'table' and name = ?",
                        params)
            > 0;
    } catch (const std::bad_alloc &) {
        // Failures are results here, never exceptions.
        return false;
    }
}

bool CSqlite3::prepare(const char *sql, const CSqlite3Params *params, sqlite3_stmt **stmt)
{
    *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare(m_pDB, sql, -1, stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(*stmt);
        *stmt = nullptr;
        setError(rc, "sqlite3_prepare return false");
        return false;
    }
    if (!params)
        return true;

    // With values, the text must be one whole statement taking exactly these values:
    // anything else would run with missing values or leave part of the text unrun.
    const char *problem = nullptr;
    if (!*stmt)
        problem = "sqlite3_prepare return false";
    else if (!onlyBlank(tail))
        problem = "Bound values take a single statement";
    else if (sqlite3_bind_parameter_count(*stmt) != static_cast<int>(params->size()))
        problem = "The parameter count does not match";
    for (std::size_t i = 0; !problem && i < params->size(); ++i) {
        const CSqlite3Param &param = (*params)[i];
        const int position = static_cast<int>(i) + 1;
        const int rc = param.kind == CSqlite3Param::Kind::Text
            ? sqlite3_bind_text64(*stmt, position, param.text.data(), param.text.size(),
                                  SQLITE_TRANSIENT, SQLITE_UTF8)
            : sqlite3_bind_int64(*stmt, position, param.integer);
        if (rc != SQLITE_OK)
            problem = sqlite3_errmsg(m_pDB);
    }
    if (!problem)
        return true;
    setError(SQLITE_MISUSE, problem);
    sqlite3_finalize(*stmt);
    *stmt = nullptr;
    return false;
}

CSqlite3Query *CSqlite3::firstStep(sqlite3_stmt *stmt)
{
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
        if (auto *query = new (std::nothrow) CSqlite3Query(m_pDB, stmt, rc == SQLITE_DONE, true))
            return query;
    }
    // A failed first step is told by the null result alone; the error text stays as it was.
    // Legacy statements tell the precise code only once finalized.
    const int code = sqlite3_finalize(stmt);
    m_nLastError = (code != SQLITE_OK ? code : rc) & 0xff;
    return nullptr;
}

int CSqlite3::intOf(CSqlite3Query *query)
{
    if (!query)
        return 0;
    int value = 0;
    if (query->hasStatement() && !query->atEnd() && query->columnCount() > 0)
        value = toInt(query->textValue(0));
    delete query;
    return value;
}

void CSqlite3::getErrMsg(char *dst, int n) const
{
    SqliteText::copyBounded(dst, n, m_szErrMsg);
}

void CSqlite3::setErrMsg(const char *text)
{
    SqliteText::store(m_szErrMsg, text);
}

void CSqlite3::setError(int rc, const char *text)
{
    m_nLastError = rc & 0xff;
    setErrMsg(text);
}
