// The raw calls of the statement wrapper: binds, stepping, columns, reuse.
#include "sqlitestatement.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <string_view>

#include "dbcore/sqliteerror.h"
#include "sqlitedb.h"

namespace zub::dbcore::test {
namespace {

using namespace std::string_literals;
using ZUBDB::SqliteDb;
using ZUBDB::SqliteError;
using ZUBDB::SqliteStatement;

class RawStatementTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = SqliteDb::Open(":memory:", true);
        db.exec("CREATE TABLE t (k INTEGER NOT NULL UNIQUE, v TEXT)");
    }
    long long Count() {
        SqliteStatement q(db, "SELECT count(*) FROM t");
        EXPECT_TRUE(q.step());
        return q.columnInt64(0);
    }
    SqliteDb db;
};

struct BindCase {
    const char* name;
    std::function<void(SqliteStatement&)> bind;
    std::string type;
    std::string text;
};

TEST_F(RawStatementTest, EachBindArrivesWithItsTypeAndValue) {
    const BindCase cases[] = {
        {"int64", [](SqliteStatement& s) { s.bind(1, 1LL << 40); }, "integer", "1099511627776"},
        {"double", [](SqliteStatement& s) { s.bind(1, 2.5); }, "real", "2.5"},
        {"text", [](SqliteStatement& s) { s.bind(1, std::string_view("gr\xC3\xBC\xC3\x9F")); },
         "text", "gr\xC3\xBC\xC3\x9F"},
        {"text with NUL", [](SqliteStatement& s) { s.bind(1, "a\0b"s); }, "text", "a\0b"s},
        {"empty view", [](SqliteStatement& s) { s.bind(1, std::string_view()); }, "text", ""},
        {"null", [](SqliteStatement& s) { s.bindNull(1); }, "null", ""},
    };
    SqliteStatement q(db, "SELECT typeof(?1), ?1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.bind(q);
        ASSERT_TRUE(q.step());
        EXPECT_EQ(q.columnCount(), 2);
        EXPECT_EQ(q.columnText(0), c.type);
        EXPECT_EQ(q.columnText(1), c.text);
        EXPECT_FALSE(q.step());
        q.reset();
    }
}

TEST_F(RawStatementTest, ColumnsReadTheCurrentRowUntilTheEnd) {
    db.exec("INSERT INTO t VALUES (1, 'one'), (2, NULL), (3, 'three')");
    SqliteStatement q(db, "SELECT k, v, k / 2.0 FROM t ORDER BY k");
    std::string seen;
    double halves = 0;
    while (q.step()) {
        seen += std::to_string(q.columnInt64(0)) + "=" + std::string(q.columnText(1)) + ";";
        halves += q.columnDouble(2);
    }
    EXPECT_EQ(seen, "1=one;2=;3=three;");
    EXPECT_DOUBLE_EQ(halves, 3.0);
}

TEST_F(RawStatementTest, RunResetsAndUnbindsSoOneStatementServesManyRows) {
    SqliteStatement insert(db, "INSERT INTO t (k, v) VALUES (?1, ?2)");
    for (long long k = 1; k <= 3; ++k) {
        insert.bind(1, k);
        insert.bind(2, std::to_string(k));
        insert.run();
    }
    EXPECT_EQ(Count(), 3);

    // Values from the last run are gone: k is NULL now.
    try {
        insert.run();
        FAIL() << "a run without values inserted a row";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_NOTNULL) << e.what();
        EXPECT_EQ(e.statement(), insert.sql());
    }

    // A failed run is reset and unbound as well.
    insert.bind(1, 1LL);
    try {
        insert.run();
        FAIL() << "a duplicate key was inserted";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_UNIQUE) << e.what();
    }
    try {
        insert.run();
        FAIL() << "a run without values inserted a row";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_NOTNULL) << e.what();
    }

    insert.bind(1, 4LL);
    insert.run();
    EXPECT_EQ(Count(), 4);
    EXPECT_FALSE(db.inTransaction());
}

TEST_F(RawStatementTest, FailuresCarryTheEngineCodeAndTheStatement) {
    SqliteStatement q(db, "SELECT ?1");
    try {
        q.bind(2, 1LL);
        FAIL() << "bound a parameter the statement does not have";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_RANGE) << e.what();
        EXPECT_EQ(e.statement(), "SELECT ?1");
    }

    db.exec("INSERT INTO t VALUES (1, 'one')");
    SqliteStatement insert(db, "INSERT INTO t VALUES (1, 'again')");
    try {
        insert.step();
        FAIL() << "stepped over a constraint violation";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_UNIQUE) << e.what();
        EXPECT_EQ(e.statement(), insert.sql());
    }
}

}  // namespace
}  // namespace zub::dbcore::test
