// SPDX-License-Identifier: MIT
#include "store/csqlite3query.h"

#include "store/sqlitetext.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

namespace {

const char NoStatement[] = "m_pVM is Empty";
const char BadIndex[] = "Exceed index";

} // namespace

CSqlite3Query::CSqlite3Query() = default;

CSqlite3Query::CSqlite3Query(sqlite3 *db, sqlite3_stmt *stmt, bool atEnd, bool ownsVM)
    : m_pDB(db)
    , m_pVM(stmt)
    , m_bEof(atEnd)
    , m_bOwnsVM(ownsVM)
    , m_nCols(stmt ? sqlite3_column_count(stmt) : 0)
{
}

CSqlite3Query::~CSqlite3Query()
{
    finalize();
}

bool CSqlite3Query::finalize()
{
    if (!m_pVM || !m_bOwnsVM)
        return true;
    const int rc = sqlite3_finalize(m_pVM);
    // Cleared at once, so that nothing (the destructor included) finalizes it again.
    m_pVM = nullptr;
    if (rc == SQLITE_OK)
        return true;
    setErrMsg(m_pDB ? sqlite3_errmsg(m_pDB) : sqlite3_errstr(rc));
    return false;
}

bool CSqlite3Query::hasStatement()
{
    if (m_pVM)
        return true;
    setErrMsg(NoStatement);
    return false;
}

bool CSqlite3Query::atEnd()
{
    if (!m_pVM)
        setErrMsg(NoStatement);
    return m_bEof;
}

int CSqlite3Query::nextRow()
{
    if (!m_pVM) {
        setErrMsg(NoStatement);
        m_bEof = true;
        return 1;
    }
    // Once at the end, stay there: stepping a finished statement again would start it over.
    if (m_bEof)
        return SQLITE_DONE;

    const int rc = sqlite3_step(m_pVM);
    if (rc == SQLITE_ROW)
        return SQLITE_ROW;
    if (rc == SQLITE_DONE) {
        m_bEof = true;
        return SQLITE_DONE;
    }
    // Statements are prepared with the legacy interface: the precise error only shows
    // once the statement is finalized, which is why finalize() takes the message.
    const bool finalized = finalize();
    m_bEof = true;
    return finalized ? 1 : 0;
}

int CSqlite3Query::columnCount()
{
    if (!hasStatement())
        return -1;
    return m_nCols;
}

int CSqlite3Query::columnIndex(const char *pColName)
{
    if (!hasStatement())
        return -1;
    if (!pColName || !*pColName) {
        setErrMsg("The pColName is empty");
        return -1;
    }
    for (int i = 0; i < m_nCols; ++i) {
        const char *name = sqlite3_column_name(m_pVM, i);
        if (name && std::strcmp(name, pColName) == 0)
            return i;
    }
    char text[ErrMsgSize] = {};
    std::snprintf(text, sizeof text, "Can not find the colname : %s", pColName);
    setErrMsg(text);
    return -1;
}

bool CSqlite3Query::checkColumn(int index)
{
    if (!hasStatement())
        return false;
    if (index < 0 || index >= m_nCols) {
        setErrMsg(BadIndex);
        return false;
    }
    return true;
}

bool CSqlite3Query::columnName(int index, char *dst, int n)
{
    if (!checkColumn(index))
        return false;
    SqliteText::copyBounded(dst, n, sqlite3_column_name(m_pVM, index));
    return true;
}

bool CSqlite3Query::columnDeclType(int index, char *dst, int n)
{
    if (!checkColumn(index))
        return false;
    // An expression column has no declared type: that copies as an empty text.
    SqliteText::copyBounded(dst, n, sqlite3_column_decltype(m_pVM, index));
    return true;
}

int CSqlite3Query::columnType(int index)
{
    if (!checkColumn(index))
        return -1;
    return sqlite3_column_type(m_pVM, index);
}

const char *CSqlite3Query::textValue(int index)
{
    int length = 0;
    return textValue(index, length);
}

const char *CSqlite3Query::textValue(int index, int &length)
{
    length = 0;
    if (!checkColumn(index))
        return "";
    // Text first, then its size: the documented order, which leaves the pointer valid.
    const unsigned char *text = sqlite3_column_text(m_pVM, index);
    if (!text)
        return "";
    length = sqlite3_column_bytes(m_pVM, index);
    return reinterpret_cast<const char *>(text);
}

const char *CSqlite3Query::textValue(const char *pColName)
{
    const int index = columnIndex(pColName);
    if (index < 0)
        return nullptr;
    return textValue(index);
}

int CSqlite3Query::intValue(int index, int defaultValue)
{
    const int type = columnType(index);
    if (type < 0 || type == Null)
        return defaultValue;
    return sqlite3_column_int(m_pVM, index);
}

int CSqlite3Query::intValue(const char *pColName, int defaultValue)
{
    const int index = columnIndex(pColName);
    if (index < 0)
        return defaultValue;
    return intValue(index, defaultValue);
}

double CSqlite3Query::doubleValue(int index, double defaultValue)
{
    const int type = columnType(index);
    if (type < 0 || type == Null)
        return defaultValue;
    return sqlite3_column_double(m_pVM, index);
}

double CSqlite3Query::doubleValue(const char *pColName, double defaultValue)
{
    const int index = columnIndex(pColName);
    if (index < 0)
        return defaultValue;
    return doubleValue(index, defaultValue);
}

const unsigned char *CSqlite3Query::blobValue(int index, int &length)
{
    length = 0;
    if (!checkColumn(index))
        return nullptr;
    const void *bytes = sqlite3_column_blob(m_pVM, index);
    length = sqlite3_column_bytes(m_pVM, index);
    return static_cast<const unsigned char *>(bytes);
}

const unsigned char *CSqlite3Query::blobValue(const char *pColName, int &length)
{
    length = 0;
    const int index = columnIndex(pColName);
    if (index < 0)
        return nullptr;
    return blobValue(index, length);
}

bool CSqlite3Query::isNull(int index)
{
    return columnType(index) == Null;
}

bool CSqlite3Query::isNull(const char *pColName)
{
    return isNull(columnIndex(pColName));
}

void CSqlite3Query::getErrMsg(char *dst, int n) const
{
    SqliteText::copyBounded(dst, n, m_szErrMsg);
}

void CSqlite3Query::setErrMsg(const char *text)
{
    SqliteText::store(m_szErrMsg, text);
}
