// SPDX-License-Identifier: MIT
#include "common/inifile.h"

#include "common/textdecoder.h"

#include <QDebug>
#include <QStringList>

#include <algorithm>

namespace IniFile {

namespace {

// Only these: a vertical tab or form feed at a line's start belongs to its key.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// One logical line from pos on: [start, end) and the first '=' outside quotes (or -1).
// Newlines inside quotes and after a backslash continue the line; a ';' starts a comment,
// a whole line of it at the line's start, the rest of the line elsewhere.
bool readLine(const QByteArray &data, int &pos, int &start, int &end, int &equals)
{
    const int size = data.size();
    while (pos < size && isSpace(data.at(pos)))
        ++pos;
    start = pos;
    equals = -1;
    bool inQuotes = false;
    int i = pos;
    while (i < size) {
        const char c = data.at(i++);
        if (c == '=') {
            if (!inQuotes && equals == -1)
                equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char next = data.at(i++);
                if (i < size && (next == '\n' || next == '\r') && data.at(i) != next
                    && (data.at(i) == '\n' || data.at(i) == '\r'))
                    ++i;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    end = i;
    pos = i;
    return end > start;
}

// A group or key name: '\' stands for '/', %XX and %UXXXX for the character they name.
QString unescapedName(const QByteArray &data, int from, int to)
{
    QString name;
    for (int i = from; i < to;) {
        const char c = data.at(i);
        if (c == '\\') {
            name += QLatin1Char('/');
            ++i;
            continue;
        }
        const int digits = i + 1 < to && data.at(i + 1) == 'U' ? 4 : 2;
        const int first = i + 1 + (digits == 4 ? 1 : 0);
        bool ok = false;
        const int code =
            c == '%' && first + digits <= to ? data.mid(first, digits).toInt(&ok, 16) : 0;
        if (!ok) {
            name += QLatin1Char(c);
            ++i;
            continue;
        }
        name += QChar(code);
        i = first + digits;
    }
    return name;
}

int digitOf(char c, int base)
{
    const int d = c >= '0' && c <= '9' ? c - '0'
        : c >= 'a' && c <= 'f'         ? c - 'a' + 10
        : c >= 'A' && c <= 'F'         ? c - 'A' + 10
                                       : -1;
    return d < base ? d : -1;
}

// Drops trailing spaces and tabs, but none that an escape sequence put there.
void chopSpaces(QString &text, int limit)
{
    while (text.size() > limit
           && (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t')))
        text.chop(1);
}

// A value: quoting, C-like escapes (\n, \x41, \101, ...) and commas that make it a list.
// Bytes outside escapes are read as Latin-1, as QSettings does without an INI codec, or as
// UTF-8 in a file that starts with a byte-order mark. QSettings decodes each run between
// escapes, quotes and commas on its own (a mark at a run's start is dropped): so does this.
QVariant unescapedValue(const QByteArray &data, int from, int to, bool utf8)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QString text;
    QStringList list;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    int chopLimit = 0;
    int i = from;
    const auto skipSpaces = [&] {
        while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
            ++i;
        chopLimit = text.size();
    };
    skipSpaces();
    while (i < to) {
        const char c = data.at(i);
        if (c == '\\') {
            // A backslash that ends the value keeps the spaces before it.
            if (++i >= to) {
                chopLimit = text.size();
                break;
            }
            const char e = data.at(i++);
            const auto known = std::find_if(std::begin(escapes), std::end(escapes),
                                            [e](const char(&pair)[2]) { return pair[0] == e; });
            if (known != std::end(escapes)) {
                text += QLatin1Char((*known)[1]);
            } else if (e == 'x' || digitOf(e, 8) >= 0) {
                // The value's low 16 bits, as QChar takes it; "\x" without a digit gives nothing.
                const int base = e == 'x' ? 16 : 8;
                quint32 value = e == 'x' ? 0 : quint32(e - '0');
                bool any = e != 'x';
                for (int d; i < to && (d = digitOf(data.at(i), base)) >= 0; ++i, any = true)
                    value = value * quint32(base) + quint32(d);
                if (any)
                    text += QChar(ushort(value & 0xffff));
            } else if ((e == '\n' || e == '\r') && i < to
                       && (data.at(i) == '\n' || data.at(i) == '\r') && data.at(i) != e) {
                ++i; // a line continued: \r\n and \n\r count as one
            }
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopSpaces(text, chopLimit);
            isList = true;
            list.append(text);
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
        } else {
            int j = i + 1;
            while (j < to && data.at(j) != '\\' && data.at(j) != '"' && data.at(j) != ',')
                ++j;
            QString run;
            if (!utf8 || !TextDecoder::decode("UTF-8", data.constData() + i, j - i, &run))
                run = QString::fromLatin1(data.constData() + i, j - i);
            text += run;
            i = j;
        }
    }
    if (!quoted)
        chopSpaces(text, chopLimit);
    if (!isList)
        return text;
    list.append(text);
    return list;
}

bool decodedByQSettings(const QVariant &value)
{
    const QStringList parts = value.userType() == QMetaType::QStringList
        ? value.toStringList()
        : QStringList{value.toString()};
    return std::any_of(parts.begin(), parts.end(),
                       [](const QString &part) { return part.startsWith(QLatin1Char('@')); });
}

} // namespace

QHash<QString, QVariant> parse(const QByteArray &text)
{
    QHash<QString, QVariant> values;
    QString group; // with its final "/"
    // A byte-order mark (Notepad writes one) is skipped, and the values are UTF-8 then.
    const bool utf8 = text.startsWith("\xEF\xBB\xBF");
    int pos = utf8 ? 3 : 0;
    int start = 0;
    int end = 0;
    int equals = 0;
    while (readLine(text, pos, start, end, equals)) {
        if (text.at(start) == '[') {
            int close = text.indexOf(']', start);
            if (close < 0 || close >= end)
                close = end;
            const QByteArray raw = text.mid(start + 1, close - start - 1).trimmed();
            // Every group but [General] prefixes its keys, an empty one "/".
            if (raw.compare("general", Qt::CaseInsensitive) == 0)
                group.clear();
            else if (raw.compare("%general", Qt::CaseInsensitive) == 0)
                group = QString::fromLatin1(raw.mid(1)) + QLatin1Char('/'); // as written
            else
                group = unescapedName(raw, 0, raw.size()) + QLatin1Char('/');
            continue;
        }
        if (equals < 0)
            continue;
        int keyEnd = equals;
        while (keyEnd > start && (text.at(keyEnd - 1) == ' ' || text.at(keyEnd - 1) == '\t'))
            --keyEnd;
        // Kept as written: a key with empty parts ("a//b") is one no look-up finds, as with
        // QSettings.
        const QString key = group + unescapedName(text, start, keyEnd);
        const QVariant value = unescapedValue(text, equals + 1, end, utf8);
        if (decodedByQSettings(value)) {
            qDebug() << "conf.ini:" << key << "holds a value that is not read:" << value;
            values.remove(key);
            continue;
        }
        values.insert(key, value);
    }
    return values;
}

} // namespace IniFile
