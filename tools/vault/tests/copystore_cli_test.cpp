// A copied store that still names the original's file-server root by its
// absolute path: refused, reported by verify, made independent by repoint.
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultrunner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

class CopiedStoreCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitWithUsers();
        WriteFile("bracket.prt", "rev A\n");
        Ok({"doc", "add", "demo", "bracket.prt"});
        copy_ = ws_ / "copy";
    }

    void Sql(const fs::path& store, const wchar_t* db, const std::wstring& statement) {
        zub::vaultschema::ProductStore::Register();
        auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(L"sqlite:" + zub::Utf8ToWide(store.string()), 0, db, L""), L"");
        ASSERT_TRUE(accessor);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ZUBDB::QVParams none;
        ASSERT_EQ(accessor->ExecuteSql(rs, statement, none, L"", 0, 0), 0)
            << zub::WideToUtf8(accessor->errDescription());
        ASSERT_EQ(accessor->CommitTrans(), 0);
    }

    // As older stores, or a server set through the automation server, name it.
    void NameServerAbsolutely() {
        Sql(store_, L"QVData",
            L"update QV_DMRepo set Server = 'file:" + zub::Utf8ToWide((store_ / "files").string()) +
                L"'");
    }

    RunResult InCopy(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--store", copy_.string()};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }

    std::string Original() const { return ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"); }

    fs::path copy_;
};

TEST_F(CopiedStoreCli, ACopyNamingTheOriginalsRootRefusesUntilRepointed) {
    NameServerAbsolutely();
    fs::copy(store_, copy_, fs::copy_options::recursive);

    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"doc", "checkout", "1", "w"},
          std::vector<std::string>{"doc", "view", "1", "v"},
          std::vector<std::string>{"repo", "delete", "demo", "--force"}}) {
        const RunResult r = InCopy(command);
        EXPECT_EQ(r.code, 1) << command[1];
        EXPECT_EQ(r.err.rfind("vault: error 49617: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("vault repo repoint"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Original(), "rev A\n");
    EXPECT_FALSE(fs::exists(Path("v/bracket.prt")));

    const RunResult found = InCopy({"verify"});
    EXPECT_EQ(found.code, 1);
    EXPECT_NE(found.out.find("fix: vault repo repoint demo"), std::string::npos) << found.out;
    EXPECT_EQ(InCopy({"verify", "--repair"}).code, 1);  // not repaired behind the user's back

    EXPECT_EQ(InCopy({"repo", "repoint", "demo"}).code, 0);
    const RunResult co = InCopy({"doc", "checkout", "1", "w"});
    ASSERT_EQ(co.code, 0) << co.err;
    WriteFile("w/bracket.prt", "rev B in the copy\n");
    const RunResult ci = InCopy({"doc", "checkin", "1", "w/bracket.prt", "-m", "copy"});
    ASSERT_EQ(ci.code, 0) << ci.err;
    EXPECT_EQ(ReadFile(copy_ / "files/repos/demo/trunk/bracket.prt"), "rev B in the copy\n");
    EXPECT_EQ(Original(), "rev A\n");
    const RunResult copyClean = InCopy({"verify"});
    EXPECT_EQ(copyClean.code, 0) << copyClean.out << copyClean.err;
    const RunResult clean = Run({"verify"});
    EXPECT_EQ(clean.code, 0) << clean.out << clean.err;
    Ok({"doc", "view", "1", "orig", "--force"});
    EXPECT_EQ(ReadFile(Path("orig/bracket.prt")), "rev A\n");
}

TEST_F(CopiedStoreCli, RepointTakesAnotherStoresRootOnlyWhenAdopted) {
    // A root outside both stores that names the original, as after moving
    // the original's files there.
    const fs::path ext = ws_ / "ext";
    fs::copy(store_ / "files", ext, fs::copy_options::recursive);
    fs::copy(store_, copy_, fs::copy_options::recursive);
    const std::string server = "file:" + ext.string();

    const RunResult refused = InCopy({"repo", "repoint", "demo", server});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err.rfind("vault: error 49617: ", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find("--adopt"), std::string::npos) << refused.err;
    const RunResult missing = InCopy({"repo", "repoint", "demo", "file:" + ws_.string()});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("\\repos\\demo"), std::string::npos) << missing.err;

    const RunResult adopted = InCopy({"repo", "repoint", "demo", server, "--adopt"});
    ASSERT_EQ(adopted.code, 0) << adopted.err;
    EXPECT_EQ(InCopy({"doc", "view", "1", "v"}).code, 0);
    EXPECT_EQ(ReadFile(Path("v/bracket.prt")), "rev A\n");
    // Now the copy's: the original may not take it without --adopt.
    const RunResult theirs = Run({"repo", "repoint", "demo", server});
    EXPECT_EQ(theirs.code, 1);
    EXPECT_EQ(theirs.err.rfind("vault: error 49617: ", 0), 0u) << theirs.err;
    Ok({"doc", "view", "1", "mine"});
}

TEST_F(CopiedStoreCli, VerifyGivesAnOlderStoreItsIdentity) {
    Sql(store_, L"QVSystem", L"update QV_SysInfo set StoreId = ''");
    fs::remove(store_ / "files/.vaultfs-owner");
    Ok({"doc", "view", "1", "v"});  // older stores keep working

    const RunResult found = Run({"verify"});
    EXPECT_EQ(found.code, 1);
    EXPECT_NE(found.out.find("has no identity"), std::string::npos) << found.out;
    Ok({"verify", "--repair"});
    EXPECT_TRUE(fs::exists(store_ / "files/.vaultfs-owner"));
    Ok({"verify"});
    NameServerAbsolutely();
    fs::copy(store_, copy_, fs::copy_options::recursive);
    EXPECT_EQ(InCopy({"doc", "view", "1", "w"}).code, 1);
}

}  // namespace

}  // namespace zub::vault::test
