#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <cwctype>

#include "testsupport.h"
#include "zub/oledate.h"
#include "zub/text.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::AddRaw;
using zub::dbcore::test::Params;
using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;
using ZUBDB::QVParams;

namespace {

std::wstring Folded(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

class AccessorContract : public ::testing::TestWithParam<zub::dbcore::test::Backend> {
protected:
    const zub::dbcore::test::ErrorNumbers& Numbers() const {
        return zub::dbcore::test::NumbersOf(GetParam());
    }

    zub::dbcore::test::TempStore store{GetParam()};
    std::unique_ptr<CDBAccessor> db = store.Connect();

    std::string Err() const { return zub::WideToUtf8(db->errDescription()); }

    std::unique_ptr<CDBRecordset> Select(const std::wstring& table, const std::wstring& columns,
                                         const QVParams& where = QVParams(false),
                                         const std::wstring& order = L"") {
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(db->SelectRows(rs, table, columns, where, order, L"", L"", 0, 0), 0) << Err();
        return rs;
    }

    long long AddShelf(const std::wstring& name, const std::wstring& directory, long port = 0) {
        auto v = Params();
        Add(v, L"Name", name);
        Add(v, L"Server", L"file:/srv");
        Add(v, L"Port", port);
        Add(v, L"Directory", directory);
        Add(v, L"CreatorId", 1);
        Add(v, L"CreatorName", L"system");
        AddRaw(v, L"CreateTime", L"getdate()");
        Add(v, L"NumberingId", 1);
        EXPECT_EQ(db->InsertRow(L"Shelf", v, L"", L""), 0) << Err();
        EXPECT_EQ(db->CommitTrans(), 0) << Err();
        return db->LastInsertId();
    }

    long long AddItem(long long repo, const std::wstring& name, const std::wstring& version,
                      const std::wstring& phyUrl) {
        auto v = Params();
        Add(v, L"ShelfId", repo);
        Add(v, L"Name", name);
        Add(v, L"Ext", L"prt");
        Add(v, L"phyUrl", phyUrl);
        Add(v, L"CurrentVersion", version);
        Add(v, L"CurrentState", 0);
        EXPECT_EQ(db->InsertRow(L"Item", v, L"", L""), 0) << Err();
        EXPECT_EQ(db->CommitTrans(), 0) << Err();
        return db->LastInsertId();
    }
};

}  // namespace

TEST_P(AccessorContract, InsertSelectUpdateDeleteRoundTrip) {
    long long id = AddShelf(L"设计库", L"D:\\repo1", 2121);
    EXPECT_EQ(id, 1);
    auto where = Params();
    Add(where, L"ShelfId", id);
    auto rs = Select(
        L"Shelf",
        L"ShelfId,NumberingId,[Name],[Server],Port,Directory,CreatorId,CreatorName,CreateTime",
        where);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetIntAt(0), 1);
    EXPECT_EQ(rs->GetIntAt(1), 1);
    EXPECT_EQ(rs->GetStringAt(2), L"设计库");
    EXPECT_EQ(rs->GetStringAt(3), L"file:/srv");
    EXPECT_EQ(rs->GetIntAt(4), 2121);
    EXPECT_EQ(rs->GetStringAt(5), L"D:\\repo1");
    EXPECT_EQ(rs->GetIntAt(6), 1);
    EXPECT_EQ(rs->GetStringAt(7), L"system");
    EXPECT_GT(rs->GetDoubleAt(8), 40000.0);
    // Bracketed names come back without brackets.
    EXPECT_EQ(rs->GetString(L"name"), L"设计库");
    EXPECT_EQ(Folded(rs->Columns()[2]), L"name");

