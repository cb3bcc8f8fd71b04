// Contract tests of DRM::DocRepoAuth and DRM::DocRepoAuths against the
// recording database: statements, parameter order, keys and the unit of work.
#include "docvault/docrepoauth.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docvault/docrepoauths.h"
#include "recording_db.h"
#include "throwing_accessor.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DocRepoAuthContract : public ::testing::Test {
protected:
    void SetUp() override { db_ = &RecordingDb::Install(); }

    static DRM::DocRepoAuth* Rights(int repo, int user, int role, int byUser, int r, int w, int m) {
        return new DRM::DocRepoAuth(0, repo, user, role, byUser, r, w, m, L"");
    }

    RecordingDb* db_ = nullptr;
};

TEST(DocRepoAuthMembers, ConstructorsKeyByRepository) {
    DRM::DocRepoAuth none;
    EXPECT_EQ(none.id(), 0);
    EXPECT_EQ(none.docRepoId(), 0);
    EXPECT_EQ(none.manage(), 0);
    EXPECT_TRUE(none.GetKey().empty());

    DRM::DocRepoAuth full(11, 5, 3, 4, 1, 1, 0, 1, L"alice");
    EXPECT_EQ(full.id(), 11);
    EXPECT_EQ(full.docRepoId(), 5);
    EXPECT_EQ(full.userId(), 3);
    EXPECT_EQ(full.roleId(), 4);
    EXPECT_EQ(full.byRoleOrByUser(), 1);
    EXPECT_EQ(full.read(), 1);
    EXPECT_EQ(full.write(), 0);
    EXPECT_EQ(full.manage(), 1);
    EXPECT_EQ(full.roleOrUser_Name(), L"alice");
    EXPECT_EQ(full.GetKey(), L"5");

    DRM::DocRepoAuth copy;
    copy = full;
    EXPECT_EQ(copy.roleOrUser_Name(), L"alice");
    EXPECT_EQ(copy.GetKey(), L"5");
}

