// Contract tests of DRM::DocRepo and DRM::DocRepos against the recording
// database and file server: the statements, their order and the failure paths.
#include "docvault/docrepo.h"
#include "docvault/errors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "docvault/doc.h"
#include "docvault/docrepos.h"
#include "recording_db.h"
#include "recording_nfs.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The file-server login reads QV_SysInfo through an accessor of its own; the
// repository's own statements are what these tests fix.
std::vector<std::wstring> RepoLines(const RecordingDb& db) {
    std::vector<std::wstring> lines;
    for (const auto& line : db.Lines())
        if (line.find(L"QV_SysInfo") == std::wstring::npos) lines.push_back(line);
    return lines;
}

std::vector<std::wstring> NfsLines(const RecordingNfs& nfs) {
    std::vector<std::wstring> lines;
    for (const auto& line : nfs.calls)
        if (line.rfind(L"logIn", 0) != 0) lines.push_back(line);
    return lines;
}

// Rows of other repositories on the same file server.
ZUBDB::CDBRecordset Directories(std::vector<std::wstring> dirs) {
    std::vector<std::vector<ZUBDB::DBValue>> rows;
    for (auto& d : dirs)
        rows.push_back({ZUBDB::DBValue(L"other " + std::to_wstring(rows.size())),
                        ZUBDB::DBValue(std::wstring(L"recfs:")), ZUBDB::DBValue(0LL),
                        ZUBDB::DBValue(std::move(d))});
    return MakeRs({L"Name", L"Server", L"Port", L"Directory"}, std::move(rows));
}

// Delete first reads every row: no other repository's tree may be removed.
constexpr const wchar_t* kSharedCheck =
    L"SelectRows QV_DMRepo (DocRepoId,Name,Server,Port,Directory)";
ZUBDB::CDBRecordset NoOtherRepository() {
    return MakeRs({L"DocRepoId", L"Name", L"Server", L"Port", L"Directory"}, {});
}

ZUBDB::CDBRecordset MaxId(long long id) { return MakeRs({L"max"}, {{ZUBDB::DBValue(id)}}); }

class DocRepoContract : public ::testing::Test {
protected:
    void SetUp() override { InstallFakes(); }

    // Fresh recording fakes, for each case of a table-driven test.
    void InstallFakes() {
        db_ = &RecordingDb::Install();
        nfs_ = &RecordingNfs::Install();
    }

    // A repository as a caller fills it before Create.
    void Prepare(DRM::DocRepo& repo, const std::wstring& dir = L"D:\\repo1") {
        ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
        repo.set_name(L"r1");
        repo.set_nfsServer(L"recfs:");
        repo.set_port(0);
        repo.set_nfsRootDir(dir);
        repo.set_versionStraId(2);
    }

    // A repository as Read leaves it.
    void Stored(DRM::DocRepo& repo) {
        ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
        repo.set_id(5);
        repo.set_name(L"r1");
        repo.set_nfsServer(L"recfs:");
        repo.set_nfsRootDir(L"D:\\repo1");
    }

    RecordingDb* db_ = nullptr;
    RecordingNfs* nfs_ = nullptr;
};

TEST(DocRepoMembers, DefaultAndFullConstructors) {
    DRM::DocRepo empty;
    EXPECT_EQ(empty.id(), 0);
    EXPECT_EQ(empty.versionStraId(), 1);
    EXPECT_EQ(empty.creator(), 0);
    EXPECT_EQ(empty.createdTime(), 0.0);
    EXPECT_TRUE(empty.GetKey().empty());

    DRM::DocRepo full(4, L"Parts", L"file:/srv", 21, L"D:\\parts", 3);
    EXPECT_EQ(full.id(), 4);
    EXPECT_EQ(full.name(), L"Parts");
    EXPECT_EQ(full.nfsServer(), L"file:/srv");
    EXPECT_EQ(full.nfsPort(), 21);
    EXPECT_EQ(full.nfsRootDir(), L"D:\\parts");
    EXPECT_EQ(full.versionStraId(), 3);
    EXPECT_EQ(full.creator(), 0);
    EXPECT_TRUE(full.creatorName().empty());
    EXPECT_EQ(full.GetKey(), L"Parts");

    // Renaming does not re-key: the collection index would go stale otherwise.
    full.set_name(L"Other");
    EXPECT_EQ(full.GetKey(), L"Parts");
    DRM::DocRepo copy(full);
    EXPECT_EQ(copy.name(), L"Other");
    EXPECT_EQ(copy.GetKey(), L"Parts");
}

TEST_F(DocRepoContract, CreateChecksMakesFourDirectoriesThenInsertsTheRow) {
    DRM::DocRepo repo;
    Prepare(repo);
    db_->OnSelect(L"QV_DMRepo", Directories({L"E:\\other"}));
    db_->OnSelect(L"QV_DMRepo", MaxId(7));

    EXPECT_EQ(repo.Create(), DRM::DocRepo::kCreated);
    EXPECT_EQ(repo.id(), 7);
    EXPECT_EQ(repo.ErrNumber(), 0);
    // The check and the insert are one transaction.
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(L"BeginTrans", L"SelectRows QV_DMRepo (Name,Server,Port,Directory)",
                            L"SelectRows QV_User (UserName) where 0:UserId=0",
                            L"InsertRow QV_DMRepo 0:Name='r1' 1:Server='recfs:' 2:Port=0 "
                            L"3:Directory='D:\\repo1' 4:CreatorId=0 5:CreatorName='' "
                            L"6:CreateTime=getdate() 7:VersionStraId=2",
                            L"SelectRows QV_DMRepo (max(DocRepoId))", L"CommitTrans"));
    EXPECT_THAT(NfsLines(*nfs_), ElementsAre(L"mk D:\\repo1", L"mk D:\\repo1\\trunk",
                                             L"mk D:\\repo1\\baseline", L"mk D:\\repo1\\history"));
    // Login and directories went to the repository's own file server.
    ASSERT_FALSE(nfs_->servers.empty());
    for (const auto& server : nfs_->servers) EXPECT_EQ(server, L"recfs: 0");
}