    auto set = Params();
    Add(set, L"Name", L"renamed");
    ASSERT_EQ(db->UpdateRows(L"Shelf", set, where, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(Select(L"Shelf", L"Name", where)->GetStringAt(0), L"renamed");

    ASSERT_EQ(db->DeleteRows(L"Shelf", where, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(Select(L"Shelf", L"")->GetRecordCount(), 0);
}

TEST_P(AccessorContract, ConditionsAreJoinedWithAndAndOrderIsApplied) {
    long long r1 = AddShelf(L"r1", L"a");
    long long r2 = AddShelf(L"r2", L"b");
    AddItem(r1, L"z", L"1.0", L"\\b");
    AddItem(r1, L"y", L"1.0", L"\\a");
    AddItem(r1, L"x", L"2.0", L"\\c");
    AddItem(r2, L"w", L"1.0", L"\\a");

    auto where = Params();
    Add(where, L"ShelfId", r1);
    auto rs = Select(L"Item", L"ItemId,Name,phyUrl", where, L"phyurl asc");
    ASSERT_EQ(rs->GetRecordCount(), 3);
    EXPECT_EQ(rs->GetString(L"Name"), L"y");
    rs->MoveNext();
    EXPECT_EQ(rs->GetString(L"Name"), L"z");
    rs->MoveNext();
    EXPECT_EQ(rs->GetString(L"Name"), L"x");

    Add(where, L"CurrentVersion", L"1.0");
    rs = Select(L"Item", L"Name", where, L"Name desc");
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetStringAt(0), L"z");
    rs->MoveNext();
    EXPECT_EQ(rs->GetStringAt(0), L"y");

    // Update and delete touch only the rows matching every condition.
    auto set = Params();
    Add(set, L"CurrentState", 1);
    ASSERT_EQ(db->UpdateRows(L"Item", set, where, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    auto one = Params();
    Add(one, L"CurrentState", 1);
    EXPECT_EQ(Select(L"Item", L"count(*)", one)->GetIntAt(0), 2);
    ASSERT_EQ(db->DeleteRows(L"Item", where, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(Select(L"Item", L"count(*)")->GetIntAt(0), 2);
}

TEST_P(AccessorContract, ItemListWithTabsInTheColumnListReadsByPosition) {
    long long repo = AddShelf(L"r", L"d");
    long long doc = AddItem(repo, L"pump", L"1.4", L"\\sub");
    auto where = Params();
    Add(where, L"ShelfId", repo);
    auto rs = Select(
        L"Item",
        L"ItemId,ShelfId,Name,ext,CurrentVersion,CurrentState,\t\t\t\t\t  CurrentOperatorId,"
        L"CurrentOperatorName,CreatorId,CreatorName,\t\t\t\t\t  ItemCreateTime,LastOperatorId,"
        L"LastOperatorName,LastOperateTime,phyUrl",
        where, L"phyurl asc");
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->Columns().size(), 15u);
    EXPECT_EQ(rs->GetIntAt(0), doc);
    EXPECT_EQ(rs->GetStringAt(2), L"pump");
    EXPECT_EQ(rs->GetStringAt(3), L"prt");
    EXPECT_EQ(rs->GetStringAt(4), L"1.4");
    EXPECT_EQ(rs->GetStringAt(7, L"?"), L"");           // defaulted by the schema, not NULL
    EXPECT_DOUBLE_EQ(rs->GetDoubleAt(10, -1.0), -1.0);  // not given: NULL
    EXPECT_EQ(rs->GetStringAt(14), L"\\sub");
    // Names differ in case from the schema ("Ext", "PhyUrl").
    EXPECT_EQ(rs->GetString(L"Ext"), L"prt");
    EXPECT_EQ(rs->GetString(L"PhyUrl"), L"\\sub");
}

TEST_P(AccessorContract, SelectStarFollowsTheTableOrder) {
    auto v = Params();
    Add(v, L"ItemId", 12);
    Add(v, L"ItemName", L"12_1.4.prt");
    Add(v, L"OperatorId", 1);
    Add(v, L"OperatorName", L"system");
    AddRaw(v, L"OperatorTime", L"getdate()");
    Add(v, L"action", 1);
    Add(v, L"OperateInfo", L"fix");
    Add(v, L"PhyUrl", L"\\history\\");
    Add(v, L"version_main", 1);
    Add(v, L"version_sub", 4);
    Add(v, L"Revision", 1);
    ASSERT_EQ(db->InsertRow(L"ItemVer", v, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    auto rs = Select(L"ItemVer", L"");
    ASSERT_EQ(rs->GetRecordCount(), 1);
    const std::vector<std::wstring> expected = {
        L"ItemVerId",    L"ItemId",       L"BaseLineId",  L"ItemName",     L"OperatorId",
        L"OperatorName", L"OperatorTime", L"OperateInfo", L"Action",       L"PhyUrl",
        L"Version_Main", L"Version_Sub",  L"Revision",    L"ContentSha256"};
    // Names compare as the record set looks them up: without regard to case
    // (a server folds unquoted names).
    ASSERT_EQ(rs->Columns().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Folded(rs->Columns()[i]), Folded(expected[i])) << i;
    EXPECT_EQ(rs->GetIntAt(1), 12);
    EXPECT_EQ(rs->GetIntAt(2), 0);
    EXPECT_EQ(rs->GetStringAt(3), L"12_1.4.prt");
    EXPECT_EQ(rs->GetStringAt(7), L"fix");
    EXPECT_EQ(rs->GetIntAt(8), 1);
    EXPECT_EQ(rs->GetStringAt(9), L"\\history\\");
    EXPECT_EQ(rs->GetIntAt(10), 1);
    EXPECT_EQ(rs->GetIntAt(11), 4);
    EXPECT_EQ(rs->GetIntAt(12), 1);
}

TEST_P(AccessorContract, GetdateIsTheLocalTimeAsAnOleDate) {
    const char* oldTz = std::getenv("TZ");
    std::string saved = oldTz != nullptr ? oldTz : "";
    auto restore = [&] {
        if (oldTz != nullptr)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    };
    // Eight hours east of UTC, without needing zone files.
    setenv("TZ", "ZZZ-8", 1);
    tzset();
    double before = zub::OleDateFromUnixSeconds(static_cast<double>(std::time(nullptr)));
    auto rs = std::unique_ptr<CDBRecordset>();
    int rc = db->ExecuteSql(rs, L"select getdate() as now", Params(), L"", 0, 0);
    double after = zub::OleDateFromUnixSeconds(static_cast<double>(std::time(nullptr)) + 1.0);
    restore();
    ASSERT_EQ(rc, 0) << Err();
    double shift = 8.0 / 24.0;
    EXPECT_GE(rs->GetDouble(L"now"), before + shift);
    EXPECT_LE(rs->GetDouble(L"now"), after + shift);
}

TEST_P(AccessorContract, RawGetdateInAnInsertStoresADoubleOfNow) {
    long long repo = AddShelf(L"r", L"d");
    // The embedded store's server is this process; the test server runs
    // eight hours east of UTC.
    double now =
        GetParam() == zub::dbcore::test::Backend::Embedded
            ? zub::OleDateNow()
            : zub::OleDateFromUnixSeconds(static_cast<double>(std::time(nullptr))) + 8.0 / 24;
    auto where = Params();
    Add(where, L"ShelfId", repo);
    double stored = Select(L"Shelf", L"CreateTime", where)->GetDoubleAt(0);
    EXPECT_NEAR(stored, now, 1.0 / 24.0 / 60.0);  // within a minute
}

TEST_P(AccessorContract, MaxOfVersionsCastToNumeric) {
    long long repo = AddShelf(L"r", L"d");
    AddItem(repo, L"a", L"1.10", L"");
    AddItem(repo, L"b", L"2.5", L"");
    AddItem(repo, L"c", L"10", L"");
    long long other = AddShelf(L"o", L"e");
    AddItem(other, L"d", L"99", L"");
    auto where = Params();
    Add(where, L"ShelfId", repo);
    auto rs = Select(L"Item", L"max(cast(CurrentVersion as numeric(8,4))) as maxVersion", where);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_DOUBLE_EQ(rs->GetDouble(L"maxVersion"), 10.0);
    EXPECT_DOUBLE_EQ(rs->GetDoubleAt(0), 10.0);

    // Text comparison would have picked "2.5".
    auto none = Params();
    Add(none, L"ShelfId", 999);
    rs = Select(L"Item", L"max(cast(CurrentVersion as numeric(8,4))) as maxVersion", none);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_DOUBLE_EQ(rs->GetDoubleAt(0, -7.0), -7.0);  // NULL max: the default
}

TEST_P(AccessorContract, CountAndMaxOfKeys) {
    EXPECT_EQ(Select(L"Shelf", L"max(ShelfId)")->GetIntAt(0, -1), -1);
    AddShelf(L"a", L"1");
    AddShelf(L"b", L"2");
    EXPECT_EQ(Select(L"Shelf", L"max(ShelfId)")->GetIntAt(0), 2);
    EXPECT_EQ(Select(L"Shelf", L"count(*)")->GetIntAt(0), 2);
    EXPECT_EQ(Select(L"Shelf", L"Max(ShelfId)")->GetRecordCount(), 1);
}

TEST_P(AccessorContract, ValuesAreBoundNotPasted) {
    const std::wstring evil = L"x'); DELETE FROM Person; --";
    auto v = Params();
    Add(v, L"PersonName", evil);
    ASSERT_EQ(db->InsertRow(L"Person", v, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);
    auto where = Params();
    Add(where, L"PersonName", evil);
    auto rs = Select(L"Person", L"PersonId,PersonName", where);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetStringAt(1), evil);
    EXPECT_EQ(Select(L"Person", L"count(*)")->GetIntAt(0), 2);  // "system" is still there

    // A condition value that looks like SQL matches nothing.
    auto trick = Params();
    Add(trick, L"PersonName", L"' OR '1'='1");
    EXPECT_EQ(Select(L"Person", L"PersonId", trick)->GetRecordCount(), 0);
}

TEST_P(AccessorContract, ExecuteSqlBindsPlaceholdersInListOrder) {
    long long r1 = AddShelf(L"r1", L"a");
    AddShelf(L"r2", L"b");
    auto p = Params();
    Add(p, L"x", L"r2");
    Add(p, L"y", r1);
    std::unique_ptr<CDBRecordset> rs;
    ASSERT_EQ(
        db->ExecuteSql(rs, L"select Name from Shelf where Name = ? or ShelfId = ? order by Name", p,
                       L"", 0, 0),
        0)
        << Err();
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetString(L"name"), L"r1");
    rs->MoveNext();
    EXPECT_EQ(rs->GetString(L"NAME"), L"r2");

    // An SQL expression among the values is evaluated, then bound.
    auto raw = Params();
    AddRaw(raw, L"t", L"1 + 2");
    ASSERT_EQ(db->ExecuteSql(rs, L"select ? * 2 as v", raw, L"", 0, 0), 0) << Err();
    EXPECT_EQ(rs->GetInt(L"v"), 6);
}

TEST_P(AccessorContract, ExecuteSqlOfTheShelfListForAPerson) {
    long long r1 = AddShelf(L"r1", L"a");
    long long r2 = AddShelf(L"r2", L"b");
    AddShelf(L"r3", L"c");
    std::unique_ptr<CDBRecordset> rs;
    ASSERT_EQ(db->ExecuteSql(rs, L"insert into Team (TeamName) values ('designers')", Params(), L"",
                             0, 0),
              0)
        << Err();
    ASSERT_EQ(db->ExecuteSql(rs, L"insert into PersonTeam (PersonId, TeamId) values (1, 1)",
                             Params(), L"", 0, 0),
              0)
        << Err();
    auto grant = [&](long long repo, long long user, long long role) {
        auto v = Params();
        Add(v, L"ShelfId", repo);
        Add(v, L"PersonId", user);
        Add(v, L"TeamId", role);
        Add(v, L"PersonOrTeam", user != 0 ? 1 : 0);
        Add(v, L"[Read]", 0);
        Add(v, L"Write", 0);
        Add(v, L"Manage", 0);
        ASSERT_EQ(db->InsertRow(L"ShelfGrant", v, L"", L""), 0) << Err();
    };
    grant(r1, 1, 0);
    grant(r2, 0, 1);
    ASSERT_EQ(db->CommitTrans(), 0);
    std::wstring sql =
        L"select ShelfId,NumberingId,Name,Server,Port,Directory,CreatorId,CreatorName from "
        L"Shelf where "
        L"ShelfId in (select distinct ShelfId from ShelfGrant where (PersonId = 1 or TeamId in "
        L"(select TeamId from "
        L"PersonTeam where PersonId = 1 )))";
    ASSERT_EQ(db->ExecuteSql(rs, sql, Params(), L"", 0, 0), 0) << Err();
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetIntAt(0), r1);
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(0), r2);
}

TEST_P(AccessorContract, GrantViewNamesThePersonOrTheTeam) {
    long long repo = AddShelf(L"r", L"d");
    std::unique_ptr<CDBRecordset> rs;
    ASSERT_EQ(
        db->ExecuteSql(rs, L"insert into Team (TeamName) values ('审核')", Params(), L"", 0, 0), 0);
    auto v = Params();
    Add(v, L"ShelfId", repo);
    Add(v, L"PersonOrTeam", 0);
    Add(v, L"PersonId", 1);
    Add(v, L"TeamId", 0);
    Add(v, L"[Read]", 1);
    Add(v, L"Write", 1);
    Add(v, L"Manage", 0);
    ASSERT_EQ(db->InsertRow(L"ShelfGrant", v, L"", L""), 0) << Err();
    auto r = Params();
    Add(r, L"ShelfId", repo);
    Add(r, L"PersonId", 0);
    Add(r, L"TeamId", 1);
    Add(r, L"PersonOrTeam", 1);
    Add(r, L"[Read]", 1);
    Add(r, L"Write", 0);
    Add(r, L"Manage", 1);
    ASSERT_EQ(db->InsertRow(L"ShelfGrant", r, L"", L""), 0) << Err();
    ASSERT_EQ(db->CommitTrans(), 0);

    auto where = Params();
    Add(where, L"ShelfId", repo);
    rs = Select(L"v_ShelfGrantSet",
                L"GrantId,ShelfId,PersonId,TeamId,PersonOrTeam,[Read],Write,Manage,PersonName",
                where, L"GrantId");
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetIntAt(2), 1);
    EXPECT_EQ(rs->GetIntAt(5), 1);
    EXPECT_EQ(rs->GetIntAt(6), 1);
    EXPECT_EQ(rs->GetIntAt(7), 0);
    EXPECT_EQ(rs->GetStringAt(8), L"system");
    EXPECT_EQ(rs->GetInt(L"read"), 1);
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(3), 1);
    EXPECT_EQ(rs->GetIntAt(7), 1);
    EXPECT_EQ(rs->GetStringAt(8), L"审核");
}

TEST_P(AccessorContract, ErrorsCarryCodeMessageAndStatement) {
    const bool embedded = GetParam() == zub::dbcore::test::Backend::Embedded;
    auto v = Params();
    Add(v, L"NoSuchColumn", 1);
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db->InsertRow(L"Person", v, L"", L""), Numbers().unknownName);
    EXPECT_EQ(db->errNumber(), Numbers().unknownName);
    EXPECT_NE(db->errDescription().find(embedded ? L"no column named NoSuchColumn"
                                                 : L"column \"nosuchcolumn\" of relation"),
              std::wstring::npos)
        << Err();
    EXPECT_NE(
        db->errDescription().find(embedded ? L"INSERT INTO Person (NoSuchColumn) VALUES (?)"
                                           : L"INSERT INTO Person (NoSuchColumn) VALUES ($1)"),
        std::wstring::npos)
        << Err();

    // A key that is taken: the number names the constraint kind.
    auto dup = Params();
    Add(dup, L"PersonId", 1);
    Add(dup, L"PersonName", L"again");
    EXPECT_EQ(db->InsertRow(L"Person", dup, L"", L""), Numbers().primaryKey);
    EXPECT_NE(db->errDescription().find(embedded ? L"UNIQUE constraint failed: Person.PersonId"
                                                 : L"duplicate key value violates unique"),
              std::wstring::npos)
        << Err();

    // A repository id that does not exist.
    auto orphan = Params();
    Add(orphan, L"ShelfId", 77);
    EXPECT_EQ(db->InsertRow(L"Item", orphan, L"", L""), Numbers().foreignKey);

    EXPECT_NE(db->SelectRows(rs, L"NoSuchTable", L"", Params(), L"", L"", L"", 0, 0), 0);
    EXPECT_EQ(rs, nullptr);
    EXPECT_NE(db->errDescription().find(embedded ? L"no such table: NoSuchTable"
                                                 : L"relation \"nosuchtable\" does not exist"),
              std::wstring::npos)
        << Err();
    EXPECT_NE(db->errDescription().find(L"SELECT * FROM NoSuchTable"), std::wstring::npos);

    EXPECT_EQ(db->ExecuteSql(rs, L"select 1; delete from Person", Params(), L"", 0, 0),
              Numbers().twoStatements);
    EXPECT_EQ(Select(L"Person", L"count(*)")->GetIntAt(0), 1);
    auto one = Params();
    Add(one, L"a", 1);
    EXPECT_EQ(db->ExecuteSql(rs, L"select 1", one, L"", 0, 0), Numbers().valueCount);
    EXPECT_EQ(db->ExecuteSql(rs, L"", Params(), L"", 0, 0), Numbers().twoStatements);

    // A success clears the last error.
    Select(L"Person", L"");
    EXPECT_EQ(db->errNumber(), 0);
    EXPECT_EQ(db->errDescription(), L"");
}

TEST_P(AccessorContract, LastInsertIdFollowsOnlySuccessfulInserts) {
    EXPECT_EQ(db->LastInsertId(), 0);
    long long id = AddShelf(L"r", L"d");
    EXPECT_EQ(db->LastInsertId(), id);
    auto bad = Params();
    Add(bad, L"ShelfId", id);  // taken
    EXPECT_NE(db->InsertRow(L"Shelf", bad, L"", L""), 0);
    EXPECT_EQ(db->LastInsertId(), id);
}

INSTANTIATE_TEST_SUITE_P(Backends, AccessorContract,
                         ::testing::Values(zub::dbcore::test::Backend::Embedded,
                                           zub::dbcore::test::Backend::Server),
                         zub::dbcore::test::BackendName);
