// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class CSqlite3Query;

// One value for one "?" of a statement. Text is UTF-8 and keeps its own length, so
// quotes, "%s", zero bytes and values of any size reach SQLite unchanged.
struct CSqlite3Param
{
    enum class Kind { Text, Integer };

    Kind kind = Kind::Integer;
    std::string text;
    long long integer = 0;

    static CSqlite3Param fromText(std::string utf8);
    static CSqlite3Param fromInt(long long value);
};

using CSqlite3Params = std::vector<CSqlite3Param>;

// One database file and the connection to it. The connection is opened on first use and
// closed in exactly one place (close(), which the destructor calls). Failures are results
// plus a text kept in the object; nothing is thrown.
//
// Copying is forbidden: a copy would share the connection handle and both would close it.
// Whoever needs a second connection makes a second CSqlite3 over the same path.
class CSqlite3
{
public:
    static constexpr int PathSize = 1024;
    static constexpr int ErrMsgSize = 1024;
    static constexpr int DefaultBusyTimeoutMs = 60000;

    // dbPath may be null or empty: the path then stays empty and open() fails.
    explicit CSqlite3(const char *dbPath = nullptr);
    virtual ~CSqlite3();

    CSqlite3(const CSqlite3 &) = delete;
    CSqlite3 &operator=(const CSqlite3 &) = delete;

    // A path that does not fit (1023 bytes and the terminator) leaves the path empty
    // rather than naming some other, cut-off file.
    void setDbPath(const char *path);
    bool hasDbPath() const;
    // Takes effect at the next open().
    void setBusyTimeout(int ms);

    bool open();
    bool close();
    bool isOpen() const;

    // One or more statements without result rows: the rows changed, or -1.
    int execute(const char *sql);
    // Prepares one statement and steps it once, so the first row is already current.
    // The caller deletes the query, always before this object.
    CSqlite3Query *query(const char *sql);
    // The first column of the first row read as atoi() reads it; 0 when there is none
    // and on every failure.
    int queryInt(const char *sql);

    // The same with the values bound to the statement's parameters, in order. The text
    // must be exactly one statement and the values must match its parameters in number.
    int execute(const char *sql, const CSqlite3Params &params);
    CSqlite3Query *query(const char *sql, const CSqlite3Params &params);
    int queryInt(const char *sql, const CSqlite3Params &params);

    bool hasTable(const char *name);

    // Bounded copy: when the text fills all n bytes, no terminator is written.
    void getErrMsg(char *dst, int n) const;
    // SQLite's primary result code of the last failure (SQLITE_BUSY, SQLITE_NOTADB, ...),
    // 0 before any. Lets a caller tell a locked file from a damaged one.
    int lastErrorCode() const { return m_nLastError; }

private:
    void setErrMsg(const char *text);
    void setError(int rc, const char *text);
    bool prepare(const char *sql, const CSqlite3Params *params, sqlite3_stmt **stmt);
    CSqlite3Query *firstStep(sqlite3_stmt *stmt);
    static int intOf(CSqlite3Query *query);

    sqlite3 *m_pDB = nullptr;
    char m_szDbPath[PathSize] = {};
    char m_szErrMsg[ErrMsgSize] = {};
    int m_nBusyTimeout = DefaultBusyTimeoutMs;
    int m_nLastError = 0;
};