TEST_F(DocRepoContract, CreateGivesTheCreatorFullRightsOnTheNewRepository) {
    DRM::DocRepo repo;
    Prepare(repo);
    repo.set_creator(3);
    db_->OnSelect(L"QV_User", MakeRs({L"UserName"}, {{ZUBDB::DBValue(std::wstring(L"alice"))}}));
    db_->OnSelect(L"QV_DMRepo", Directories({}));
    db_->OnSelect(L"QV_DMRepo", MaxId(9));

    EXPECT_EQ(repo.Create(), DRM::DocRepo::kCreated);
    const auto lines = RepoLines(*db_);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_THAT(lines[3], HasSubstr(L"4:CreatorId=3 5:CreatorName='alice'"));
    EXPECT_EQ(lines[5],
              L"InsertRow QV_DMAuth 0:DocRepoId=9 1:UserOrRole=0 2:UserId=3 3:RoleId=0 "
              L"4:[Read]=1 5:Write=1 6:Manage=1");
    EXPECT_EQ(lines[6], L"CommitTrans");
}

TEST_F(DocRepoContract, CreateTakesTheIdThisConnectionInsertedOverTheSelectedMax) {
    DRM::DocRepo repo;
    Prepare(repo);
    db_->lastInsertId = 12;
    db_->OnSelect(L"QV_DMRepo", Directories({}));
    db_->OnSelect(L"QV_DMRepo", MaxId(15));  // another client inserted after us
    EXPECT_EQ(repo.Create(), DRM::DocRepo::kCreated);
    EXPECT_EQ(repo.id(), 12);
}

TEST_F(DocRepoContract, OverlappingDirectoriesAreRefusedByTextContainment) {
    struct Case {
        std::wstring existing;
        std::wstring wanted;
        int result;
    };
    const std::vector<Case> cases = {
        {L"D:\\repo10", L"D:\\repo1", DRM::DocRepo::kOverlaps},
        {L"D:\\repo1", L"D:\\repo10", DRM::DocRepo::kOverlaps},
        {L"D:\\repo1", L"D:\\repo1", DRM::DocRepo::kOverlaps},
        {L"", L"D:\\repo1", DRM::DocRepo::kOverlaps},
        {L"D:\\Repo1", L"D:\\repo1", DRM::DocRepo::kCreated},  // case-sensitive
        // The file server folds drive letters: d:\repo1 is D:\repo1's tree.
        {L"d:\\repo1", L"D:\\repo1", DRM::DocRepo::kOverlaps},
        {L"D:\\repo10", L"d:\\repo1", DRM::DocRepo::kOverlaps},
        {L"d:\\repo1", L"E:\\repo1", DRM::DocRepo::kCreated},
        {L"D:\\repo2", L"D:\\repo1", DRM::DocRepo::kCreated},
        // The file server takes "D" and a leading separator as the same tree.
        {L"D:\\repo1", L"D\\repo1", DRM::DocRepo::kOverlaps},
        {L"D:\\repo1", L"\\D\\repo1", DRM::DocRepo::kOverlaps},
        {L"\\D\\repo1\\", L"D:\\repo1\\sub", DRM::DocRepo::kOverlaps},
        {L"D\\repo1", L"E\\repo1", DRM::DocRepo::kCreated},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing + L" / " + c.wanted);
        InstallFakes();
        DRM::DocRepo repo;
        Prepare(repo, c.wanted);
        db_->OnSelect(L"QV_DMRepo", Directories({L"X:\\unrelated", c.existing}));
        EXPECT_EQ(repo.Create(), c.result);
        if (c.result == DRM::DocRepo::kOverlaps) {
            // Overlap is an answer, not an error; nothing after the check runs.
            EXPECT_EQ(repo.ErrNumber(), 0);
            EXPECT_EQ(repo.ErrDesc(), L"");
            EXPECT_THAT(db_->Ops(), ElementsAre(L"BeginTrans", L"SelectRows", L"RollbackTrans"));
            EXPECT_THAT(NfsLines(*nfs_), IsEmpty());
        }
    }
}

