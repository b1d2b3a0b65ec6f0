// SPDX-License-Identifier: MIT
#pragma once

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement, walked row by row. CSqlite3::query() hands it over with the
// first step already done. The statement is finalized exactly once: by finalize(), by
// nextRow() when a step fails, or by the destructor, whichever comes first.
//
// Column reads check for a statement and a valid index first and give the operation's
// failure value with a text in this object; nothing is thrown.
//
// Copying is forbidden: two copies would finalize the same statement.
class CSqlite3Query
{
public:
    static constexpr int ErrMsgSize = 1024;

    // SQLite's type codes as columnType() gives them.
    enum ColumnTypeCode { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

    CSqlite3Query();
    // db is borrowed and never closed here; ownsVM says whether the statement is ours.
    CSqlite3Query(sqlite3 *db, sqlite3_stmt *stmt, bool atEnd, bool ownsVM);
    virtual ~CSqlite3Query();

    CSqlite3Query(const CSqlite3Query &) = delete;
    CSqlite3Query &operator=(const CSqlite3Query &) = delete;

    bool finalize();
    bool hasStatement();
    bool atEnd();
    // 100 for a new row, 101 at the end; 1 or 0 (see finalize()) after a failed step.
    int nextRow();

    int columnCount();
    int columnIndex(const char *pColName);
    // Bounded copies: when the text fills all n bytes, no terminator is written.
    bool columnName(int index, char *dst, int n);
    bool columnDeclType(int index, char *dst, int n);
    int columnType(int index);

    // Texts and bytes point into SQLite's memory, valid until the next nextRow(),
    // finalize() or the destruction of the query.
    const char *textValue(int index);
    const char *textValue(const char *pColName);
    // The same, with the byte count of the text, so that values holding zero bytes can be
    // read whole.
    const char *textValue(int index, int &length);
    int intValue(int index, int defaultValue = 0);
    int intValue(const char *pColName, int defaultValue = 0);
    double doubleValue(int index, double defaultValue = 0.0);
    double doubleValue(const char *pColName, double defaultValue = 0.0);
    const unsigned char *blobValue(int index, int &length);
    const unsigned char *blobValue(const char *pColName, int &length);
    bool isNull(int index);
    bool isNull(const char *pColName);

    void getErrMsg(char *dst, int n) const;
    void setErrMsg(const char *text);

private:
    bool checkColumn(int index);

    sqlite3 *m_pDB = nullptr;
    sqlite3_stmt *m_pVM = nullptr;
    bool m_bEof = true;
    bool m_bOwnsVM = false;
    int m_nCols = 0;
    char m_szErrMsg[ErrMsgSize] = {};
};
