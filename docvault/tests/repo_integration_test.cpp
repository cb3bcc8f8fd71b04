// Repositories, permissions and version strategy end to end on the embedded
// store: a SQLite store and a local file-server root in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/docrepo.h"
#include "docvault/docrepoauth.h"
#include "docvault/docrepoauths.h"
#include "docvault/docrepos.h"
#include "docvault/versionstra.h"
#include "internal/fileserverlogin.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAre;

// An error text for a failure message.
std::string Text(const std::wstring& text) { return zub::WideToUtf8(text); }

class RepoIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        storeDir_ = (tmp_ / "store").string();
        rootA_ = tmp_ / "rootA";
        rootB_ = tmp_ / "rootB";
        fs::create_directories(rootA_);
        fs::create_directories(rootB_);
        std::wstring error;
        ASSERT_EQ(zub::vaultschema::ProductStore::Create(storeDir_, "QVData", error), 0)
            << Text(error);
        locator_ = ZUBDB::EmbeddedLocator(storeDir_);
        raw_ = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(locator_, 0, L"QVData", L""), L"");
        ASSERT_NE(raw_, nullptr);
        FileServerLogin::Get().Reset();
    }

    void TearDown() override {
        raw_.reset();
        FileServerLogin::Get().Reset();
    }

    static std::wstring ServerOf(const fs::path& root) { return L"file:" + root.wstring(); }

    template <class T>
    void Connect(T& bo) {
        ASSERT_EQ(bo.Connect(locator_, 0, L"QVData", L""), 0);
    }

    // A connected repository ready for Create.
    std::unique_ptr<DRM::DocRepo> NewRepo(const std::wstring& name, const std::wstring& dir,
                                          const fs::path& root, int creator = 0) {
        auto repo = std::make_unique<DRM::DocRepo>();
        Connect(*repo);
        repo->set_name(name);
        repo->set_nfsServer(ServerOf(root));
        repo->set_port(0);
        repo->set_nfsRootDir(dir);
        repo->set_creator(creator);
        return repo;
    }

    int CreateRepo(const std::wstring& name, const std::wstring& dir, const fs::path& root,
                   int creator = 0) {
        auto repo = NewRepo(name, dir, root, creator);
        const int rc = repo->Create();
        EXPECT_EQ(rc, 0) << repo->ErrNumber() << " " << Text(repo->ErrDesc());
        return repo->id();
    }

    // Rows the library does not write itself, put in place for a test.
    long long Insert(const std::wstring& table,
                     const std::vector<std::pair<std::wstring, long long>>& ints,
                     const std::vector<std::pair<std::wstring, std::wstring>>& texts = {}) {
        ZUBDB::QVParams values(false);
        long pos = 0;
        for (const auto& [col, v] : ints) values.AddParam(pos++, col, v, false, L"=");
        for (const auto& [col, v] : texts) values.AddParam(pos++, col, v, false, false, L"=");
        EXPECT_EQ(raw_->InsertRow(table, values, L"", L""), 0) << table;
        EXPECT_EQ(raw_->CommitTrans(), 0);
        return raw_->LastInsertId();
    }

    long Count(const std::wstring& table, const std::wstring& column, long long value) {
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, column, value, false, L"=");
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        EXPECT_EQ(raw_->SelectRows(rs, table, L"count(*)", cond, L"", L"", L"", 0, 0), 0);
        return rs ? rs->GetIntAt(0, -1) : -1;
    }

    long CountAll(const std::wstring& table) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        EXPECT_EQ(
            raw_->SelectRows(rs, table, L"count(*)", ZUBDB::QVParams(false), L"", L"", L"", 0, 0),
            0);
        return rs ? rs->GetIntAt(0, -1) : -1;
    }

    zub::testsupport::TempDir dir_{"repo_it"};
    const fs::path tmp_ = dir_.path();
    std::string storeDir_;
    fs::path rootA_;
    fs::path rootB_;
    std::wstring locator_;
    std::unique_ptr<ZUBDB::CDBAccessor> raw_;
};