TEST_F(DocRepoContract, RootTextsTheOverlapCheckCannotJudgeAreRefusedEvenOnAnEmptyServer) {
    // Each names a tree that an existing D:\repo1 could be spelled as.
    for (const wchar_t* dir : {L"", L"D:\\.\\repo1", L"D:\\repo1\\.", L"D:\\\\repo1", L"D:/repo1",
                               L"D:\\x\\..\\repo1"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(dir)));
        InstallFakes();
        DRM::DocRepo repo;
        Prepare(repo, dir);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo.ErrNumber(), DRM::Err::kInvalidName);
        EXPECT_EQ(repo.ErrDesc(), L"名称无效: \"" + std::wstring(dir) + L"\"");
        EXPECT_THAT(NfsLines(*nfs_), IsEmpty());
        EXPECT_THAT(db_->Ops(), ElementsAre(L"BeginTrans", L"RollbackTrans"));
    }
    // Closing separators and a share prefix are plain spellings.
    for (const wchar_t* dir : {L"\\repos\\demo\\", L"\\\\server\\share\\r1"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(dir)));
        InstallFakes();
        DRM::DocRepo repo;
        Prepare(repo, dir);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kCreated);
        EXPECT_EQ(repo.ErrNumber(), 0);
    }
}

TEST_F(DocRepoContract, CreateReportsTheFailingStep) {
    {
        SCOPED_TRACE("check fails");
        DRM::DocRepo repo;
        Prepare(repo);
        db_->FailOn(L"SelectRows", 1, 2601, L"no table");
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo.ErrNumber(), 2601);
        EXPECT_EQ(repo.ErrDesc(), L"no table");
        EXPECT_THAT(NfsLines(*nfs_), IsEmpty());
    }
    {
        SCOPED_TRACE("second directory fails; the first stays");
        InstallFakes();
        nfs_->FailOn(L"mk", 2, 5003, L"disk full");
        DRM::DocRepo repo;
        Prepare(repo);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kDirFailed);
        EXPECT_EQ(repo.ErrNumber(), 5003);
        EXPECT_THAT(repo.ErrDesc(), HasSubstr(L"disk full"));
        EXPECT_THAT(NfsLines(*nfs_), ElementsAre(L"mk D:\\repo1", L"mk D:\\repo1\\trunk"));
        EXPECT_THAT(RepoLines(*db_),
                    ElementsAre(L"BeginTrans", HasSubstr(L"(Name,Server,Port,Directory)"),
                                L"RollbackTrans"));
    }
    {
        SCOPED_TRACE("insert fails");
        InstallFakes();
        db_->FailOn(L"InsertRow", 1, 515, L"null column");
        DRM::DocRepo repo;
        Prepare(repo);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kRowFailed);
        EXPECT_EQ(repo.ErrNumber(), 515);
        EXPECT_EQ(repo.id(), 0);
        EXPECT_EQ(db_->Ops().back(), L"RollbackTrans");
        EXPECT_EQ(NfsLines(*nfs_).size(), 4u);  // directories are not undone
    }
    {
        SCOPED_TRACE("commit fails and is rolled back");
        InstallFakes();
        db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
        DRM::DocRepo repo;
        Prepare(repo);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kRowFailed);
        EXPECT_EQ(repo.ErrNumber(), 1205);
        EXPECT_EQ(repo.ErrDesc(), L"deadlock");
        const auto ops = db_->Ops();
        ASSERT_GE(ops.size(), 2u);
        EXPECT_EQ(ops[ops.size() - 2], L"CommitTrans");
        EXPECT_EQ(ops.back(), L"RollbackTrans");
    }
    {
        SCOPED_TRACE("the creator's rights fail");
        InstallFakes();
        db_->FailOn(L"InsertRow", 2, 547, L"foreign key");
        DRM::DocRepo repo;
        Prepare(repo);
        repo.set_creator(3);
        db_->OnSelect(L"QV_DMRepo", Directories({}));
        db_->OnSelect(L"QV_DMRepo", MaxId(9));
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kRowFailed);
        EXPECT_EQ(repo.ErrNumber(), 547);
        // The repository row goes with its rights: no half-made repository.
        const auto ops = db_->Ops();
        EXPECT_EQ(ops.back(), L"RollbackTrans");
        EXPECT_EQ(std::count(ops.begin(), ops.end(), L"CommitTrans"), 0);
    }
}

TEST_F(DocRepoContract, WithoutAccessorEveryOperationRecords49600AndCallsNothing) {
    db_->createNull = true;
    DRM::DocRepo repo;
    ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    repo.set_nfsServer(L"recfs:");
    repo.set_nfsRootDir(L"D:\\repo1");
    db_->createNull = false;

    EXPECT_EQ(repo.Create(), DRM::DocRepo::kOverlaps);
    EXPECT_EQ(repo.ErrNumber(), 49600);
    EXPECT_EQ(repo.ErrDesc(), L"远程数据库未连接");
    EXPECT_EQ(repo.Read(5), 49600);
    EXPECT_EQ(repo.updateBaseInfo(), 49600);
    EXPECT_EQ(repo.SaveVersionStra(), 49600);
    EXPECT_EQ(repo.Delete(), 49600);
    EXPECT_EQ(repo.BackUp(L"/tmp/out"), 49600);
    EXPECT_EQ(repo.GetNextMainVersion(), L"");
    EXPECT_EQ(repo.ErrNumber(), 49600);

    DRM::DocRepos repos;
    EXPECT_EQ(repos.GetAll(), 49600);
    EXPECT_EQ(repos.GetAll(3), 49600);

    EXPECT_THAT(db_->calls, IsEmpty());
    EXPECT_THAT(nfs_->calls, IsEmpty());
}

