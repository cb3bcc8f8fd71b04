// The SQLite wrapper: result codes become errors with SQLite's text, values
// survive binding, and connections wait out other connections' locks.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <thread>

#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zubtest/tempdir.h"

namespace {

using zub::sqlite::Connection;
using zub::sqlite::Error;
using zub::sqlite::Statement;

constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

class Sqlite : public ::testing::Test {
protected:
    zub::testsupport::TempDir dir{"zub-sqlite", zub::testsupport::TempDir::Medium::Memory};
    std::string file = (dir.path() / "t.db").string();
    Connection db{file, kCreate};
};

TEST_F(Sqlite, FailuresCarrySqlitesCodeMessageAndStatement) {
    db.exec("create table t (id integer primary key, name text not null unique)");
    db.exec("insert into t (name) values ('a')");
    struct Case {
        const char* sql;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"insert into t (name) values ('a')", SQLITE_CONSTRAINT_UNIQUE,
         "UNIQUE constraint failed: t.name"},
        {"insert into t (name) values (null)", SQLITE_CONSTRAINT_NOTNULL,
         "NOT NULL constraint failed: t.name"},
        {"select nosuch from t", SQLITE_ERROR, "no such column: nosuch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            Statement st(db, c.sql);
            st.run();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_EQ(e.primary(), c.code & 0xff);
            EXPECT_EQ(e.message(), c.message);
            EXPECT_EQ(e.statement(), c.sql);
            EXPECT_EQ(std::string(e.what()), std::string(c.message) + " (SQLite error " +
                                                 std::to_string(c.code) +
                                                 ") in statement: " + c.sql);
        }
    }
    // A code the API itself detected is named by SQLite's text for it.
    Statement st(db, "select ?1");
    try {
        st.bind(2, 1LL);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), SQLITE_RANGE);
        EXPECT_EQ(e.message(), sqlite3_errstr(SQLITE_RANGE));
    }
    EXPECT_EQ(Error(SQLITE_OK, "x").code(), SQLITE_ERROR);
    EXPECT_NO_THROW(db.check(SQLITE_DONE));
    EXPECT_THROW(db.check(SQLITE_BUSY), Error);
}

TEST_F(Sqlite, BoundValuesComeBackAsTheyWent) {
    db.exec("create table v (x)");
    Statement ins(db, "insert into v (x) values (?1)");
    ins.bind(1, 42LL);
    ins.run();
    ins.bind(1, 2.5);
    ins.run();
    ins.bind(1, std::string_view("中文 text"));
    ins.run();
    ins.bind(1, std::string_view());
    ins.run();
    ins.bindBlob(1, nullptr, 0);
    ins.run();
    ins.bindNull(1);
    ins.run();
    // run() leaves nothing bound: a forgotten bind stores NULL.
    ins.run();
    EXPECT_EQ(db.lastInsertRowid(), 7);
    EXPECT_EQ(db.changes(), 1);

    Statement sel(db, "select x, typeof(x) from v order by rowid");
    EXPECT_EQ(sel.columnCount(), 2);
    EXPECT_EQ(sel.columnName(1), "typeof(x)");
    const char* types[] = {"integer", "real", "text", "text", "blob", "null", "null"};
    for (const char* type : types) {
        ASSERT_TRUE(sel.step());
        EXPECT_EQ(sel.columnText(1), type);
    }
    EXPECT_FALSE(sel.step());
    sel.reset();
    ASSERT_TRUE(sel.step());
    EXPECT_EQ(sel.columnType(0), SQLITE_INTEGER);
    EXPECT_EQ(sel.columnInt64(0), 42);
    ASSERT_TRUE(sel.step());
    EXPECT_EQ(sel.columnDouble(0), 2.5);
    ASSERT_TRUE(sel.step());
    EXPECT_EQ(sel.columnText(0), "中文 text");
    sel.step();
    sel.step();
    EXPECT_TRUE(sel.columnBlob(0).empty());
    sel.step();
    EXPECT_EQ(sel.columnText(0), "");

    Statement blob(db, "select x'00ff10'");
    ASSERT_TRUE(blob.step());
    EXPECT_EQ(blob.columnBlob(0), (std::vector<std::uint8_t>{0x00, 0xff, 0x10}));
}

TEST_F(Sqlite, PreparingTakesTheFirstStatementAndTellsTheRest) {
    std::string_view tail;
    Statement first(db, "select 1; select 2", &tail);
    EXPECT_EQ(tail, " select 2");
    Statement last(db, "select 2", &tail);
    EXPECT_EQ(tail, "");
    EXPECT_TRUE(last.readonly());
    EXPECT_EQ(Statement(db, "select ?1, ?2").parameterCount(), 2);
    // Nothing but comments prepares to nothing.
    EXPECT_FALSE(Statement(db, " -- nothing\n"));
    EXPECT_THROW(Statement(db, "selec 1"), Error);
}

TEST_F(Sqlite, OpeningFailsWithSqlitesReason) {
    try {
        Connection missing((dir.path() / "no" / "such.db").string(), SQLITE_OPEN_READWRITE);
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.primary(), SQLITE_CANTOPEN);
        EXPECT_EQ(e.message(), "unable to open database file");
    }
}

TEST_F(Sqlite, ClosingWithAnOpenStatementFailsAndKeepsTheConnection) {
    {
        Statement st(db, "select 1");
        EXPECT_THROW(db.close(), Error);
        EXPECT_TRUE(db);
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.columnInt64(0), 1);
    }
    db.close();
    EXPECT_FALSE(db);
    // A moved connection keeps working, the statements on it too.
    Connection a(file, kCreate);
    Statement st(a, "select 7");
    Connection b = std::move(a);
    EXPECT_FALSE(a);
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt64(0), 7);
    EXPECT_FALSE(b.inTransaction());
    b.exec("begin");
    EXPECT_TRUE(b.inTransaction());
    b.rollbackQuietly();
    EXPECT_FALSE(b.inTransaction());
}

// Another connection's write lock: the default wait outlasts a short hold, a
// short wait gives up with SQLITE_BUSY.
TEST_F(Sqlite, AWriterWaitsForAnotherConnectionsLock) {
    db.exec("create table t (x)");
    Connection holder(file, kCreate);
    holder.exec("begin immediate; insert into t values (1)");
    Connection impatient(file, kCreate, 20);
    try {
        impatient.exec("insert into t values (2)");
        ADD_FAILURE() << "no wait expected";
    } catch (const Error& e) {
        EXPECT_EQ(e.primary(), SQLITE_BUSY);
    }
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        holder.exec("commit");
    });
    Connection patient(file, kCreate);
    EXPECT_NO_THROW(patient.exec("insert into t values (3)"));
    release.join();
    Statement count(patient, "select count(*) from t");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.columnInt64(0), 2);
}

}  // namespace
