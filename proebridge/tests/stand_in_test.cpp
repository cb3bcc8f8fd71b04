#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "proebridge2/proe_asyn_connector.h"
#include "proebridge4/proe_asyn_command.h"
#include "proebridge4/proe_asyn_connector.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace ZUBPROE4 {
namespace {
namespace fs = std::filesystem;

class StandIn : public ::testing::Test {
protected:
    StandIn() {
        ResetStandIn();
        ZUBPROE2::ResetStandIn();
    }
    ~StandIn() override {
        ResetStandIn();
        ZUBPROE2::ResetStandIn();
    }
    std::wstring File(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return zub::Utf8ToWide((dir / name).string());
    }
    void Load() {
        ProeAsynConnector connector;
        std::wstring info;
        void* handle = nullptr;
        connector.Load(L"/opt/wf4/bin/proe1.bat", L"", nullptr, info, handle);
    }
    void Sql(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open((dir / "m.db").c_str(), &db);
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    std::string Rows(const std::string& table) {
        sqlite3* db = nullptr;
        sqlite3_open((dir / "m.db").c_str(), &db);
        std::string out;
        sqlite3_exec(
            db, ("select * from " + table).c_str(),
            [](void* acc, int n, char** values, char**) {
                auto* text = static_cast<std::string*>(acc);
                for (int i = 0; i < n; ++i)
                    *text += (values[i] ? values[i] : "NULL") + std::string(i + 1 < n ? "|" : "\n");
                return 0;
            },
            &out, nullptr);
        sqlite3_close(db);
        return out;
    }
    std::wstring Db() const { return zub::Utf8ToWide((dir / "m.db").string()); }

    zub::testsupport::TempDir tmp{"standin"};
    const fs::path dir = tmp.path();
    ProeAsynCommand command;
};

TEST_F(StandIn, NothingWorksBeforeALoad) {
    EXPECT_FALSE(command.ConnIsValid());
    EXPECT_EQ(command.OpenFile(File("a.prt", "")), ProeAsynCommand::kNotConnected);
    EXPECT_EQ(command.errText(), L"no CAD session");
    Load();
    EXPECT_TRUE(command.ConnIsValid());
    command.Disconnect();
    EXPECT_FALSE(command.ConnIsValid());
    EXPECT_EQ(command.CreateMenu(L"m"), ProeAsynCommand::kNotConnected);
}

TEST_F(StandIn, LoadsAreRecordedPerBridge) {
    ZUBPROE2::ProeAsynConnector two;
    std::wstring info;
    void* handle = nullptr;
    EXPECT_EQ(two.Load(L"", L"p", nullptr, info, handle), 1);
    EXPECT_EQ(two.Load(L"/x/proe1.bat", L"p", nullptr, info, handle), 0);
    EXPECT_EQ(handle, &two);
    EXPECT_EQ(ZUBPROE2::Loads().size(), 2u);
    EXPECT_TRUE(Loads().empty());
}

TEST_F(StandIn, ModelLifeCycle) {
    Load();
    EXPECT_EQ(command.GetCurrentMdlFullName(), L"");
    EXPECT_EQ(command.CloseFile(L""), ProeAsynCommand::kNoModel);
    EXPECT_EQ(command.OpenFile(File("bad.prt", "row x=1\n")), ProeAsynCommand::kModelMalformed);
    EXPECT_EQ(command.errText(),
              zub::Utf8ToWide((dir / "bad.prt").string()) + L": line 1: row before any table");
    const std::wstring path = File("a.prt", "dep b.prt\n");
    ASSERT_EQ(command.OpenFile(path), 0);
    EXPECT_EQ(command.GetCurrentMdlFullName(), path);
    EXPECT_EQ(command.CloseFile(L"/elsewhere/a.prt"), ProeAsynCommand::kNoModel);
    EXPECT_EQ(command.CloseFile(L""), 0);
    EXPECT_EQ(command.GetCurrentMdlFullName(), L"");
    EXPECT_EQ(command.CreateMenu(L""), ProeAsynCommand::kBadArgument);
    EXPECT_EQ(command.CreateMenu(L"Vault"), 0);
    EXPECT_EQ(Menus(), (std::vector<std::wstring>{L"Vault"}));
}

TEST_F(StandIn, RefreshFillsOnlyTheMirrorTablesThatExist) {
    Load();
    ASSERT_EQ(command.OpenFile(File("a.prt",
                                    "table bom\nrow id=1\tqty=2\nrow id=2\tCAXS_flag=1\n"
                                    "table other\nrow z=1\n")),
              0);
    Sql("create table CAXS_2_bom (id Integer primary key not null, qty Real, CAXS_flag Integer)");
    EXPECT_EQ(command.RefreshTable(L"bom,other,", Db()), 0);
    EXPECT_EQ(Rows("CAXS_2_bom"), "1|2.0|0\n2|NULL|1\n");

    // A row naming a column the table lacks fails the whole refresh.
    Sql("delete from CAXS_2_bom");
    ASSERT_EQ(command.OpenFile(File("b.prt", "table bom\nrow id=5\nrow id=6\tcolour=red\n")), 0);
    EXPECT_EQ(command.RefreshTable(L"bom", Db()), ProeAsynCommand::kDatabase);
    EXPECT_EQ(command.errText(), L"database: table CAXS_2_bom has no column named colour");
    EXPECT_EQ(Rows("CAXS_2_bom"), "");
    EXPECT_EQ(command.RefreshTable(L"bom", zub::Utf8ToWide((dir / "none.db").string())),
              ProeAsynCommand::kDatabase);
    EXPECT_FALSE(fs::exists(dir / "none.db"));
}

TEST_F(StandIn, UpdateTableReadsRowsBackAndSaveWritesThem) {
    Load();
    const std::wstring path = File("a.prt", "dep b.prt\ndep c.prt\ntable bom\nrow id=1\n");
    ASSERT_EQ(command.OpenFile(path), 0);
    Sql("create table CAXS_2_bom (id Integer, note Text, CAXS_flag Integer);"
        "insert into CAXS_2_bom values (7, 'x', 1);"
        "create table CAXS_2_new (k Text, CAXS_flag Integer); insert into CAXS_2_new values ('v', "
        "0)");
    EXPECT_EQ(command.UpdateTable(L"bom,new,missing", Db()), 0);
    std::wstring saved;
    ASSERT_EQ(command.SaveFile(saved), 0);
    EXPECT_EQ(saved, path);
    std::ifstream in(dir / "a.prt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(
        text,
        "# stand-in CAD model\ndep b.prt\ndep c.prt\ntable bom\nrow id=7\tnote=x\tCAXS_flag=1\n"
        "table new\nrow k=v\tCAXS_flag=0\n");
    std::wstring deps;
    ASSERT_EQ(command.GetDependencies(deps), 0);
    EXPECT_EQ(deps, L"b.prt\nc.prt");
}

}  // namespace
}  // namespace ZUBPROE4
