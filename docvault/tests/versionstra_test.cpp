// Contract tests of DRM::VersionStra against the recording database.
#include "docvault/versionstra.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "recording_db.h"
#include "throwing_accessor.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VersionStraContract : public ::testing::Test {
protected:
    void SetUp() override { db_ = &RecordingDb::Install(); }
    RecordingDb* db_ = nullptr;
};

TEST(VersionStraMembers, ConstructorOrderAndDefaults) {
    DRM::VersionStra def;
    EXPECT_EQ(def.versionStraId(), 1);
    EXPECT_EQ(def.seriaNumStra(), 0);
    EXPECT_EQ(def.begin_Sub(), 0);
    EXPECT_EQ(def.createBSLNAdv(), 0);

    DRM::VersionStra full(2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(full.seriaNumStra(), 2);
    EXPECT_EQ(full.begin_Main(), 3);
    EXPECT_EQ(full.begin_Sub(), 4);
    EXPECT_EQ(full.newDocBeginNum(), 5);
    EXPECT_EQ(full.docAdvScope(), 6);
    EXPECT_EQ(full.createBSLNAdv(), 7);
    EXPECT_EQ(full.versionStraId(), 8);
    EXPECT_TRUE(full.GetKey().empty());
}

TEST_F(VersionStraContract, ReadLoadsTheRowByColumnName) {
    DRM::VersionStra vs;
    ASSERT_EQ(vs.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    // Column order differs from the members': values are taken by name.
    db_->OnSelect(L"QV_DMVerStrategy",
                  MakeRs({L"CreateBSLNAdv", L"DocAdvScope", L"NewDocBeginNum", L"Begin_Sub",
                          L"Begin_Main", L"SeriaNumStra", L"VersionStraId"},
                         {{7LL, 6LL, 5LL, 4LL, 3LL, 2LL, 4LL}}));

    EXPECT_EQ(vs.Read(4), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"SelectRows QV_DMVerStrategy () where 0:VersionStraId=4"));
    EXPECT_EQ(vs.versionStraId(), 4);
    EXPECT_EQ(vs.seriaNumStra(), 2);
    EXPECT_EQ(vs.begin_Main(), 3);
    EXPECT_EQ(vs.begin_Sub(), 4);
    EXPECT_EQ(vs.newDocBeginNum(), 5);
    EXPECT_EQ(vs.docAdvScope(), 6);
    EXPECT_EQ(vs.createBSLNAdv(), 7);
}

TEST_F(VersionStraContract, ReadOfAMissingRowKeepsTheMembersAndIsNoError) {
    DRM::VersionStra vs(2, 1, 0, 1, 0, 0, 3);
    ASSERT_EQ(vs.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(vs.Read(99), 0);
    EXPECT_EQ(vs.ErrNumber(), 0);
    EXPECT_EQ(vs.versionStraId(), 3);
    EXPECT_EQ(vs.seriaNumStra(), 2);
    EXPECT_EQ(vs.begin_Main(), 1);

    db_->FailOn(L"SelectRows", 2, 208, L"no table");
    EXPECT_EQ(vs.Read(1), 208);
    EXPECT_EQ(vs.ErrDesc(), L"no table");
}

TEST_F(VersionStraContract, UpdateWritesTheOwnRowWithLowerCaseBeginSub) {
    DRM::VersionStra vs(2, 1, 0, 1, 5, 6, 3);
    ASSERT_EQ(vs.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(vs.Update(), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"UpdateRows QV_DMVerStrategy 0:SeriaNumStra=2 1:Begin_Main=1 "
                            L"2:Begin_sub=0 3:NewDocBeginNum=1 4:DocAdvScope=5 5:CreateBSLNAdv=6 "
                            L"where 0:VersionStraId=3",
                            L"CommitTrans"));
}

TEST_F(VersionStraContract, SaveWritesEveryRowAndInsertsNone) {
    DRM::VersionStra vs(1, 0, 0, 0, 0, 0, 3);
    ASSERT_EQ(vs.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(vs.Save(), 0);
    EXPECT_THAT(db_->Lines(),
                ElementsAre(L"UpdateRows QV_DMVerStrategy 0:SeriaNumStra=1 1:Begin_Main=0 "
                            L"2:Begin_sub=0 3:NewDocBeginNum=0 4:DocAdvScope=0 5:CreateBSLNAdv=0",
                            L"CommitTrans"));
}

TEST_F(VersionStraContract, WriteFailuresAreRecordedAndTheUnitIsNotLeftOpen) {
    DRM::VersionStra vs;
    ASSERT_EQ(vs.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db_->FailOn(L"UpdateRows", 1, 547, L"check constraint");
    EXPECT_EQ(vs.Update(), 547);
    EXPECT_EQ(vs.ErrDesc(), L"check constraint");
    EXPECT_THAT(db_->Ops(), ElementsAre(L"UpdateRows"));

    db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
    EXPECT_EQ(vs.Save(), 1205);
    EXPECT_THAT(db_->Ops(),
                ElementsAre(L"UpdateRows", L"UpdateRows", L"CommitTrans", L"RollbackTrans"));
}

TEST_F(VersionStraContract, WithoutAccessor49600AndNoCall) {
    DRM::VersionStra vs;
    EXPECT_EQ(vs.Read(1), 49600);
    EXPECT_EQ(vs.Update(), 49600);
    EXPECT_EQ(vs.Save(), 49600);
    EXPECT_EQ(vs.ErrDesc(), L"远程数据库未连接");
    EXPECT_THAT(db_->calls, IsEmpty());
}

TEST_F(VersionStraContract, AnExceptionIsRecordedAsMinusOne) {
    ThrowingAccessor::Register(L"QV_DMVerStrategy");
    DRM::VersionStra vs(2, 1, 0, 0, 0, 0, 3);
    ASSERT_EQ(vs.Connect(L"recthrow:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(vs.Read(3), -1);
    EXPECT_EQ(vs.ErrNumber(), -1);
    EXPECT_EQ(vs.ErrDesc(), L"boom\n");
    EXPECT_EQ(vs.seriaNumStra(), 2);
}

}  // namespace

}  // namespace zub::docvault::test