TEST_F(DocRepoAuthContract, SaveInsertsAndReadsBackTheNewestEqualRow) {
    DRM::DocRepoAuth auth(0, 5, 3, 0, 1, 1, 0, 1, L"");
    ASSERT_EQ(auth.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db_->OnSelect(L"QV_DMAuth", MakeRs({L"max"}, {{21LL}}));

    EXPECT_EQ(auth.Save(), 0);
    EXPECT_EQ(auth.id(), 21);
    const std::wstring values =
        L"0:DocRepoId=5 1:UserOrRole=1 2:UserId=3 3:RoleId=0 4:[Read]=1 5:Write=0 6:Manage=1";
    EXPECT_THAT(db_->Lines(), ElementsAre(L"InsertRow QV_DMAuth " + values, L"CommitTrans",
                                          L"SelectRows QV_DMAuth (max(authId)) where " + values));
}

TEST_F(DocRepoAuthContract, SavePrefersTheIdThisConnectionInserted) {
    DRM::DocRepoAuth auth(0, 5, 3, 0, 1, 1, 1, 1, L"");
    ASSERT_EQ(auth.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db_->lastInsertId = 30;
    db_->OnSelect(L"QV_DMAuth", MakeRs({L"max"}, {{31LL}}));
    EXPECT_EQ(auth.Save(), 0);
    EXPECT_EQ(auth.id(), 30);
}

TEST_F(DocRepoAuthContract, SaveFailuresAreRecorded) {
    DRM::DocRepoAuth auth(0, 5, 3, 0, 1, 1, 1, 1, L"");
    ASSERT_EQ(auth.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db_->FailOn(L"InsertRow", 1, 547, L"no such repository");
    EXPECT_EQ(auth.Save(), 547);
    EXPECT_EQ(auth.ErrDesc(), L"no such repository");
    EXPECT_EQ(auth.id(), 0);
    EXPECT_THAT(db_->Ops(), ElementsAre(L"InsertRow"));

    db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
    EXPECT_EQ(auth.Save(), 1205);
    EXPECT_THAT(db_->Ops(),
                ElementsAre(L"InsertRow", L"InsertRow", L"CommitTrans", L"RollbackTrans"));
}

TEST_F(DocRepoAuthContract, UpdateAndDeleteDoNothing) {
    DRM::DocRepoAuth unconnected(1, 5, 3, 0, 1, 1, 1, 1, L"");
    EXPECT_EQ(unconnected.Update(), 0);
    EXPECT_EQ(unconnected.Delete(), 0);
    EXPECT_EQ(unconnected.ErrNumber(), 0);
    EXPECT_THAT(db_->calls, IsEmpty());
}

TEST_F(DocRepoAuthContract, SelectReadsTheRepositorysRowsThroughTheView) {
    DRM::DocRepoAuths auths(DRM::filterForDocRepoAuth{5});
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    const std::vector<std::wstring> cols = {L"authId", L"DocRepoId",  L"UserId",
                                            L"RoleId", L"UserOrRole", L"Read",
                                            L"Write",  L"Manage",     L"UserName"};
    db_->OnSelect(L"QV_v_DMAuthSet",
                  MakeRs(cols, {{1LL, 5LL, 3LL, 0LL, 1LL, 1LL, 0LL, 0LL, std::wstring(L"alice")},
                                {2LL, 5LL, 0LL, 7LL, 0LL, 1LL, 1LL, 1LL, ZUBDB::DBValue()}}));
    db_->OnSelect(L"QV_v_DMAuthSet",
                  MakeRs(cols, {{3LL, 5LL, 4LL, 0LL, 1LL, 0LL, 0LL, 1LL, std::wstring(L"bob")}}));

    EXPECT_EQ(auths.Select(), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"SelectRows QV_v_DMAuthSet (authId,DocRepoId,UserId,RoleId,"
                            L"UserOrRole,[Read],Write,Manage,UserName) where 0:DocRepoId=5"));
    ASSERT_EQ(auths.Count(), 2);
    const DRM::DocRepoAuth& role = *auths.Auth(1);
    EXPECT_EQ(role.id(), 2);
    EXPECT_EQ(role.roleId(), 7);
    EXPECT_EQ(role.byRoleOrByUser(), 0);
    EXPECT_EQ(role.manage(), 1);
    EXPECT_EQ(role.roleOrUser_Name(), L"");  // NULL name
    EXPECT_EQ(auths.Auth(0)->roleOrUser_Name(), L"alice");
    EXPECT_EQ(auths.Auth(0)->write(), 0);
    // Keyed by repository: the first row keeps the key.
    EXPECT_EQ(auths.Item(L"5"), auths.Item(0));

    // A second selection appends.
    EXPECT_EQ(auths.Select(), 0);
    EXPECT_EQ(auths.Count(), 3);
    EXPECT_EQ(auths.Auth(2)->roleOrUser_Name(), L"bob");
}

TEST_F(DocRepoAuthContract, SelectWithoutRowsIs49608) {
    DRM::DocRepoAuths auths(DRM::filterForDocRepoAuth{8});
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(auths.Select(), 49608);
    EXPECT_EQ(auths.ErrDesc(), L"条件无效");
    EXPECT_EQ(auths.Count(), 0);

    db_->FailOn(L"SelectRows", 2, 208, L"no view");
    EXPECT_EQ(auths.Select(), 208);
    EXPECT_EQ(auths.ErrDesc(), L"no view");
}

TEST_F(DocRepoAuthContract, SelectForAUserCallsTheProcedureAndKeysByRepository) {
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db_->OnSelect(L"QV_p_DMGetUserAuths", MakeRs({L"DocRepoId", L"DocRepoName", L"R", L"W", L"M"},
                                                 {{4LL, std::wstring(L"ignored"), 1LL, 0LL, 0LL},
                                                  {9LL, std::wstring(L"ignored"), 1LL, 1LL, 1LL}}));

    EXPECT_EQ(auths.Select(17), 0);
    ASSERT_EQ(db_->calls.size(), 1u);
    EXPECT_EQ(db_->calls[0].op, L"ExecuteSql");
    EXPECT_EQ(db_->calls[0].table, L"QV_p_DMGetUserAuths 17");
    EXPECT_THAT(db_->calls[0].values, IsEmpty());

    ASSERT_EQ(auths.Count(), 2);
    const DRM::DocRepoAuth* nine = auths.Auth(L"9");
    ASSERT_NE(nine, nullptr);
    EXPECT_EQ(nine->id(), 0);
    EXPECT_EQ(nine->docRepoId(), 9);
    EXPECT_EQ(nine->userId(), 17);
    EXPECT_EQ(nine->roleId(), 0);
    EXPECT_EQ(nine->byRoleOrByUser(), 1);
    EXPECT_EQ(nine->manage(), 1);
    const DRM::DocRepoAuth* four = auths.Auth(L"4");
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->read(), 1);
    EXPECT_EQ(four->write(), 0);
    EXPECT_EQ(four->roleOrUser_Name(), L"");

    // Nothing for this user is not an error.
    EXPECT_EQ(auths.Select(18), 0);
    EXPECT_EQ(auths.Count(), 2);
    EXPECT_EQ(auths.ErrNumber(), 0);
}

TEST_F(DocRepoAuthContract, DeleteRemovesTheRepositorysRowsThenEmpties) {
    DRM::DocRepoAuths auths(DRM::filterForDocRepoAuth{5});
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    auths.Add(Rights(5, 3, 0, 1, 1, 1, 1));
    EXPECT_EQ(auths.Delete(), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"DeleteRows QV_DMAuth where 0:DocRepoId=5", L"CommitTrans"));
    EXPECT_EQ(auths.Count(), 0);

    auths.Add(Rights(5, 3, 0, 1, 1, 1, 1));
    db_->FailOn(L"DeleteRows", 2, 1205, L"deadlock");
    EXPECT_EQ(auths.Delete(), 1205);
    EXPECT_EQ(auths.Count(), 1);  // only a finished delete empties it
    EXPECT_EQ(db_->Ops().back(), L"DeleteRows");

    db_->FailOn(L"CommitTrans", 2, 1205, L"deadlock");
    EXPECT_EQ(auths.Delete(), 1205);
    EXPECT_EQ(auths.Count(), 1);
    EXPECT_THAT(db_->Ops(), ElementsAre(L"DeleteRows", L"CommitTrans", L"DeleteRows", L"DeleteRows",
                                        L"CommitTrans", L"RollbackTrans"));
}