TEST_F(DocRepoContract, ReadSelectsTheRowAndFillsTheMembers) {
    DRM::DocRepo repo;
    ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    repo.set_desc(L"kept");
    db_->OnSelect(L"QV_DMRepo",
                  MakeRs({L"DocRepoId", L"VersionStraId", L"Name", L"Server", L"Port", L"Directory",
                          L"CreatorId", L"CreatorName", L"CreateTime"},
                         {{5LL, 2LL, std::wstring(L"r1"), std::wstring(L"file:/srv"), 8080LL,
                           std::wstring(L"D:\\repo1"), 3LL, std::wstring(L"alice"), 45000.25}}));

    EXPECT_EQ(repo.Read(5), 0);
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(L"SelectRows QV_DMRepo (DocRepoId,VersionStraId,[Name],[Server],Port,"
                            L"Directory,CreatorId,CreatorName,CreateTime) where 0:DocRepoId=5"));
    EXPECT_EQ(repo.id(), 5);
    EXPECT_EQ(repo.versionStraId(), 2);
    EXPECT_EQ(repo.name(), L"r1");
    EXPECT_EQ(repo.nfsServer(), L"file:/srv");
    EXPECT_EQ(repo.nfsPort(), 8080);
    EXPECT_EQ(repo.nfsRootDir(), L"D:\\repo1");
    EXPECT_EQ(repo.creator(), 3);
    EXPECT_EQ(repo.creatorName(), L"alice");
    EXPECT_DOUBLE_EQ(repo.createdTime(), 45000.25);
    EXPECT_EQ(repo.desc(), L"kept");
    EXPECT_TRUE(repo.GetKey().empty());
}

TEST_F(DocRepoContract, ReadOfAnUnknownIdRecords49609AndKeepsTheMembers) {
    DRM::DocRepo repo(3, L"mine", L"recfs:", 1, L"D:\\mine", 4);
    ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(repo.Read(99), 49609);
    EXPECT_EQ(repo.ErrNumber(), 49609);
    EXPECT_EQ(repo.ErrDesc(), L"DocRepoId  无效");
    EXPECT_EQ(repo.id(), 3);
    EXPECT_EQ(repo.name(), L"mine");
    EXPECT_EQ(repo.nfsRootDir(), L"D:\\mine");
    EXPECT_EQ(repo.versionStraId(), 4);

    db_->FailOn(L"SelectRows", 2, 208, L"invalid object");
    EXPECT_EQ(repo.Read(3), 208);
    EXPECT_EQ(repo.ErrDesc(), L"invalid object");
}

// A name with a control character is refused before the database, as at creation.
TEST_F(DocRepoContract, RenameRefusesControlCharacters) {
    for (const wchar_t* bad : {L"a\tb", L"esc\x1b[2J", L"nl\n", L"del\x7f"}) {
        DRM::DocRepo repo;
        Stored(repo);
        repo.set_name(bad);
        EXPECT_EQ(repo.updateBaseInfo(), 49610);
        EXPECT_EQ(repo.ErrNumber(), 49610);
        EXPECT_TRUE(RepoLines(*db_).empty());
    }
}

TEST_F(DocRepoContract, RenameAndStrategyUpdateOneRowEach) {
    DRM::DocRepo repo;
    Stored(repo);
    repo.set_name(L"renamed");
    repo.set_versionStraId(3);
    EXPECT_EQ(repo.updateBaseInfo(), 0);
    EXPECT_EQ(repo.SaveVersionStra(), 0);
    EXPECT_THAT(
        RepoLines(*db_),
        ElementsAre(L"UpdateRows QV_DMRepo 0:Name='renamed' where 0:DocRepoId=5", L"CommitTrans",
                    L"UpdateRows QV_DMRepo 0:VersionStraId=3 where 0:DocRepoId=5", L"CommitTrans"));

    db_->FailOn(L"UpdateRows", 3, 547, L"constraint");
    EXPECT_EQ(repo.SaveVersionStra(), 547);
    EXPECT_EQ(db_->Ops().back(), L"UpdateRows");  // no commit after a failed update

    // A commit that fails leaves nothing pending for the next one.
    db_->FailOn(L"CommitTrans", 3, 1205, L"deadlock");
    db_->FailOn(L"CommitTrans", 4, 1205, L"deadlock");
    EXPECT_EQ(repo.updateBaseInfo(), 1205);
    EXPECT_EQ(db_->Ops().back(), L"RollbackTrans");
    EXPECT_EQ(repo.SaveVersionStra(), 1205);
    EXPECT_EQ(repo.ErrDesc(), L"deadlock");
    EXPECT_EQ(db_->Ops().back(), L"RollbackTrans");
}

TEST_F(DocRepoContract, DeleteRemovesTheTreeThenTheRowsInOneUnit) {
    DRM::DocRepo repo;
    Stored(repo);
    EXPECT_EQ(repo.Delete(), 0);
    EXPECT_THAT(NfsLines(*nfs_), ElementsAre(L"rm D:\\repo1"));
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(kSharedCheck, L"DeleteRows QV_DMBaseline where 0:DocRepoId=5",
                            L"DeleteRows QV_DMDoc where 0:DocRepoId=5",
                            L"DeleteRows QV_DMAuth where 0:DocRepoId=5",
                            L"DeleteRows QV_DMRepo where 0:DocRepoId=5", L"CommitTrans"));
    // The object stays as it was.
    EXPECT_EQ(repo.id(), 5);
    EXPECT_EQ(repo.nfsRootDir(), L"D:\\repo1");
}

