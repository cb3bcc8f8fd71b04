// Contract tests of DRM::BaseLine and DRM::BaseLines against the recording
// database and file server.
#include "docvault/baseline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "doc_contract_fixture.h"
#include "docvault/baselines.h"
#include "docvault/doc.h"
#include "docvault/errors.h"
#include "throwing_accessor.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class BaseLineContract : public RecordingFixture {
protected:
    DRM::BaseLine MakeBaseLine(bool connect = true) {
        DRM::BaseLine b;
        if (connect) b.Connect(L"rec:", 0, L"QVData", L"tok");
        b.set_docRepoId(3);
        b.set_name(L"rel1");
        b.set_desc(L"first release");
        b.set_id(6);
        return b;
    }
    // What DocRepo::Read answers for repository 3.
    void QueueRepoRead() {
        db->OnSelect(L"QV_DMRepo",
                     MakeRs({L"DocRepoId", L"VersionStraId", L"Name", L"Server", L"Port",
                             L"Directory", L"CreatorId", L"CreatorName", L"CreateTime"},
                            {{I(3), I(1), T(L"r1"), T(L"recfs:"), I(0), T(L"D:\\repo1"), I(1),
                              T(L"system"), ZUBDB::DBValue(45000.0)}}));
    }
    const std::wstring kStage = L"D:\\repo1\\.zub-staging\\.zub-stage-N";
    static constexpr const wchar_t* kInsert =
        L"InsertRow QV_DMBaseline 0:DocRepoId=3 1:BaseLineCreateTime=getdate() "
        L"2:BaseLineInfo='first release' 3:name='rel1'";
};

TEST_F(BaseLineContract, CreateStagesTheCopyChecksItThenNamesItWithTheRow) {
    QueueRepo();
    db->OnSelect(L"QV_DMBaseline", MakeRs({L"max(BaseLineId)"}, {{I(14)}}));
    db->OnSelect(L"QV_DMDoc", MakeRs({L"Name", L"Ext", L"phyUrl"}, {{T(L"a"), T(L"prt"), T(L"")}}));
    db->lastInsertId = 14;
    nfs->files.insert(L"D:\\repo1\\trunk\\a.prt");
    DRM::BaseLine b = MakeBaseLine();
    ASSERT_EQ(b.Create(), 0) << b.ErrDesc();
    EXPECT_EQ(b.id(), 14);
    // Staged in a held folder of its own; the copy stays held until its row commits.
    EXPECT_THAT(NfsLines(),
                ElementsAre(L"mk " + kStage, L"hold " + kStage,
                            L"copyFolder D:\\repo1\\trunk " + kStage + L"\\tree",
                            L"hold " + kStage + L"\\tree",
                            L"renameFolder " + kStage + L"\\tree D:\\repo1\\baseline\\rel1",
                            L"rm " + kStage));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(RepoLookup(3),
                    L"SelectRows QV_DMDoc (Name,Ext,phyUrl,ContentSha256,ContentBytes) where "
                    L"0:DocRepoId=3",
                    L"BeginTrans", kInsert,
                    L"InsertRow ZUB_DMBaselineFile 0:BaseLineId=14 1:Path='a.prt' "
                    L"2:ContentSha256='' 3:ContentBytes=0",
                    L"CommitTrans",
                    L"SelectRows QV_DMBaseline (max(BaseLineId)) where 0:DocRepoId=3"));
}

TEST_F(BaseLineContract, CreateTakesTheIdOfItsOwnInsert) {
    QueueRepo();
    db->OnSelect(L"QV_DMBaseline", MakeRs({L"max(BaseLineId)"}, {{I(20)}}));
    db->lastInsertId = 15;
    DRM::BaseLine b = MakeBaseLine();
    ASSERT_EQ(b.Create(), 0);
    EXPECT_EQ(b.id(), 15);
}