TEST_F(RepoIntegration, RepositoryLifeCycle) {
    const int id = CreateRepo(L"Parts", L"D:\\repo1", rootA_, 1);
    ASSERT_GT(id, 0);
    const fs::path tree = rootA_ / "D" / "repo1";
    for (const char* sub : {"trunk", "baseline", "history"})
        EXPECT_TRUE(fs::is_directory(tree / sub)) << sub;

    {
        SCOPED_TRACE("read");
        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        EXPECT_EQ(repo.id(), id);
        EXPECT_EQ(repo.name(), L"Parts");
        EXPECT_EQ(repo.nfsServer(), ServerOf(rootA_));
        EXPECT_EQ(repo.nfsPort(), 0);
        EXPECT_EQ(repo.nfsRootDir(), L"D:\\repo1");
        EXPECT_EQ(repo.creator(), 1);
        EXPECT_EQ(repo.creatorName(), L"system");
        EXPECT_EQ(repo.versionStraId(), 1);
        // Stamped by the database: today, as an OLE automation date.
        const double today = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
        EXPECT_LT(std::fabs(repo.createdTime() - today), 1.0);
        EXPECT_EQ(repo.GetNextMainVersion(), L"0.0000000000");
    }
    {
        SCOPED_TRACE("rename and strategy");
        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        repo.set_name(L"Parts 2");
        repo.set_versionStraId(2);
        EXPECT_EQ(repo.updateBaseInfo(), 0);
        EXPECT_EQ(repo.SaveVersionStra(), 0);
        DRM::DocRepo again;
        Connect(again);
        ASSERT_EQ(again.Read(id), 0);
        EXPECT_EQ(again.name(), L"Parts 2");
        EXPECT_EQ(again.versionStraId(), 2);
    }
    {
        SCOPED_TRACE("next main version from the documents");
        Insert(L"QV_DMDoc", {{L"DocRepoId", id}}, {{L"CurrentVersion", L"2.5"}, {L"Name", L"a"}});
        Insert(L"QV_DMDoc", {{L"DocRepoId", id}}, {{L"CurrentVersion", L"1.10"}, {L"Name", L"b"}});
        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        EXPECT_EQ(repo.GetNextMainVersion(), L"3.0000000000");
    }
    {
        SCOPED_TRACE("backup");
        std::ofstream(tree / "trunk" / "a.prt") << "model";
        fs::create_directories(tree / "trunk" / "sub");
        std::ofstream(tree / "trunk" / "sub" / "b.drw") << "drawing";
        const fs::path local = tmp_ / "backup";
        fs::create_directories(local);
        // The rows name exactly the files that are there.
        ZUBDB::QVParams mine(false);
        mine.AddParam(0, L"DocRepoId", id, false, L"=");
        ASSERT_EQ(raw_->DeleteRows(L"QV_DMDoc", mine, L"", L""), 0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
        Insert(L"QV_DMDoc", {{L"DocRepoId", id}}, {{L"Name", L"a"}, {L"Ext", L"prt"}});
        Insert(L"QV_DMDoc", {{L"DocRepoId", id}},
               {{L"Name", L"b"}, {L"Ext", L"drw"}, {L"phyUrl", L"\\sub"}});
        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        EXPECT_EQ(repo.BackUp(local.wstring()), 0) << Text(repo.ErrDesc());
        std::ifstream in(local / "a.prt");
        std::string text;
        in >> text;
        EXPECT_EQ(text, "model");
        EXPECT_TRUE(fs::exists(local / "sub" / "b.drw"));
    }
    {
        SCOPED_TRACE("delete");
        const long long doc = Insert(L"QV_DMDoc", {{L"DocRepoId", id}}, {{L"Name", L"c"}});
        Insert(L"QV_DMBaseline", {{L"DocRepoId", id}}, {{L"name", L"B1"}});
        Insert(L"QV_DMDocVer", {{L"DocId", doc}}, {{L"DocName", L"c"}});
        const int other = CreateRepo(L"Other", L"D:\\other", rootA_, 1);
        ASSERT_EQ(Count(L"QV_DMAuth", L"DocRepoId", id), 1);  // the creator's rights

        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        EXPECT_EQ(repo.Delete(), 0) << Text(repo.ErrDesc());
        EXPECT_FALSE(fs::exists(tree));
        EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", id), 0);
        EXPECT_EQ(Count(L"QV_DMDoc", L"DocRepoId", id), 0);
        EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", id), 0);
        EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", id), 0);
        EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", doc), 1);  // history outlives the repository
        // The neighbour is untouched.
        EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", other), 1);
        EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", other), 1);
        EXPECT_TRUE(fs::is_directory(rootA_ / "D" / "other" / "trunk"));

        DRM::DocRepo gone;
        Connect(gone);
        EXPECT_EQ(gone.Read(id), 49609);
    }
}

TEST_F(RepoIntegration, ListingForAllAndForOneUser) {
    const long long bob = Insert(L"QV_User", {}, {{L"UserName", L"bob"}});
    const long long eve = Insert(L"QV_User", {}, {{L"UserName", L"eve"}});
    const long long designers = Insert(L"QV_Role", {}, {{L"RoleName", L"designers"}});
    Insert(L"QV_UserRole", {{L"UserId", bob}, {L"RoleId", designers}});

    const int direct = CreateRepo(L"direct", L"D:\\direct", rootA_);
    const int byRole = CreateRepo(L"byrole", L"D:\\byrole", rootA_);
    const int hidden = CreateRepo(L"hidden", L"D:\\hidden", rootA_);
    const int mine = CreateRepo(L"mine", L"D:\\mine", rootA_, 1);
    // A row without any right still makes its repository visible.
    Insert(L"QV_DMAuth", {{L"DocRepoId", direct}, {L"UserId", bob}, {L"UserOrRole", 1}});
    Insert(L"QV_DMAuth", {{L"DocRepoId", byRole}, {L"RoleId", designers}, {L"[Read]", 1}});

    DRM::DocRepos all;
    Connect(all);
    ASSERT_EQ(all.GetAll(), 0);
    std::set<std::wstring> names;
    for (int i = 0; i < all.Count(); ++i) names.insert(all.Repo(i)->name());
    EXPECT_EQ(names, (std::set<std::wstring>{L"direct", L"byrole", L"hidden", L"mine"}));
    ASSERT_NE(all.Repo(L"hidden"), nullptr);
    EXPECT_EQ(all.Repo(L"hidden")->id(), hidden);
    EXPECT_EQ(all.Repo(L"hidden")->nfsServer(), ServerOf(rootA_));

    DRM::DocRepos forBob;
    Connect(forBob);
    ASSERT_EQ(forBob.GetAll(static_cast<int>(bob)), 0);
    ASSERT_EQ(forBob.Count(), 2);
    EXPECT_NE(forBob.Repo(L"direct"), nullptr);
    EXPECT_NE(forBob.Repo(L"byrole"), nullptr);

    DRM::DocRepos forCreator;
    Connect(forCreator);
    ASSERT_EQ(forCreator.GetAll(1), 0);
    ASSERT_EQ(forCreator.Count(), 1);
    EXPECT_EQ(forCreator.Repo(0)->id(), mine);

    DRM::DocRepos forEve;
    Connect(forEve);
    EXPECT_EQ(forEve.GetAll(static_cast<int>(eve)), 0);
    EXPECT_EQ(forEve.Count(), 0);
}

TEST_F(RepoIntegration, OverlapIsJudgedPerFileServerByTextContainment) {
    CreateRepo(L"ten", L"D:\\repo10", rootA_);
    {
        auto repo = NewRepo(L"one", L"D:\\repo1", rootA_);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo->ErrNumber(), 0);
        EXPECT_FALSE(fs::exists(rootA_ / "D" / "repo1"));
    }
    // Another server may use the same directory texts.
    CreateRepo(L"one on B", L"D:\\repo1", rootB_);
    {
        auto repo = NewRepo(L"ten on B", L"D:\\repo10", rootB_);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_FALSE(fs::exists(rootB_ / "D" / "repo10"));
    }
    {
        auto repo = NewRepo(L"root", L"", rootA_);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo->ErrNumber(), 49610);
    }
    {
        // The same tree as "ten", spelled past the text comparison.
        auto repo = NewRepo(L"ten again", L"D:\\.\\repo10", rootA_);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo->ErrNumber(), 49610);
        DRM::DocRepos all;
        Connect(all);
        ASSERT_EQ(all.GetAll(), 0);
        EXPECT_EQ(all.Repo(L"ten again"), nullptr);
    }
    {
        // A row left with an empty directory blocks its whole server.
        const fs::path rootC = tmp_ / "rootC";
        fs::create_directories(rootC);
        Insert(L"QV_DMRepo", {},
               {{L"Name", L"legacy"}, {L"Server", ServerOf(rootC)}, {L"Directory", L""}});
        auto repo = NewRepo(L"new", L"E:\\new", rootC);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
    }
}

