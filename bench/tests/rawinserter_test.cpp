#include "rawinserter.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>

#include "sqlitedb.h"
#include "sqlitestatement.h"
#include "zubtest/tempdir.h"

namespace zub::bench::test {

namespace {

TEST(RawInserterName, ReplacesWholeNamesInAnyCaseAndQuoting) {
    EXPECT_EQ(RawInserter::ReplaceName("CREATE TABLE QV_DMDoc (a)", "QV_DMDoc", "raw"),
              "CREATE TABLE raw (a)");
    EXPECT_EQ(RawInserter::ReplaceName("create index i on qv_dmdoc(a)", "QV_DMDoc", "raw"),
              "create index i on raw(a)");
    EXPECT_EQ(RawInserter::ReplaceName("CREATE TABLE \"QV_DMDoc\"(a)", "QV_DMDoc", "raw"),
              "CREATE TABLE \"raw\"(a)");
    EXPECT_EQ(RawInserter::ReplaceName("CREATE TABLE [QV_DMDoc](a)", "QV_DMDoc", "raw"),
              "CREATE TABLE [raw](a)");
}

TEST(RawInserterName, LeavesLongerNamesThatStartTheSameAlone) {
    // The history table's name begins with the document table's.
    EXPECT_EQ(RawInserter::ReplaceName("SELECT * FROM QV_DMDocVer, QV_DMDoc", "QV_DMDoc", "raw"),
              "SELECT * FROM QV_DMDocVer, raw");
    EXPECT_EQ(RawInserter::ReplaceName("x_QV_DMDoc QV_DMDoc_phyUrl", "QV_DMDoc", "raw"),
              "x_QV_DMDoc QV_DMDoc_phyUrl");
}

// First column of the first row as text ("" without a row).
std::string Scalar(const ZUBDB::SqliteDb& db, const std::string& sql) {
    ZUBDB::SqliteStatement q(db, sql);
    return q.step() ? std::string(q.columnText(0)) : std::string();
}

class RawInserterTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir.path() / "t.sqlite3";
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
        const char* schema =
            "CREATE TABLE Doc (Id INTEGER PRIMARY KEY AUTOINCREMENT, Repo INTEGER NOT NULL, "
            "Name TEXT NOT NULL UNIQUE);"
            "CREATE INDEX Doc_Repo ON Doc (Repo);"
            "CREATE TABLE DocVer (Id INTEGER PRIMARY KEY, DocId INTEGER);"
            "INSERT INTO Doc (Repo, Name) VALUES (1, 'a'), (1, 'b'), (2, 'c');";
        ASSERT_EQ(sqlite3_exec(raw, schema, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    zub::testsupport::TempDir dir;
    std::filesystem::path file;
};

TEST_F(RawInserterTest, CopiesColumnsIndexesAndConstraintsButNotOtherTables) {
    auto db = ZUBDB::SqliteDb::Open(file.string(), false);
    RawInserter inserter(db, "Doc", "raw_Doc", {"Repo", "Name"});
    // Table, its named index, and the index SQLite makes for UNIQUE.
    EXPECT_EQ(Scalar(db,
                     "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master "
                     "WHERE tbl_name = 'raw_Doc' ORDER BY name)"),
              "raw_Doc raw_Doc_Doc_Repo sqlite_autoindex_raw_Doc_1");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM raw_Doc"), "0");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM sqlite_master WHERE tbl_name LIKE '%DocVer%'"), "1");
    // The UNIQUE constraint came along.
    db.exec("INSERT INTO raw_Doc (Repo, Name) VALUES (1, 'x')");
    EXPECT_THROW(db.exec("INSERT INTO raw_Doc (Repo, Name) VALUES (1, 'x')"), std::runtime_error);
}

TEST_F(RawInserterTest, InsertsEachRowAndMirrorsTheSource) {
    auto db = ZUBDB::SqliteDb::Open(file.string(), false);
    RawInserter inserter(db, "Doc", "raw_Doc", {"Repo", "Name"});
    inserter.MirrorRows();
    EXPECT_EQ(Scalar(db, "SELECT group_concat(Name) FROM raw_Doc"), "a,b,c");
    const double s = inserter.InsertEach(5, [](ZUBDB::SqliteStatement& st, int i) {
        st.bind(1, 7LL);
        st.bind(2, "n" + std::to_string(i));
    });
    EXPECT_GT(s, 0.0);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM raw_Doc WHERE Repo = 7"), "5");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM Doc"), "3") << "the source stays untouched";
    // Mirroring again replaces the copy's rows with the source's.
    inserter.MirrorRows();
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM raw_Doc"), "3");
}

TEST_F(RawInserterTest, AFailedInsertLeavesNoOpenTransaction) {
    auto db = ZUBDB::SqliteDb::Open(file.string(), false);
    RawInserter inserter(db, "Doc", "raw_Doc", {"Repo", "Name"});
    EXPECT_THROW(inserter.InsertEach(2,
                                     [](ZUBDB::SqliteStatement& st, int) {
                                         st.bind(1, 1LL);
                                         st.bind(2, std::string("same"));
                                     }),
                 std::runtime_error);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM raw_Doc"), "1");
    EXPECT_NO_THROW(db.exec("BEGIN; COMMIT"));
}

TEST_F(RawInserterTest, AMissingSourceTableIsAnError) {
    auto db = ZUBDB::SqliteDb::Open(file.string(), false);
    EXPECT_THROW(RawInserter(db, "Nope", "raw_Nope", {"a"}), std::runtime_error);
}

}  // namespace

}  // namespace zub::bench::test