TEST_F(BaseLineContract, CreateFailuresLeaveNoRowAndNoFolder) {
    const struct {
        const char* what;
        std::function<void()> arrange;
        long status;
        std::wstring lastNfs;
    } cases[] = {
        {"the folder copy fails", [this] { nfs->FailOn(L"copyFolder", 1, 50004, L"disk full"); },
         50004, L"rm " + kStage},
        {"a document's file is missing",
         [this] {
             db->OnSelect(L"QV_DMDoc",
                          MakeRs({L"Name", L"Ext", L"phyUrl"}, {{T(L"a"), T(L"prt"), T(L"")}}));
         },
         DRM::Err::kFileMissing, L"rm " + kStage},
        {"the name is taken (row)",
         [this] { db->FailOn(L"InsertRow", 1, 2067, L"UNIQUE constraint failed"); },
         DRM::Err::kNameTaken, L"rm " + kStage},
        {"the name is taken by a running creation's folder",
         [this] {
             nfs->FailOn(L"renameFolder", 1, 50003, L"exists");
             nfs->held.insert(L"D:\\repo1\\baseline\\rel1");
         },
         DRM::Err::kNameTaken, L"rm " + kStage},
        {"the insert fails", [this] { db->FailOn(L"InsertRow", 1, 547, L"constraint"); }, 547,
         L"rm " + kStage},
        {"the commit fails", [this] { db->FailOn(L"CommitTrans", 1, 1205, L"deadlock"); }, 1205,
         L"rm " + kStage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        QueueRepo();
        c.arrange();
        DRM::BaseLine b = MakeBaseLine();
        EXPECT_EQ(b.Create(), c.status);
        EXPECT_EQ(NfsLines().back(), c.lastNfs);
        const auto ops = DbOps();
        if (c.status == 1205)
            EXPECT_EQ(ops.back(), L"RollbackTrans");
        else
            EXPECT_EQ(std::count(ops.begin(), ops.end(), L"CommitTrans"), 0);
    }
}

TEST_F(BaseLineContract, AStoredRowKeepsItsFolderWhenTheReadBackFails) {
    QueueRepo();
    DRM::BaseLine b = MakeBaseLine();
    b.set_id(0);
    EXPECT_EQ(b.Create(), 49601);
    EXPECT_EQ(b.ErrDesc(), L"数据表 QV_DMBaseline 为空");
    EXPECT_EQ(b.id(), 0);
    const auto lines = NfsLines();
    ASSERT_FALSE(lines.empty());
    // The named copy stays; only the emptied staging folder goes.
    EXPECT_EQ(lines[lines.size() - 2].rfind(L"renameFolder ", 0), 0u);
    EXPECT_EQ(lines.back(), L"rm " + kStage);
}

TEST_F(BaseLineContract, DeleteReadsTheRepositoryRemovesTheFolderThenTheRow) {
    QueueRepoRead();
    DRM::BaseLine b = MakeBaseLine();
    ASSERT_EQ(b.Delete(), 0) << b.ErrDesc();
    EXPECT_THAT(NfsLines(), ElementsAre(L"rm D:\\repo1\\baseline\\rel1"));
    EXPECT_THAT(DbLines(),
                ElementsAre(L"SelectRows QV_DMRepo (DocRepoId,VersionStraId,[Name],[Server],Port,"
                            L"Directory,CreatorId,CreatorName,CreateTime) where 0:DocRepoId=3",
                            L"DeleteRows QV_DMBaseline where 0:BaseLineId=6", L"CommitTrans"));
    // The repository was read through a connection of its own, to the same database.
    ASSERT_GE(db->connections.size(), 2u);
    EXPECT_EQ(db->connections[1].server, L"rec:");
    EXPECT_EQ(db->connections[1].database, L"QVData");
    EXPECT_EQ(db->connections[1].token, L"tok");
}

TEST_F(BaseLineContract, DeleteWithAWrongRepositoryRemovesNothing) {
    DRM::BaseLine b = MakeBaseLine();
    EXPECT_EQ(b.Delete(), 49609);
    EXPECT_EQ(b.ErrDesc(), L"DocRepoId  无效");
    EXPECT_THAT(NfsLines(), IsEmpty());
    EXPECT_FALSE(AnyDbOp(L"DeleteRows"));
}

TEST_F(BaseLineContract, DeleteWhoseFolderRemovalFailsKeepsTheRow) {
    QueueRepoRead();
    nfs->FailOn(L"rm", 1, 50004, L"device busy");
    DRM::BaseLine b = MakeBaseLine();
    EXPECT_EQ(b.Delete(), 50004);
    EXPECT_EQ(b.ErrDesc(), L"rm: device busy");
    EXPECT_FALSE(AnyDbOp(L"DeleteRows"));
}

TEST_F(BaseLineContract, DeleteFinishesWhenTheFolderIsGoneAndTheRowStillNamesIt) {
    QueueRepoRead();
    nfs->FailOn(L"rm", 1, 50002, L"no folder");
    db->OnSelect(L"QV_DMBaseline", MakeRs({L"DocRepoId", L"name"}, {{I(3), T(L"rel1")}}));
    DRM::BaseLine b = MakeBaseLine();
    EXPECT_EQ(b.Delete(), 0);
    EXPECT_EQ(b.ErrNumber(), 0);
    const auto lines = DbLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], L"SelectRows QV_DMBaseline (DocRepoId,name) where 0:BaseLineId=6");
    EXPECT_EQ(lines[2], L"DeleteRows QV_DMBaseline where 0:BaseLineId=6");
    EXPECT_EQ(lines[3], L"CommitTrans");
}