TEST_F(DocRepoContract, DeleteNeverRemovesATreeAnotherRowReaches) {
    struct Case {
        const wchar_t* server;
        const wchar_t* dir;
        bool refused;
    };
    for (const Case& c : {
             Case{L"recfs:", L"D:\\repo1", true},
             Case{L"recfs:", L"d:/repo1/", true},
             Case{L"recfs:", L"D:\\repo1\\trunk\\sub", true},
             Case{L"recfs:", L"D:\\", true},
             Case{L"recfs:", L"D:\\repo10", false},
             Case{L"recfs:other", L"D:\\repo1", false},
         }) {
        SCOPED_TRACE(zub::WideToUtf8(std::wstring(c.server) + L" " + c.dir));
        InstallFakes();
        db_->OnSelect(L"QV_DMRepo",
                      MakeRs({L"DocRepoId", L"Name", L"Server", L"Port", L"Directory"},
                             {{5LL, std::wstring(L"r1"), std::wstring(L"recfs:"), 0LL,
                               std::wstring(L"D:\\repo1")},
                              {6LL, std::wstring(L"neighbour"), std::wstring(c.server), 0LL,
                               std::wstring(c.dir)}}));
        DRM::DocRepo repo;
        Stored(repo);
        if (c.refused) {
            EXPECT_EQ(repo.Delete(), DRM::Err::kTreeShared);
            EXPECT_THAT(repo.ErrDesc(), HasSubstr(L"neighbour"));
            EXPECT_THAT(NfsLines(*nfs_), IsEmpty());
            EXPECT_THAT(RepoLines(*db_), ElementsAre(kSharedCheck));
        } else {
            EXPECT_EQ(repo.Delete(), 0) << zub::WideToUtf8(repo.ErrDesc());
            EXPECT_THAT(NfsLines(*nfs_), ElementsAre(L"rm D:\\repo1"));
        }
    }
}

TEST_F(DocRepoContract, DeleteKeepsTheRowsWhenTheTreeCannotBeRemoved) {
    DRM::DocRepo repo;
    Stored(repo);
    nfs_->FailOn(L"rm", 1, 13, L"access denied");
    EXPECT_EQ(repo.Delete(), 13);
    EXPECT_THAT(repo.ErrDesc(), HasSubstr(L"access denied"));
    EXPECT_THAT(RepoLines(*db_), ElementsAre(kSharedCheck));
}

TEST_F(DocRepoContract, DeleteFinishesWhenTheTreeIsAlreadyGoneAndTheRowNamesIt) {
    DRM::DocRepo repo;
    Stored(repo);
    nfs_->FailOn(L"rm", 1, 50002, L"the folder does not exist");
    db_->OnSelect(L"QV_DMRepo", NoOtherRepository());
    db_->OnSelect(L"QV_DMRepo",
                  MakeRs({L"Server", L"Port", L"Directory"},
                         {{std::wstring(L"recfs:"), 0LL, std::wstring(L"D:\\repo1")}}));
    EXPECT_EQ(repo.Delete(), 0);
    // Nothing failed that the caller must know of.
    EXPECT_EQ(repo.ErrNumber(), 0);
    EXPECT_THAT(repo.ErrorLog(), IsEmpty());
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(kSharedCheck,
                            L"SelectRows QV_DMRepo (Server,Port,Directory) where 0:DocRepoId=5",
                            L"DeleteRows QV_DMBaseline where 0:DocRepoId=5",
                            L"DeleteRows QV_DMDoc where 0:DocRepoId=5",
                            L"DeleteRows QV_DMAuth where 0:DocRepoId=5",
                            L"DeleteRows QV_DMRepo where 0:DocRepoId=5", L"CommitTrans"));
}

TEST_F(DocRepoContract, AGoneTreeRemovesNoRowsThatDoNotNameIt) {
    const std::vector<std::vector<ZUBDB::DBValue>> cases[] = {
        {},  // no row: nothing left to finish
        {{std::wstring(L"recfs:"), 0LL, std::wstring(L"D:\\elsewhere")}},
        {{std::wstring(L"recfs:other"), 0LL, std::wstring(L"D:\\repo1")}},
        {{std::wstring(L"recfs:"), 21LL, std::wstring(L"D:\\repo1")}},
    };
    for (const auto& rows : cases) {
        SCOPED_TRACE(rows.size());
        InstallFakes();
        nfs_->FailOn(L"rm", 1, 50002, L"the folder does not exist");
        db_->OnSelect(L"QV_DMRepo", NoOtherRepository());
        db_->OnSelect(L"QV_DMRepo", MakeRs({L"Server", L"Port", L"Directory"}, rows));
        DRM::DocRepo repo;
        Stored(repo);
        EXPECT_EQ(repo.Delete(), 50002);
        EXPECT_EQ(repo.ErrNumber(), 50002);
        EXPECT_EQ(repo.ErrDesc(), L"rm: the folder does not exist");
        EXPECT_THAT(RepoLines(*db_),
                    ElementsAre(kSharedCheck, HasSubstr(L"(Server,Port,Directory)")));
    }
    {
        SCOPED_TRACE("the row cannot be read");
        InstallFakes();
        nfs_->FailOn(L"rm", 1, 50002, L"the folder does not exist");
        // 1 reads the other repositories, 2 the login's password.
        db_->FailOn(L"SelectRows", 3, 208, L"no table");
        DRM::DocRepo repo;
        Stored(repo);
        EXPECT_EQ(repo.Delete(), 208);
        EXPECT_EQ(repo.ErrDesc(), L"no table");
        EXPECT_FALSE(std::any_of(db_->calls.begin(), db_->calls.end(),
                                 [](const auto& c) { return c.op == L"DeleteRows"; }));
    }
}