TEST_F(RepoIntegration, FailuresLeaveEverythingAsItWas) {
    {
        SCOPED_TRACE("unknown id");
        DRM::DocRepo repo(3, L"mine", ServerOf(rootA_), 0, L"D:\\mine", 4);
        Connect(repo);
        EXPECT_EQ(repo.Read(12345), 49609);
        EXPECT_EQ(repo.ErrDesc(), L"DocRepoId  无效");
        EXPECT_EQ(repo.name(), L"mine");
        EXPECT_EQ(repo.versionStraId(), 4);
    }
    {
        SCOPED_TRACE("no database");
        auto repo = NewRepo(L"x", L"D:\\x", rootA_);
        ASSERT_EQ(repo->Connect(L"nosuchscheme:" + fs::path(tmp_).wstring(), 0, L"QVData", L""), 0);
        EXPECT_FALSE(repo->IsConnected());
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo->ErrNumber(), 49600);
        EXPECT_FALSE(fs::exists(rootA_ / "D"));
    }
    {
        SCOPED_TRACE("directory cannot be made");
        // A file where the repository folder should go.
        fs::create_directories(rootA_ / "D");
        std::ofstream(rootA_ / "D" / "blocked") << "x";
        auto repo = NewRepo(L"blocked", L"D:\\blocked", rootA_);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kDirFailed);
        EXPECT_NE(repo->ErrNumber(), 0);
        DRM::DocRepos all;
        Connect(all);
        ASSERT_EQ(all.GetAll(), 0);
        EXPECT_EQ(all.Count(), 0);
    }
    {
        SCOPED_TRACE("an object naming another directory removes no rows");
        const int id = CreateRepo(L"kept", L"D:\\kept", rootA_, 1);
        DRM::DocRepo repo;
        Connect(repo);
        ASSERT_EQ(repo.Read(id), 0);
        repo.set_nfsRootDir(L"D:\\never");
        EXPECT_EQ(repo.Delete(), 50002);
        EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", id), 1);
        EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", id), 1);
        EXPECT_TRUE(fs::is_directory(rootA_ / "D" / "kept" / "trunk"));
    }
}