TEST_F(BaseLineContract, AGoneFolderRemovesNoRowThatDoesNotNameIt) {
    const std::vector<std::vector<ZUBDB::DBValue>> cases[] = {
        {}, {{I(3), T(L"rel2")}}, {{I(4), T(L"rel1")}}};
    for (const auto& rows : cases) {
        SCOPED_TRACE(rows.size());
        SetUp();
        QueueRepoRead();
        nfs->FailOn(L"rm", 1, 50002, L"no folder");
        db->OnSelect(L"QV_DMBaseline", MakeRs({L"DocRepoId", L"name"}, rows));
        DRM::BaseLine b = MakeBaseLine();
        EXPECT_EQ(b.Delete(), 50002);
        EXPECT_EQ(b.ErrDesc(), L"rm: no folder");
        EXPECT_FALSE(AnyDbOp(L"DeleteRows"));
    }
}

TEST_F(BaseLineContract, FailedCommitsAreRolledBack) {
    {
        SCOPED_TRACE("delete");
        QueueRepoRead();
        db->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
        DRM::BaseLine b = MakeBaseLine();
        EXPECT_EQ(b.Delete(), 1205);
        EXPECT_EQ(b.ErrDesc(), L"deadlock");
        EXPECT_EQ(DbOps().back(), L"RollbackTrans");
    }
}

TEST_F(BaseLineContract, DownLoadFetchesTheFolderTree) {
    QueueRepo();
    DRM::BaseLine b = MakeBaseLine();
    ASSERT_EQ(b.DownLoad(L"/tmp/bl"), 0);
    EXPECT_THAT(NfsLines(), ElementsAre(L"downLoadFolder D:\\repo1\\baseline\\rel1 /tmp/bl"));
    EXPECT_THAT(DbLines(),
                ElementsAre(RepoLookup(3),
                            L"ExecuteSql select f.Path, f.ContentSha256, f.ContentBytes from "
                            L"ZUB_DMBaselineFile f join QV_DMBaseline b on b.BaseLineId = "
                            L"f.BaseLineId where b.DocRepoId = ? and b.name = ? 0:DocRepoId=3 "
                            L"1:name='rel1'"));
}