TEST_F(DocRepoAuthContract, SaveInsertsEverySetInOneUnitThenEmpties) {
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    auths.Add(Rights(5, 3, 0, 1, 1, 0, 0));
    auths.Add(Rights(5, 0, 7, 0, 1, 1, 1));
    EXPECT_EQ(auths.Save(), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"InsertRow QV_DMAuth 0:DocRepoId=5 1:UserId=3 2:RoleId=0 "
                            L"3:UserOrRole=1 4:[Read]=1 5:Write=0 6:Manage=0",
                            L"InsertRow QV_DMAuth 0:DocRepoId=5 1:UserId=0 2:RoleId=7 "
                            L"3:UserOrRole=0 4:[Read]=1 5:Write=1 6:Manage=1",
                            L"CommitTrans"));
    EXPECT_EQ(auths.Count(), 0);
}

TEST_F(DocRepoAuthContract, SaveOfAnEmptySetOnlyCommits) {
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(auths.Save(), 0);
    EXPECT_THAT(db_->Ops(), ElementsAre(L"CommitTrans"));
}

TEST_F(DocRepoAuthContract, SaveRollsBackWholeWhenAnInsertFails) {
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    for (int user = 1; user <= 4; ++user) auths.Add(Rights(5, user, 0, 1, 1, 1, 1));
    db_->FailOn(L"InsertRow", 3, 2627, L"duplicate key");
    db_->FailOn(L"RollbackTrans", 1, 3903, L"no transaction");

    EXPECT_EQ(auths.Save(), 2627);
    EXPECT_EQ(auths.ErrNumber(), 2627);
    EXPECT_EQ(auths.ErrDesc(), L"duplicate key");
    EXPECT_THAT(db_->Ops(),
                ElementsAre(L"InsertRow", L"InsertRow", L"InsertRow", L"RollbackTrans"));
    EXPECT_EQ(auths.Count(), 0);
}