TEST_F(DocRepoContract, DeleteOfAnObjectWithoutDirectoryNeverRemovesTheServerRoot) {
    DRM::DocRepo repo;
    ASSERT_EQ(repo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    repo.set_nfsServer(L"recfs:");
    EXPECT_EQ(repo.Delete(), 49609);
    EXPECT_THAT(nfs_->calls, IsEmpty());
    EXPECT_THAT(db_->calls, IsEmpty());
}

TEST_F(DocRepoContract, RemoveStopsAtTheFirstFailureAndRollsBackAfterTheFirstStatement) {
    const std::vector<std::wstring> tables = {L"QV_DMBaseline", L"QV_DMDoc", L"QV_DMAuth",
                                              L"QV_DMRepo"};
    for (int failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE(failing);
        InstallFakes();
        db_->FailOn(L"DeleteRows", failing, 3000 + failing, L"delete failed");
        // A failing rollback must not hide why the unit was rolled back.
        db_->FailOn(L"RollbackTrans", 1, 9, L"rollback failed");
        DRM::DocRepo repo;
        Stored(repo);
        EXPECT_EQ(repo.Delete(), 3000 + failing);
        EXPECT_EQ(repo.ErrNumber(), 3000 + failing);
        EXPECT_EQ(repo.ErrDesc(), L"delete failed");

        std::vector<std::wstring> expected = {kSharedCheck};
        for (int i = 0; i < failing; ++i)
            expected.push_back(L"DeleteRows " + tables[i] + L" where 0:DocRepoId=5");
        if (failing > 1) expected.push_back(L"RollbackTrans");
        EXPECT_EQ(RepoLines(*db_), expected);
    }
    {
        SCOPED_TRACE("commit");
        InstallFakes();
        db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
        DRM::DocRepo repo;
        Stored(repo);
        EXPECT_EQ(repo.Delete(), 1205);
        EXPECT_THAT(
            RepoLines(*db_),
            ElementsAre(kSharedCheck, HasSubstr(L"DeleteRows QV_DMBaseline"),
                        HasSubstr(L"DeleteRows QV_DMDoc"), HasSubstr(L"DeleteRows QV_DMAuth"),
                        HasSubstr(L"DeleteRows QV_DMRepo"), L"CommitTrans", L"RollbackTrans"));
    }
}

TEST_F(DocRepoContract, BackUpChecksEveryFileThenDownloadsTheTrunkBesideTheTarget) {
    const zub::testsupport::TempDir temp("docrepo-backup");
    const std::filesystem::path& dir = temp.path();
    const std::wstring target = (dir / "backup").wstring();
    DRM::DocRepo repo;
    Stored(repo);
    db_->OnSelect(L"QV_DMDoc",
                  MakeRs({L"Name", L"Ext", L"phyUrl"},
                         {{ZUBDB::DBValue(std::wstring(L"a")), ZUBDB::DBValue(std::wstring(L"prt")),
                           ZUBDB::DBValue(std::wstring(L"\\sub"))}}));
    nfs_->files.insert(L"D:\\repo1\\trunk\\sub\\a.prt");
    EXPECT_EQ(repo.BackUp(target), 0) << repo.ErrDesc();
    const auto lines = NfsLines(*nfs_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"renameFile D:\\repo1\\trunk\\sub\\a.prt D:\\repo1\\trunk\\sub\\a.prt");
    EXPECT_EQ(
        lines[1].rfind(
            L"downLoadFolder D:\\repo1\\trunk " + (dir / ".backup.zub-partial-").wstring(), 0),
        0u);
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(L"SelectRows QV_DMDoc (Name,Ext,phyUrl) where 0:DocRepoId=5"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "backup"));

    nfs_->FailOn(L"downLoadFolder", 1, 2, L"no such folder");
    EXPECT_EQ(repo.BackUp(target), 2);
    EXPECT_EQ(repo.ErrNumber(), 2);
}

TEST_F(DocRepoContract, BackUpOfARepositoryMissingAFileCopiesNothing) {
    DRM::DocRepo repo;
    Stored(repo);
    db_->OnSelect(L"QV_DMDoc",
                  MakeRs({L"Name", L"Ext", L"phyUrl"},
                         {{ZUBDB::DBValue(std::wstring(L"a")), ZUBDB::DBValue(std::wstring(L"prt")),
                           ZUBDB::DBValue(std::wstring())}}));
    EXPECT_EQ(repo.BackUp(L"/nonexistent/backup"), DRM::Err::kFileMissing);
    EXPECT_EQ(repo.ErrDesc(), L"文件 D:\\repo1\\trunk\\a.prt 不存在");
    EXPECT_EQ(NfsLines(*nfs_).size(), 1u);  // the look only
}

