#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cadlink/sqlite_db.h"
#include "cadlink/sqlite_error.h"
#include "test_support.h"

namespace ZUBCAX {
namespace {

TEST(CadSqliteError, MessageNamesTheCode) {
    const struct {
        int code;
        const wchar_t* text;
        const wchar_t* message;
    } cases[] = {
        {0, L"", L"SQLITE_OK[0]: "},
        {1, L"no such table: x", L"SQLITE_ERROR[1]: no such table: x"},
        {5, L"database is locked", L"SQLITE_BUSY[5]: database is locked"},
        {14, L"unable to open", L"SQLITE_CANTOPEN[14]: unable to open"},
        {17, L"", L"SQLITE_SCHEMA[17]: "},
        {25, L"r", L"SQLITE_RANGE[25]: r"},
        {26, L"x", L"UNKNOWN_ERROR[26]: x"},
        {100, L"", L"SQLITE_ROW[100]: "},
        {101, L"", L"SQLITE_DONE[101]: "},
        {1000, L"Database not open", L"SQLITEDB_ERROR[1000]: Database not open"},
        {-3, L"odd", L"UNKNOWN_ERROR[-3]: odd"},
        {2067, L"UNIQUE", L"UNKNOWN_ERROR[2067]: UNIQUE"},
    };
    for (const auto& c : cases) {
        const SqliteError e(c.code, c.text);
        EXPECT_EQ(e.message(), c.message);
        EXPECT_EQ(e.code(), c.code);
    }
}

TEST(CadSqliteDb, ClosedDatabaseRefusesStatements) {
    SqliteDb db;
    try {
        db.Execute(L"create table t (a)");
        FAIL() << "no error";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), 1000);
        EXPECT_EQ(e.message(), L"SQLITEDB_ERROR[1000]: Database not open");
    }
    EXPECT_NO_THROW(db.Close());
}

TEST(CadSqliteDb, ExecuteReportsEachFailureWithSqlitesText) {
    zub::cadlink::test::TempDir dir;
    SqliteDb db;
    db.Open(dir.file("t.db"));
    EXPECT_EQ(db.busyTimeoutMs(), 60000);
    EXPECT_EQ(db.Execute(L"create table t (a integer primary key, b text not null)"), 0);
    const struct {
        const wchar_t* sql;
        int code;
        const wchar_t* message;
    } cases[] = {
        {L"create table t (a)", 1, L"SQLITE_ERROR[1]: table t already exists"},
        {L"selec 1", 1, L"SQLITE_ERROR[1]: near \"selec\": syntax error"},
        {L"insert into t (a) values (1)", 19,
         L"SQLITE_CONSTRAINT[19]: NOT NULL constraint failed: t.b"},
    };
    for (const auto& c : cases) {
        try {
            db.Execute(c.sql);
            ADD_FAILURE() << "no error for " << c.sql;
        } catch (const SqliteError& e) {
            EXPECT_EQ(e.code(), c.code) << c.sql;
            EXPECT_EQ(e.message(), c.message);
        }
    }
    // A failed statement leaves nothing behind that would keep the file open.
    EXPECT_NO_THROW(db.Close());
    EXPECT_FALSE(db.IsOpen());
}

TEST(CadSqliteDb, OpenFailureNamesTheCode) {
    SqliteDb db;
    try {
        db.Open(L"/nonexistent-dir/x/m.db");
        FAIL() << "opened";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CANTOPEN);
        EXPECT_EQ(e.message(), L"SQLITE_CANTOPEN[14]: unable to open database file");
    }
    EXPECT_FALSE(db.IsOpen());
}

// Another connection holding the write lock for a moment delays the
// statement instead of failing it.
TEST(CadSqliteDb, BusyDatabaseWaitsForTheLock) {
    zub::cadlink::test::TempDir dir;
    const std::string path = (dir.path() / "busy.db").string();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "begin exclusive; create table held (a)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    std::atomic<bool> released{false};
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
        released = true;
    });

    SqliteDb db;
    db.Open(dir.file("busy.db"));
    bool failed = false;
    try {
        db.Execute(L"create table mine (b)");
    } catch (const SqliteError&) {
        failed = true;
    }
    const bool waited = released.load();
    holder.join();
    sqlite3_close(other);
    db.Close();
    EXPECT_FALSE(failed);
    EXPECT_TRUE(waited);
    EXPECT_EQ(zub::cadlink::test::TableNames(dir.path() / "busy.db"),
              (std::vector<std::string>{"held", "mine"}));
}

TEST(CadSqliteDb, LockHeldPastTheTimeoutFailsTheStatement) {
    zub::cadlink::test::TempDir dir;
    const std::string path = (dir.path() / "busy.db").string();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "begin exclusive; create table held (a)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    SqliteDb db;
    db.setBusyTimeoutMs(50);
    db.Open(dir.file("busy.db"));
    try {
        db.Execute(L"create table mine (b)");
        ADD_FAILURE() << "a locked database reported success";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_BUSY);
    }
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

}  // namespace
}  // namespace ZUBCAX