TEST_F(DocRepoAuthContract, SaveRollsBackWhenTheCommitFails) {
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    auths.Add(Rights(5, 1, 0, 1, 1, 1, 1));
    db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
    EXPECT_EQ(auths.Save(), 1205);
    EXPECT_THAT(db_->Ops(), ElementsAre(L"InsertRow", L"CommitTrans", L"RollbackTrans"));
    EXPECT_EQ(auths.Count(), 0);
}

TEST_F(DocRepoAuthContract, AnExceptionAmidTheInsertsRollsBackWhatWasInserted) {
    ThrowingAccessor::Register(L"never");
    DRM::DocRepoAuths auths;
    ASSERT_EQ(auths.Connect(L"recthrow:", 0, L"QVData", L"tok"), 0);
    auths.Add(Rights(5, 1, 0, 1, 1, 1, 1));
    auths.Add(Rights(5, 2, 0, 1, 1, 1, 1));
    db_->FailOn(L"InsertRow", 2, 0, L"");
    ThrowingAccessor::ThrowOnFailedInsert(true);
    EXPECT_EQ(auths.Save(), -1);
    ThrowingAccessor::ThrowOnFailedInsert(false);
    EXPECT_EQ(auths.ErrDesc(), L"insert failed\n");
    EXPECT_THAT(db_->Ops(), ElementsAre(L"InsertRow", L"InsertRow", L"RollbackTrans"));
    EXPECT_EQ(auths.Count(), 0);
}

TEST_F(DocRepoAuthContract, WithoutAccessorNothingIsTouchedAndTheSetIsKept) {
    db_->createNull = true;
    DRM::DocRepoAuths auths(DRM::filterForDocRepoAuth{5});
    ASSERT_EQ(auths.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    auths.Add(Rights(5, 1, 0, 1, 1, 1, 1));
    EXPECT_EQ(auths.Select(), 49600);
    EXPECT_EQ(auths.Select(3), 49600);
    EXPECT_EQ(auths.Delete(), 49600);
    EXPECT_EQ(auths.Save(), 49600);
    EXPECT_EQ(auths.ErrDesc(), L"远程数据库未连接");
    // Nothing was tried, so the caller can connect and save the same set.
    EXPECT_EQ(auths.Count(), 1);

    DRM::DocRepoAuth auth;
    EXPECT_EQ(auth.Save(), 49600);
    EXPECT_THAT(db_->calls, IsEmpty());
}

TEST_F(DocRepoAuthContract, FilterAndCopies) {
    DRM::DocRepoAuths auths;
    EXPECT_EQ(auths.fdr().docRepoId, 0);
    auths.set_fdra(DRM::filterForDocRepoAuth{12});
    EXPECT_EQ(auths.fdr().docRepoId, 12);
    auths.Add(Rights(12, 3, 0, 1, 1, 0, 1));

    DRM::DocRepoAuths copy(auths);
    EXPECT_EQ(copy.fdr().docRepoId, 12);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_NE(copy.Item(0), auths.Item(0));  // each owns its own elements
    EXPECT_EQ(copy.Auth(L"12")->manage(), 1);

    DRM::DocRepoAuths assigned;
    assigned.Add(Rights(1, 1, 0, 1, 0, 0, 0));
    assigned = copy;
    copy.Clear();
    ASSERT_EQ(assigned.Count(), 1);
    EXPECT_EQ(assigned.Auth(0)->docRepoId(), 12);
    EXPECT_EQ(assigned.fdr().docRepoId, 12);
}

TEST_F(DocRepoAuthContract, SelectionsRecordAnExceptionAsMinusOne) {
    ThrowingAccessor::Register(L"QV_");
    DRM::DocRepoAuths auths(DRM::filterForDocRepoAuth{5});
    ASSERT_EQ(auths.Connect(L"recthrow:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(auths.Select(), -1);
    EXPECT_EQ(auths.ErrDesc(), L"boom\n");
    EXPECT_EQ(auths.Select(3), -1);
    EXPECT_EQ(auths.ErrorLog().size(), 2u);
}

}  // namespace

}  // namespace zub::docvault::test