TEST_F(DocRepoContract, NextMainVersionRoundsTheHighestVersionUp) {
    DRM::DocRepo repo;
    Stored(repo);
    const auto version = [](ZUBDB::DBValue v) { return MakeRs({L"maxVersion"}, {{std::move(v)}}); };
    db_->OnSelect(L"QV_DMDoc", version(2.5));
    db_->OnSelect(L"QV_DMDoc", version(3.0));
    db_->OnSelect(L"QV_DMDoc", version(ZUBDB::DBValue()));  // no documents: NULL
    db_->OnSelect(L"QV_DMDoc", version(0.0001));

    EXPECT_EQ(repo.GetNextMainVersion(), L"3.0000000000");
    EXPECT_EQ(repo.GetNextMainVersion(), L"3.0000000000");
    EXPECT_EQ(repo.GetNextMainVersion(), L"0.0000000000");
    EXPECT_EQ(repo.GetNextMainVersion(), L"1.0000000000");
    EXPECT_EQ(repo.GetNextMainVersion(), L"0.0000000000");  // no row at all
    EXPECT_EQ(RepoLines(*db_)[0],
              L"SelectRows QV_DMDoc (max(cast(CurrentVersion as numeric(8,4))) as maxVersion) "
              L"where 0:DocRepoId=5");

    db_->FailOn(L"SelectRows", 6, 8114, L"conversion failed");
    EXPECT_EQ(repo.GetNextMainVersion(), L"");
    EXPECT_EQ(repo.ErrNumber(), 8114);
}

class DocReposContract : public DocRepoContract {};

TEST_F(DocReposContract, GetAllListsEveryRepositoryAndAppends) {
    DRM::DocRepos repos;
    ASSERT_EQ(repos.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    const std::vector<std::wstring> cols = {L"DocRepoId", L"VersionStraId", L"Name",
                                            L"Server",    L"Port",          L"Directory",
                                            L"CreatorId", L"CreatorName"};
    db_->OnSelect(L"QV_DMRepo",
                  MakeRs(cols, {{1LL, 2LL, std::wstring(L"a"), std::wstring(L"file:/x"), 0LL,
                                 std::wstring(L"D:\\a"), 7LL, std::wstring(L"alice")},
                                {2LL, 1LL, std::wstring(L"b"), std::wstring(L"file:/y"), 99LL,
                                 std::wstring(L"D:\\b"), 8LL, std::wstring(L"bob")}}));
    db_->OnSelect(L"QV_DMRepo", MakeRs(cols, {{3LL, 1LL, std::wstring(L"c"), std::wstring(L""), 0LL,
                                               std::wstring(L"D:\\c"), 0LL, std::wstring(L"")}}));

    EXPECT_EQ(repos.GetAll(), 0);
    EXPECT_THAT(RepoLines(*db_),
                ElementsAre(L"SelectRows QV_DMRepo (DocRepoId,VersionStraId,Name,Server,Port,"
                            L"Directory,CreatorId,CreatorName)"));
    ASSERT_EQ(repos.Count(), 2);
    DRM::DocRepo* b = static_cast<DRM::DocRepo*>(repos.Item(L"b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->id(), 2);
    EXPECT_EQ(b->versionStraId(), 1);
    EXPECT_EQ(b->nfsServer(), L"file:/y");
    EXPECT_EQ(b->nfsPort(), 99);
    EXPECT_EQ(b->nfsRootDir(), L"D:\\b");
    EXPECT_EQ(b->creator(), 0);  // not taken over
    EXPECT_EQ(b->creatorName(), L"");
    EXPECT_FALSE(b->IsConnected());
    EXPECT_EQ(repos.Repo(0)->name(), L"a");

    EXPECT_EQ(repos.GetAll(), 0);
    EXPECT_EQ(repos.Count(), 3);
    EXPECT_EQ(repos.Repo(2)->name(), L"c");
}

TEST_F(DocReposContract, GetAllForAUserNamesTheUserInBothPlaces) {
    DRM::DocRepos repos;
    ASSERT_EQ(repos.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(repos.GetAll(42), 0);
    EXPECT_EQ(repos.Count(), 0);
    ASSERT_EQ(db_->calls.size(), 1u);
    EXPECT_EQ(db_->calls[0].op, L"ExecuteSql");
    EXPECT_EQ(db_->calls[0].table,
              L"select DocRepoId,VersionStraId,Name,Server,Port,Directory,CreatorId,CreatorName"
              L" from QV_DMRepo where docRepoId in (select distinct DocRepoId from qv_DMAuth "
              L"where (UserId = 42 or roleId in (select roleId from QV_UserRole where UserId = "
              L"42 )))");
    EXPECT_THAT(db_->calls[0].values, IsEmpty());

    db_->FailOn(L"ExecuteSql", 2, 156, L"syntax");
    EXPECT_EQ(repos.GetAll(-1), 156);
    EXPECT_EQ(repos.ErrDesc(), L"syntax");
    EXPECT_THAT(db_->calls[1].table, HasSubstr(L"UserId = -1 or"));
}

// An accessor whose chosen statement throws, to see where each operation's
// exception boundary lies.
class ThrowingAccessor : public ZUBDB::CDBAccessor {
public:
    static inline std::wstring op;
    static inline std::wstring table;
    static inline int rollbacks = 0;

    int InsertRow(const std::wstring& t, const ZUBDB::QVParams&, const std::wstring&,
                  const std::wstring&) override {
        return Maybe(L"InsertRow", t);
    }
    int UpdateRows(const std::wstring& t, const ZUBDB::QVParams&, const ZUBDB::QVParams&,
                   const std::wstring&, const std::wstring&) override {
        return Maybe(L"UpdateRows", t);
    }
    int DeleteRows(const std::wstring& t, const ZUBDB::QVParams&, const std::wstring&,
                   const std::wstring&) override {
        return Maybe(L"DeleteRows", t);
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& t,
                   const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                   const std::wstring&, const std::wstring&, int, int) override {
        // A component that throws hands out no record set.
        const int status = Maybe(L"SelectRows", t);
        out = std::make_unique<ZUBDB::CDBRecordset>();
        return status;
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& sql,
                   const ZUBDB::QVParams&, const std::wstring&, int, int) override {
        const int status = Maybe(L"ExecuteSql", sql);
        out = std::make_unique<ZUBDB::CDBRecordset>();
        return status;
    }
    int BeginTrans() override { return 0; }
    int CommitTrans() override { return Maybe(L"CommitTrans", L""); }
    int RollbackTrans() override {
        ++rollbacks;
        return 0;
    }
    long long LastInsertId() const override { return 0; }

private:
    static int Maybe(const std::wstring& called, const std::wstring& t) {
        if (called == op && (table.empty() || t == table)) throw std::runtime_error("boom");
        return 0;
    }
};

class DocRepoBoundaries : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingNfs::Install();
        ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
            L"throwdb", [](const ZUBDB::QVSvrInfo&, const std::wstring&) {
                return std::unique_ptr<ZUBDB::CDBAccessor>(new ThrowingAccessor);
            });
    }
    void TearDown() override {
        ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"throwdb");
        ThrowingAccessor::op.clear();
        ThrowingAccessor::table.clear();
        ThrowingAccessor::rollbacks = 0;
    }
    void Throw(std::wstring op, std::wstring table = L"") {
        ThrowingAccessor::op = std::move(op);
        ThrowingAccessor::table = std::move(table);
    }
    void Prepare(DRM::DocRepo& repo) {
        ASSERT_EQ(repo.Connect(L"throwdb:", 0, L"QVData", L"tok"), 0);
        repo.set_id(5);
        repo.set_nfsServer(L"recfs:");
        repo.set_nfsRootDir(L"D:\\repo1");
    }
};