TEST_F(BaseLineContract, NamesOtherThanOneFolderAreRefused) {
    // An empty name would make Delete remove every baseline; ".." the whole
    // repository's baseline parent, "..\trunk" the current files.
    for (const wchar_t* name : {L"", L".", L"..", L"..\\trunk", L"a/b"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const std::vector<std::function<int(DRM::BaseLine&)>> ops = {
            [](DRM::BaseLine& b) { return b.Create(); },
            [](DRM::BaseLine& b) { return b.Delete(); },
            [](DRM::BaseLine& b) { return b.DownLoad(L"/tmp/x"); }};
        for (const auto& op : ops) {
            SetUp();
            QueueRepo();
            QueueRepoRead();
            DRM::BaseLine b = MakeBaseLine();
            b.set_name(name);
            EXPECT_EQ(op(b), DRM::Err::kInvalidName);
            EXPECT_THAT(NfsLines(), IsEmpty());
            EXPECT_THAT(DbLines(), IsEmpty());
        }
    }
}

TEST_F(BaseLineContract, WithoutAConnectionNothingIsCalled) {
    DRM::BaseLine b = MakeBaseLine(false);
    EXPECT_EQ(b.Create(), 49600);
    EXPECT_EQ(b.Delete(), 49600);
    EXPECT_EQ(b.DownLoad(L"/tmp"), 49600);
    EXPECT_EQ(b.ErrDesc(), L"远程数据库未连接");
    DRM::BaseLines list;
    EXPECT_EQ(list.GetAll(DRM::filterForBaseLine{3}), 49600);
    EXPECT_THAT(db->calls, IsEmpty());
    EXPECT_THAT(nfs->calls, IsEmpty());
}

TEST_F(BaseLineContract, ListKeepsTheDatabaseOrderAndAppends) {
    const std::vector<std::wstring> cols = {L"BaseLineId", L"DocRepoId", L"name", L"BaseLineInfo",
                                            L"BaseLineCreateTime"};
    db->OnSelect(L"QV_DMBaseline",
                 MakeRs(cols, {{I(9), I(3), T(L"rel2"), T(L"second"), ZUBDB::DBValue(45001.5)},
                               {I(4), I(3), T(L"rel1"), T(L"first"), ZUBDB::DBValue()}}));
    DRM::BaseLines list;
    list.Connect(L"rec:", 0, L"QVData", L"tok");
    ASSERT_EQ(list.GetAll(DRM::filterForBaseLine{3}), 0);
    EXPECT_THAT(DbLines(), ElementsAre(L"SelectRows QV_DMBaseline (BaseLineId,DocRepoId,name,"
                                       L"BaseLineInfo,BaseLineCreateTime) where 0:DocRepoId=3"));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetBaseLine(0)->id(), 9);
    EXPECT_EQ(list.GetBaseLine(0)->name(), L"rel2");
    EXPECT_EQ(list.GetBaseLine(0)->desc(), L"second");
    EXPECT_EQ(list.GetBaseLine(0)->docRepoId(), 3);
    EXPECT_DOUBLE_EQ(list.GetBaseLine(0)->createdTime(), 45001.5);
    EXPECT_DOUBLE_EQ(list.GetBaseLine(1)->createdTime(), 0.0);
    EXPECT_EQ(list.GetBaseLine(1)->GetKey(), L"");
    EXPECT_EQ(list.GetAll(DRM::filterForBaseLine{3}), 0);  // nothing more: still two
    EXPECT_EQ(list.Count(), 2);
}

TEST(BaseLineObject, FullConstructorLeavesTheKeyEmpty) {
    DRM::BaseLine b(3, L"rel1", L"d", 2.5, 8);
    EXPECT_EQ(b.docRepoId(), 3);
    EXPECT_EQ(b.name(), L"rel1");
    EXPECT_EQ(b.desc(), L"d");
    EXPECT_DOUBLE_EQ(b.createdTime(), 2.5);
    EXPECT_EQ(b.id(), 8);
    EXPECT_EQ(b.GetKey(), L"");
    DRM::BaseLine copy(b);
    EXPECT_EQ(copy.name(), L"rel1");
}

TEST_F(BaseLineContract, EachStepRecordsAnExceptionAsMinusOne) {
    ThrowingAccessor::Register(L"QV_DMRepo");
    DRM::BaseLine b = MakeBaseLine(false);
    b.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(b.Create(), -1);  // in CreateDirOnServer's boundary
    EXPECT_EQ(b.ErrDesc(), L"boom\n");
    EXPECT_EQ(b.Delete(), -1);  // the repository read has none, Delete's catches it
    EXPECT_EQ(b.DownLoad(L"/tmp/x"), -1);
    EXPECT_EQ(b.ErrorLog().size(), 3u);
    EXPECT_THAT(NfsLines(), IsEmpty());

    ThrowingAccessor::Register(L"QV_DMBaseline");
    DRM::BaseLines list;
    list.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(list.GetAll(DRM::filterForBaseLine{3}), -1);
    EXPECT_EQ(list.ErrDesc(), L"boom\n");
}

}  // namespace

}  // namespace zub::docvault::test