// A store statement that fails on purpose, through a trigger.
class RepoDeleteRetry : public RepoIntegration {
protected:
    void Block(const std::wstring& table) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ASSERT_EQ(raw_->ExecuteSql(rs,
                                   L"CREATE TRIGGER block_delete BEFORE DELETE ON " + table +
                                       L" BEGIN SELECT RAISE(ABORT, 'blocked'); END",
                                   ZUBDB::QVParams(false), L"", 0, 0),
                  0)
            << Text(raw_->errDescription());
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
    void Unblock() {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ASSERT_EQ(
            raw_->ExecuteSql(rs, L"DROP TRIGGER block_delete", ZUBDB::QVParams(false), L"", 0, 0),
            0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
};

TEST_F(RepoDeleteRetry, ADeleteWhoseRowsFailedCanBeFinishedLater) {
    const int id = CreateRepo(L"Parts", L"D:\\repo1", rootA_, 1);
    Insert(L"QV_DMDoc", {{L"DocRepoId", id}}, {{L"Name", L"a"}});
    const fs::path tree = rootA_ / "D" / "repo1";

    Block(L"QV_DMRepo");
    DRM::DocRepo repo;
    Connect(repo);
    ASSERT_EQ(repo.Read(id), 0);
    EXPECT_NE(repo.Delete(), 0);
    EXPECT_NE(repo.ErrDesc().find(L"blocked"), std::wstring::npos) << Text(repo.ErrDesc());
    // The tree went first; the rows were rolled back together.
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", id), 1);
    EXPECT_EQ(Count(L"QV_DMDoc", L"DocRepoId", id), 1);
    EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", id), 1);

    Unblock();
    DRM::DocRepo again;
    Connect(again);
    ASSERT_EQ(again.Read(id), 0);
    EXPECT_EQ(again.Delete(), 0) << Text(again.ErrDesc());
    EXPECT_EQ(again.ErrNumber(), 0);
    EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", id), 0);
    EXPECT_EQ(Count(L"QV_DMDoc", L"DocRepoId", id), 0);
    EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", id), 0);

    // Once everything is gone there is nothing left to finish.
    EXPECT_EQ(again.Delete(), 50002);
}

TEST_F(RepoDeleteRetry, ATreeRemovedByHandStillLetsTheRepositoryBeDeleted) {
    const int id = CreateRepo(L"Parts", L"D:\\repo1", rootA_, 1);
    const int other = CreateRepo(L"Other", L"D:\\other", rootA_, 1);
    fs::remove_all(rootA_ / "D" / "repo1");
    DRM::DocRepo repo;
    Connect(repo);
    ASSERT_EQ(repo.Read(id), 0);
    EXPECT_EQ(repo.Delete(), 0);
    EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", id), 0);
    EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", other), 1);
    EXPECT_TRUE(fs::is_directory(rootA_ / "D" / "other" / "trunk"));
}

TEST_F(RepoIntegration, PermissionsSaveSelectAndDelete) {
    const long long bob = Insert(L"QV_User", {}, {{L"UserName", L"bob"}});
    const long long designers = Insert(L"QV_Role", {}, {{L"RoleName", L"designers"}});
    Insert(L"QV_UserRole", {{L"UserId", bob}, {L"RoleId", designers}});
    const int r1 = CreateRepo(L"r1", L"D:\\r1", rootA_);
    const int r2 = CreateRepo(L"r2", L"D:\\r2", rootA_);

    DRM::DocRepoAuth one(0, r1, static_cast<int>(bob), 0, 1, 1, 0, 0, L"");
    Connect(one);
    ASSERT_EQ(one.Save(), 0);
    EXPECT_GT(one.id(), 0);
    EXPECT_EQ(Count(L"QV_DMAuth", L"authId", one.id()), 1);
    // The same values again: the new row's id, not the first one's.
    DRM::DocRepoAuth twin(one);
    ASSERT_EQ(twin.Save(), 0);
    EXPECT_GT(twin.id(), one.id());

    DRM::DocRepoAuths set;
    Connect(set);
    set.Add(new DRM::DocRepoAuth(0, r1, 0, static_cast<int>(designers), 0, 1, 1, 0, L""));
    set.Add(new DRM::DocRepoAuth(0, r2, 0, static_cast<int>(designers), 0, 1, 1, 1, L""));
    ASSERT_EQ(set.Save(), 0);
    EXPECT_EQ(set.Count(), 0);

    {
        SCOPED_TRACE("a repository's rows with names");
        DRM::DocRepoAuths rows(DRM::filterForDocRepoAuth{r1});
        Connect(rows);
        ASSERT_EQ(rows.Select(), 0);
        ASSERT_EQ(rows.Count(), 3);
        std::vector<std::wstring> names;
        for (int i = 0; i < rows.Count(); ++i) names.push_back(rows.Auth(i)->roleOrUser_Name());
        EXPECT_THAT(names, UnorderedElementsAre(L"bob", L"bob", L"designers"));
        EXPECT_EQ(rows.Auth(std::to_wstring(r1))->docRepoId(), r1);
    }
    {
        SCOPED_TRACE("effective rights of a user");
        DRM::DocRepoAuths rights;
        Connect(rights);
        ASSERT_EQ(rights.Select(static_cast<int>(bob)), 0);
        ASSERT_EQ(rights.Count(), 2);
        const DRM::DocRepoAuth* onR1 = rights.Auth(std::to_wstring(r1));
        const DRM::DocRepoAuth* onR2 = rights.Auth(std::to_wstring(r2));
        ASSERT_NE(onR1, nullptr);
        ASSERT_NE(onR2, nullptr);
        // Own read-only rows combined with the role's write.
        EXPECT_EQ(onR1->read(), 1);
        EXPECT_EQ(onR1->write(), 1);
        EXPECT_EQ(onR1->manage(), 0);
        EXPECT_EQ(onR2->manage(), 1);
        EXPECT_EQ(onR2->userId(), bob);
        EXPECT_EQ(onR2->byRoleOrByUser(), 1);

        DRM::DocRepoAuths nobody;
        Connect(nobody);
        EXPECT_EQ(nobody.Select(999), 0);
        EXPECT_EQ(nobody.Count(), 0);
    }
    {
        SCOPED_TRACE("delete a repository's rows");
        DRM::DocRepoAuths rows(DRM::filterForDocRepoAuth{r1});
        Connect(rows);
        ASSERT_EQ(rows.Delete(), 0);
        EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", r1), 0);
        EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", r2), 1);
        EXPECT_EQ(rows.Select(), 49608);
        EXPECT_EQ(rows.Count(), 0);
    }
}

TEST_F(RepoIntegration, PermissionSetIsSavedWholeOrNotAtAll) {
    const int r1 = CreateRepo(L"r1", L"D:\\r1", rootA_);
    DRM::DocRepoAuths set;
    Connect(set);
    set.Add(new DRM::DocRepoAuth(0, r1, 1, 0, 1, 1, 1, 1, L""));
    set.Add(new DRM::DocRepoAuth(0, r1, 2, 0, 1, 1, 0, 0, L""));
    set.Add(new DRM::DocRepoAuth(0, 424242, 3, 0, 1, 1, 0, 0, L""));  // no such repository
    EXPECT_NE(set.Save(), 0);
    EXPECT_NE(set.ErrDesc(), L"");
    EXPECT_EQ(set.Count(), 0);
    EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", r1), 0);

    // The connection is usable afterwards and nothing half-done reappears.
    set.Add(new DRM::DocRepoAuth(0, r1, 5, 0, 1, 1, 0, 0, L""));
    EXPECT_EQ(set.Save(), 0);
    EXPECT_EQ(Count(L"QV_DMAuth", L"DocRepoId", r1), 1);
}

TEST_F(RepoIntegration, VersionStrategyReadUpdateAndSave) {
    DRM::VersionStra vs;
    Connect(vs);
    ASSERT_EQ(vs.Read(1), 0);
    EXPECT_EQ(vs.seriaNumStra(), 2);
    EXPECT_EQ(vs.begin_Main(), 1);
    EXPECT_EQ(vs.begin_Sub(), 0);
    EXPECT_EQ(vs.newDocBeginNum(), 0);

    DRM::VersionStra missing(1, 7, 7, 7, 7, 7, 5);
    Connect(missing);
    EXPECT_EQ(missing.Read(99), 0);
    EXPECT_EQ(missing.ErrNumber(), 0);
    EXPECT_EQ(missing.begin_Main(), 7);
    EXPECT_EQ(missing.versionStraId(), 5);

    const long long second = Insert(L"QV_DMVerStrategy", {{L"SeriaNumStra", 1}});
    vs.set_begin_Sub(3);
    vs.set_docAdvScope(9);
    ASSERT_EQ(vs.Update(), 0);
    DRM::VersionStra check;
    Connect(check);
    ASSERT_EQ(check.Read(1), 0);
    EXPECT_EQ(check.begin_Sub(), 3);
    EXPECT_EQ(check.docAdvScope(), 9);
    ASSERT_EQ(check.Read(static_cast<int>(second)), 0);
    EXPECT_EQ(check.seriaNumStra(), 1);
    EXPECT_EQ(check.begin_Sub(), 0);  // Update touched only its own row

    DRM::VersionStra all(1, 2, 4, 1, 6, 8, 1);
    Connect(all);
    ASSERT_EQ(all.Save(), 0);
    for (int id : {1, static_cast<int>(second)}) {
        SCOPED_TRACE(id);
        DRM::VersionStra row;
        Connect(row);
        ASSERT_EQ(row.Read(id), 0);
        EXPECT_EQ(row.versionStraId(), id);
        EXPECT_EQ(row.seriaNumStra(), 1);
        EXPECT_EQ(row.begin_Main(), 2);
        EXPECT_EQ(row.begin_Sub(), 4);
        EXPECT_EQ(row.newDocBeginNum(), 1);
        EXPECT_EQ(row.docAdvScope(), 6);
        EXPECT_EQ(row.createBSLNAdv(), 8);
    }
    EXPECT_EQ(CountAll(L"QV_DMVerStrategy"), 2);  // no row inserted
}

// Runs body(writer) in two processes that start together; each writes what
// it reports (ints) into a pipe, collected here after both ended well.
template <class Body>
std::vector<int> RunTwoWriters(Body body) {
    int go[2];
    int results[2];
    EXPECT_EQ(::pipe(go), 0);
    EXPECT_EQ(::pipe(results), 0);
    std::vector<pid_t> children;
    for (int writer = 1; writer <= 2; ++writer) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(go[1]);
            ::close(results[0]);
            char c;
            // Start together so the inserts interleave.
            if (::read(go[0], &c, 1) != 0) ::_exit(3);
            const std::vector<int> ids = body(writer);
            const auto bytes = static_cast<ssize_t>(ids.size() * sizeof(int));
            ::_exit(::write(results[1], ids.data(), ids.size() * sizeof(int)) == bytes ? 0 : 4);
        }
        EXPECT_GE(pid, 0);
        children.push_back(pid);
    }
    ::close(go[0]);
    ::close(results[1]);
    ::close(go[1]);  // releases both writers
    std::vector<int> all;
    int id = 0;
    while (::read(results[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id)) all.push_back(id);
    ::close(results[0]);
    for (pid_t pid : children) {
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    return all;
}

// A connection of the store through which another client inserts right
// after each successful commit, i.e. between our insert and its max() read-back.
class InterleavingAccessor : public ZUBDB::CDBAccessor {
public:
    using Intrusion = std::function<void(ZUBDB::CDBAccessor&)>;
    static inline std::wstring locator;
    static inline Intrusion intrusion;

    explicit InterleavingAccessor(const std::wstring& database)
        : own_(Make(database)), other_(Make(database)) {}
    bool Usable() const { return own_ && other_; }

    int InsertRow(const std::wstring& t, const ZUBDB::QVParams& v, const std::wstring& a,
                  const std::wstring& b) override {
        return Pass(own_->InsertRow(t, v, a, b));
    }
    int UpdateRows(const std::wstring& t, const ZUBDB::QVParams& v, const ZUBDB::QVParams& c,
                   const std::wstring& a, const std::wstring& b) override {
        return Pass(own_->UpdateRows(t, v, c, a, b));
    }
    int DeleteRows(const std::wstring& t, const ZUBDB::QVParams& c, const std::wstring& a,
                   const std::wstring& b) override {
        return Pass(own_->DeleteRows(t, c, a, b));
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& t,
                   const std::wstring& cols, const ZUBDB::QVParams& c, const std::wstring& o,
                   const std::wstring& a, const std::wstring& b, int n1, int n2) override {
        return Pass(own_->SelectRows(out, t, cols, c, o, a, b, n1, n2));
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& sql,
                   const ZUBDB::QVParams& p, const std::wstring& a, int n1, int n2) override {
        return Pass(own_->ExecuteSql(out, sql, p, a, n1, n2));
    }
    int BeginTrans() override { return Pass(own_->BeginTrans()); }
    int CommitTrans() override {
        const int rc = Pass(own_->CommitTrans());
        if (rc == 0 && intrusion) intrusion(*other_);
        return rc;
    }
    int RollbackTrans() override { return Pass(own_->RollbackTrans()); }
    long long LastInsertId() const override { return own_->LastInsertId(); }

private:
    static std::unique_ptr<ZUBDB::CDBAccessor> Make(const std::wstring& database) {
        return ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(locator, 0, database, L""), L"");
    }
    int Pass(int rc) {
        if (rc != 0) SetError(own_->errNumber(), own_->errDescription());
        return rc;
    }

    std::unique_ptr<ZUBDB::CDBAccessor> own_;
    std::unique_ptr<ZUBDB::CDBAccessor> other_;
};

class RepoInterleaving : public RepoIntegration {
protected:
    void SetUp() override {
        RepoIntegration::SetUp();
        InterleavingAccessor::locator = locator_;
        ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
            L"interleave", [](const ZUBDB::QVSvrInfo& server, const std::wstring&) {
                auto accessor = std::make_unique<InterleavingAccessor>(server.database());
                return accessor->Usable() ? std::unique_ptr<ZUBDB::CDBAccessor>(std::move(accessor))
                                          : nullptr;
            });
    }
    void TearDown() override {
        ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"interleave");
        InterleavingAccessor::intrusion = nullptr;
        RepoIntegration::TearDown();
    }
    template <class T>
    void ConnectInterleaved(T& bo) {
        ASSERT_EQ(bo.Connect(L"interleave:", 0, L"QVData", L""), 0);
        ASSERT_TRUE(bo.IsConnected());
    }
};