TEST_F(DocRepoBoundaries, CreateTurnsAnExceptionIntoTheResultOfTheStepThatThrew) {
    const struct {
        const wchar_t* op;
        const wchar_t* table;
        int result;
    } cases[] = {
        {L"SelectRows", L"QV_DMRepo", DRM::DocRepo::kOverlaps},    // the check
        {L"SelectRows", L"QV_SysInfo", DRM::DocRepo::kDirFailed},  // login before mk
        {L"SelectRows", L"QV_User", DRM::DocRepo::kRowFailed},     // creator name inside Save
        {L"CommitTrans", L"", DRM::DocRepo::kRowFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.op) + L" " + c.table);
        RecordingNfs::Install();
        Throw(c.op, c.table);
        DRM::DocRepo repo;
        Prepare(repo);
        EXPECT_EQ(repo.Create(), c.result);
        EXPECT_EQ(repo.ErrNumber(), -1);
        EXPECT_EQ(repo.ErrDesc(), L"boom\n");
    }
}

TEST_F(DocRepoBoundaries, OperationsWithoutABoundaryLetTheExceptionThrough) {
    DRM::DocRepo repo;
    Prepare(repo);
    Throw(L"SelectRows", L"QV_DMRepo");
    EXPECT_THROW(repo.Read(5), std::runtime_error);
    Throw(L"SelectRows", L"QV_DMDoc");
    EXPECT_THROW(repo.GetNextMainVersion(), std::runtime_error);
    Throw(L"UpdateRows");
    EXPECT_THROW(repo.SaveVersionStra(), std::runtime_error);
    Throw(L"SelectRows", L"QV_SysInfo");
    EXPECT_THROW(repo.BackUp(L"/tmp/out"), std::runtime_error);
    EXPECT_THROW(repo.Delete(), std::runtime_error);
    EXPECT_EQ(repo.ErrNumber(), 0);
}

TEST_F(DocRepoBoundaries, GuardedOperationsRecordMinusOneWithTheText) {
    DRM::DocRepo repo;
    Prepare(repo);
    Throw(L"UpdateRows");
    EXPECT_EQ(repo.updateBaseInfo(), -1);
    EXPECT_EQ(repo.ErrDesc(), L"boom\n");

    DRM::DocRepo other;
    Prepare(other);
    Throw(L"DeleteRows", L"QV_DMAuth");  // inside Remove, after the tree is gone
    ThrowingAccessor::rollbacks = 0;
    EXPECT_EQ(other.Delete(), -1);
    EXPECT_EQ(other.ErrNumber(), -1);
    // The two deletions before the throw must not wait for the next commit.
    EXPECT_EQ(ThrowingAccessor::rollbacks, 1);

    DRM::DocRepos repos;
    ASSERT_EQ(repos.Connect(L"throwdb:", 0, L"QVData", L"tok"), 0);
    Throw(L"ExecuteSql");
    EXPECT_EQ(repos.GetAll(1), -1);
    Throw(L"SelectRows");
    EXPECT_EQ(repos.GetAll(), -1);
    EXPECT_EQ(repos.ErrDesc(), L"boom\n");
}

}  // namespace

}  // namespace zub::docvault::test
