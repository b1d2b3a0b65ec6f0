// SPDX-License-Identifier: MIT
// Per-operation cost of the account store beside the same SQL through the bare SQLite C API
// with a fresh connection per operation. One JSON object per line on standard output.
#include "store/userstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string nameOf(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "139%08d", i);
    return buf;
}

void fill(const std::string &path, int count)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into tbl_user_info(user_name, passwd, remember_pwd, auto_login, "
                       "login_time) values(?, 'secret', 1, 0, datetime('now', ?))",
                       -1, &stmt, nullptr);
    for (int i = 0; i < count; ++i) {
        const std::string name = nameOf(i);
        const std::string offset = "-" + std::to_string(count - i) + " seconds";
        sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, offset.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The floor: the same statements, one fresh connection per operation.
struct Bare
{
    std::string path;

    sqlite3 *open() const
    {
        sqlite3 *db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_busy_timeout(db, 60000);
        return db;
    }

    // Names is std::vector<std::string>, the bare floor, or QStringList, the form the store's
    // callers need, filled the plain way.
    template <typename Names> void listUserNames(Names &names) const
    {
        names.clear();
        sqlite3 *db = open();
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "select user_name from tbl_user_info order by login_time desc", -1,
                           &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
            const int bytes = sqlite3_column_bytes(stmt, 0);
            if constexpr (std::is_same_v<Names, QStringList>)
                names.append(QString::fromUtf8(text, bytes));
            else
                names.emplace_back(text, std::size_t(bytes));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }

    void loadUser(const std::string &name, std::string &password, int &remember,
                  int &autoLogin) const
    {
        sqlite3 *db = open();
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(
            db, "select passwd, remember_pwd, auto_login from tbl_user_info where user_name = ?",
            -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            password.assign(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)),
                            std::size_t(sqlite3_column_bytes(stmt, 0)));
            remember = sqlite3_column_int(stmt, 1);
            autoLogin = sqlite3_column_int(stmt, 2);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }

    void saveUser(const std::string &name, const std::string &password) const
    {
        sqlite3 *db = open();
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "select count(*) as total from tbl_user_info where user_name = ?",
                           -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
        const bool exists = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) > 0;
        sqlite3_finalize(stmt);
        sqlite3_prepare_v2(db,
                           exists ? "update tbl_user_info set passwd = ?, remember_pwd = ?, "
                                    "auto_login = ?, login_time = datetime('now', 'localtime')  "
                                    "where user_name = ?"
                                  : "insert into tbl_user_info(user_name, passwd, remember_pwd, "
                                    "auto_login)  values(?, ?, ?, ?)",
                           -1, &stmt, nullptr);
        if (exists) {
            sqlite3_bind_text(stmt, 1, password.data(), int(password.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(stmt, 2, 1);
            sqlite3_bind_int(stmt, 3, 0);
            sqlite3_bind_text(stmt, 4, name.data(), int(name.size()), SQLITE_TRANSIENT);
        }
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
};

double secondsOf(const std::function<void()> &op, int count)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        op();
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

// Runs per-op timings of all sides interleaved, so load from elsewhere hits them alike: each run
// alternates between the sides in short slices. qtFloor, when given, is a second floor.
void measure(const char *op, int size, int runs, const std::function<void()> &orvane,
             const std::function<void()> &floor, const std::function<void()> &qtFloor = {})
{
    const int slices = 5;
    const double once = std::max(secondsOf(orvane, 1), 1e-7);
    const int perSlice = std::max(1, std::min(400, int(0.01 / once)));
    const int count = perSlice * slices;
    secondsOf(orvane, count); // warm-up
    secondsOf(floor, count);
    if (qtFloor)
        secondsOf(qtFloor, count);
    std::vector<double> a, b, c;
    for (int r = 0; r < runs; ++r) {
        double sa = 0, sb = 0, sc = 0;
        for (int i = 0; i < slices; ++i) {
            sa += secondsOf(orvane, perSlice);
            sb += secondsOf(floor, perSlice);
            if (qtFloor)
                sc += secondsOf(qtFloor, perSlice);
        }
        a.push_back(sa / slices);
        b.push_back(sb / slices);
        if (qtFloor)
            c.push_back(sc / slices);
    }
    auto list = [](const std::vector<double> &v) {
        std::string s = "[";
        for (std::size_t i = 0; i < v.size(); ++i)
            s += (i ? "," : "") + std::to_string(v[i] * 1e6);
        return s + "]";
    };
    const std::string extra = qtFloor ? ",\"qtfloor_us\":" + list(c) : std::string();
    std::printf("{\"op\":\"%s\",\"size\":%d,\"per_run\":%d,\"orvane_us\":%s,\"floor_us\":%s%s}\n",
                op, size, count, list(a).c_str(), list(b).c_str(), extra.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::currentPath();
    for (int size : {10, 1000, 100000}) {
        QTemporaryDir dir(base + QStringLiteral("/store-XXXXXX"));
        UserStore store(dir.path(), 60000);
        Bare bare{QString(dir.path() + QStringLiteral("/Orvane.db")).toStdString()};
        fill(bare.path, size);
        const std::string name = nameOf(size / 2);
        const QString qname = QString::fromStdString(name);

        QStringList names, bareQtNames;
        std::vector<std::string> bareNames;
        measure(
            "listUserNames", size, runs, [&] { store.listUserNames(names); },
            [&] { bare.listUserNames(bareNames); }, [&] { bare.listUserNames(bareQtNames); });
        QString password;
        std::string barePassword;
        int remember = 0, autoLogin = 0;
        measure(
            "loadUser", size, runs, [&] { store.loadUser(qname, password, remember, autoLogin); },
            [&] { bare.loadUser(name, barePassword, remember, autoLogin); });
        measure(
            "saveUser", size, runs,
            [&] { store.saveUser(qname, QStringLiteral("secret"), true, false); },
            [&] { bare.saveUser(name, "secret"); });
    }
    return 0;
}