TEST_F(RepoInterleaving, AnInsertBetweenCommitAndReadBackDoesNotStealTheNewId) {
    const int repoId = CreateRepo(L"shared", L"D:\\shared", rootA_);
    const std::wstring intruderServer = ServerOf(rootB_);
    int intrusions = 0;
    InterleavingAccessor::intrusion = [&](ZUBDB::CDBAccessor& other) {
        // Another client's repository, and a permission row equal to ours.
        ZUBDB::QVParams repo(false);
        repo.AddParam(0, L"Name", L"intruder " + std::to_wstring(++intrusions), false, false, L"=");
        repo.AddParam(1, L"Server", intruderServer, false, false, L"=");
        ASSERT_EQ(other.InsertRow(L"QV_DMRepo", repo, L"", L""), 0);
        ZUBDB::QVParams auth(false);
        long pos = 0;
        const std::pair<const wchar_t*, long long> equal[] = {
            {L"DocRepoId", repoId}, {L"UserOrRole", 1}, {L"UserId", 1}, {L"RoleId", 0},
            {L"[Read]", 1},         {L"Write", 1},      {L"Manage", 1}};
        for (const auto& [col, value] : equal) auth.AddParam(pos++, col, value, false, L"=");
        ASSERT_EQ(other.InsertRow(L"QV_DMAuth", auth, L"", L""), 0);
        ASSERT_EQ(other.CommitTrans(), 0);
    };

    DRM::DocRepo mine;
    ConnectInterleaved(mine);
    mine.set_name(L"mine");
    mine.set_nfsServer(ServerOf(rootA_));
    mine.set_nfsRootDir(L"D:\\mine");
    ASSERT_EQ(mine.Create(), 0);
    DRM::DocRepo back;
    Connect(back);
    ASSERT_EQ(back.Read(mine.id()), 0);
    EXPECT_EQ(back.name(), L"mine");

    DRM::DocRepoAuth auth(0, repoId, 1, 0, 1, 1, 1, 1, L"");
    ConnectInterleaved(auth);
    ASSERT_EQ(auth.Save(), 0);
    InterleavingAccessor::intrusion = nullptr;
    // The intruder's equal row is the newest; ours is the one before it.
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", repoId, false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ASSERT_EQ(raw_->SelectRows(rs, L"QV_DMAuth", L"max(authId)", cond, L"", L"", L"", 0, 0), 0);
    EXPECT_EQ(auth.id(), rs->GetIntAt(0) - 1);
}

// The same for repositories created end to end.
TEST_F(RepoIntegration, ConcurrentCreatorsEachGetTheirOwnRepository) {
    constexpr int kPerWriter = 10;
    const std::wstring locator = locator_;
    const std::wstring server = ServerOf(rootA_);
    const std::vector<int> bad = RunTwoWriters([&](int writer) {
        std::vector<int> failures;
        for (int i = 0; i < kPerWriter; ++i) {
            wchar_t name[32];
            std::swprintf(name, 32, L"w%d_%02d", writer, i);
            DRM::DocRepo repo;
            repo.Connect(locator, 0, L"QVData", L"");
            repo.set_name(name);
            repo.set_nfsServer(server);
            repo.set_nfsRootDir(std::wstring(L"D:\\") + name);
            DRM::DocRepo back;
            back.Connect(locator, 0, L"QVData", L"");
            if (repo.Create() != 0 || back.Read(repo.id()) != 0 || back.name() != name)
                failures.push_back(i);
        }
        return failures;
    });
    EXPECT_THAT(bad, ::testing::IsEmpty());
    DRM::DocRepos all;
    Connect(all);
    ASSERT_EQ(all.GetAll(), 0);
    EXPECT_EQ(all.Count(), 2 * kPerWriter);
}

}  // namespace

}  // namespace zub::docvault::test
