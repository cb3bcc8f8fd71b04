#include "docvault/bo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "docvault/errors.h"
#include "probe_bo.h"
#include "recording_db.h"
#include "recording_nfs.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultschema/productstore.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

class BoTest : public ::testing::Test {
protected:
    void SetUp() override { db_ = &RecordingDb::Install(); }
    RecordingDb& db() { return *db_; }

    RecordingDb* db_ = nullptr;
};

TEST_F(BoTest, NewObjectHasNoErrorAndNoConnection) {
    ProbeBo bo;
    EXPECT_EQ(bo.ErrNumber(), 0);
    EXPECT_EQ(bo.errNumber(), 0);
    EXPECT_EQ(bo.ErrDesc(), L"");
    EXPECT_EQ(bo.errDescription(), L"");
    EXPECT_TRUE(bo.ErrorLog().empty());
    EXPECT_FALSE(bo.IsConnected());
    EXPECT_EQ(bo.GetKey(), L"");
}

TEST_F(BoTest, LastFailureStaysVisibleThroughLaterSuccess) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db().FailOn(L"ExecuteSql", 1, 501, L"first failure");
    db().FailOn(L"ExecuteSql", 2, 502, L"second failure");
    db().OnSelect(L"GetNewId", MakeRs({L"NewId"}, {{7LL}}));

    EXPECT_EQ(bo.GetSysId(3, 1), -1);
    EXPECT_EQ(bo.GetSysId(3, 1), -1);
    EXPECT_EQ(bo.GetSysId(3, 1), 7);

    EXPECT_EQ(bo.ErrNumber(), 502);
    EXPECT_EQ(bo.ErrDesc(), L"second failure");
    ASSERT_EQ(bo.ErrorLog().size(), 2u);
    EXPECT_EQ(bo.ErrorLog()[0].number, 501);
    EXPECT_EQ(bo.ErrorLog()[0].description, L"first failure");
    EXPECT_EQ(bo.ErrorLog()[1].text2, L"");
    EXPECT_EQ(bo.ErrorLog()[1].text3, L"");
    EXPECT_EQ(bo.ErrorLog()[1].n, 0u);
}

TEST_F(BoTest, ErrDescIsTheDescriptionOfTheLastEntry) {
    ProbeBo bo;
    bo.SetErr(11, L"one", L"x", L"y", 4);
    bo.RaiseUnknownError(12, L"two");
    EXPECT_EQ(bo.ErrNumber(), 12);
    EXPECT_EQ(bo.ErrDesc(), L"two");
    ASSERT_EQ(bo.ErrorLog().size(), 2u);
    EXPECT_EQ(bo.ErrorLog()[0].text2, L"x");
    EXPECT_EQ(bo.ErrorLog()[0].text3, L"y");
    EXPECT_EQ(bo.ErrorLog()[0].n, 4u);
}

TEST_F(BoTest, FourArgumentConnectAsksForAnAccessorWithTheGivenDescription) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 1433, L"QVData", L"tok"), 0);
    ASSERT_EQ(db().connections.size(), 1u);
    EXPECT_EQ(db().connections[0].server, L"rec:");
    EXPECT_EQ(db().connections[0].port, 1433);
    EXPECT_EQ(db().connections[0].database, L"QVData");
    EXPECT_EQ(db().connections[0].token, L"tok");
    EXPECT_TRUE(bo.IsConnected());
    EXPECT_EQ(bo.Server(), L"rec:");
    EXPECT_EQ(bo.Port(), 1433);
    EXPECT_EQ(bo.Token(), L"tok");
    EXPECT_EQ(bo.ConnState().appNo(), ZUBDB::ZUB_APPNO_DOCVAULT);
    EXPECT_TRUE(bo.ConnState().usable());

    // Connecting again replaces the accessor with a new one.
    ASSERT_EQ(bo.Connect(L"rec:", 1433, L"Other", L"tok2"), 0);
    ASSERT_EQ(db().connections.size(), 2u);
    EXPECT_EQ(db().connections[1].database, L"Other");
    EXPECT_EQ(db().connections[1].token, L"tok2");
}

TEST_F(BoTest, NullAccessorFromTheComponentMakesTheNextOperationReport49600) {
    ProbeBo bo;
    db().createNull = true;
    EXPECT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(db().connections.size(), 1u);
    EXPECT_FALSE(bo.IsConnected());

    EXPECT_EQ(bo.GetSysId(1, 1), -1);
    EXPECT_EQ(bo.ErrNumber(), DRM::Err::kNotConnected);
    EXPECT_EQ(bo.ErrDesc(), L"远程数据库未连接");
    EXPECT_TRUE(db().calls.empty());
}

TEST_F(BoTest, UnusableStateIsRefusedButItsServerPortAndTokenAreTakenOver) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 1, L"QVData", L"tok"), 0);
    ZUBDB::CDBAccessor* before = bo.Accessor();
    ASSERT_NE(before, nullptr);

    ZUBDB::CDBConnState state(L"rec:other", 2, L"QVData", L"", 0, L"", false,
                              ZUBDB::ZUB_APPNO_DOCVAULT, L"", false, 0, L"");
    state.set_token(L"tok2");  // not marked usable
    EXPECT_EQ(bo.Connect(state, L""), -1);
    EXPECT_EQ(bo.ErrNumber(), -1);
    EXPECT_EQ(bo.ErrDesc(), L"连接未初始化");
    EXPECT_EQ(bo.Server(), L"rec:other");
    EXPECT_EQ(bo.Port(), 2);
    EXPECT_EQ(bo.Token(), L"tok2");
    EXPECT_EQ(bo.Accessor(), before);
    EXPECT_EQ(db().connections.size(), 1u);
}

TEST_F(BoTest, StateConnectWithADatabaseNameReplacesTheDatabase) {
    ProbeBo bo;
    ZUBDB::CDBConnState state(L"rec:", 5, L"QVData", L"", 0, L"", false, ZUBDB::ZUB_APPNO_DOCVAULT,
                              L"", false, 0, L"");
    state.set_token(L"t");
    state.set_usable(true);
    ASSERT_EQ(bo.Connect(state, L"Elsewhere"), 0);
    ASSERT_EQ(db().connections.size(), 1u);
    EXPECT_EQ(db().connections[0].database, L"Elsewhere");
    EXPECT_EQ(bo.ConnState().database(), L"Elsewhere");
    EXPECT_EQ(state.database(), L"QVData");
}

TEST_F(BoTest, GetSysIdCallsTheProcedureWithBothArgumentsInOrder) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db().OnSelect(L"GetNewId", MakeRs({L"NewId"}, {{41LL}, {99LL}}));
    EXPECT_EQ(bo.GetSysId(3, 2), 41);
    ASSERT_EQ(db().calls.size(), 1u);
    EXPECT_EQ(db().calls[0].Describe(), L"ExecuteSql GetNewId ?,? 0:idName=3 1:n=2");
    EXPECT_EQ(db().calls[0].values[0].op, L"=");
    EXPECT_EQ(db().calls[0].values[1].op, L"=");
    EXPECT_EQ(bo.ErrNumber(), 0);
}

TEST_F(BoTest, GetSysIdWithoutARowRecordsTheFormattedText) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(bo.GetSysId(77, 1), -1);
    EXPECT_EQ(bo.ErrNumber(), -1);
    EXPECT_EQ(bo.ErrDesc(), L"生成编号失败，系统编号 77 未定义。");
}

TEST_F(BoTest, DatabaseFailureIsRecordedUnchangedAndAnUnnumberedOneIsNotSuccess) {
    ProbeBo bo;
    ASSERT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    ZUBDB::QVParams none(false);
    db().FailOn(L"DeleteRows", 1, 2627, L"constraint violated");
    ASSERT_NE(bo.Accessor()->DeleteRows(L"T", none, L"", L""), 0);
    EXPECT_EQ(bo.RecordDbError(), 2627);
    EXPECT_EQ(bo.ErrNumber(), 2627);
    EXPECT_EQ(bo.ErrDesc(), L"constraint violated");

    db().FailOn(L"DeleteRows", 2, 0, L"no number");
    ASSERT_NE(bo.Accessor()->DeleteRows(L"T", none, L"", L""), 0);
    EXPECT_EQ(bo.RecordDbError(), -1);
    EXPECT_EQ(bo.ErrDesc(), L"no number");
}

TEST_F(BoTest, FileServerFailureIsRecordedWithItsNumberAndText) {
    RecordingNfs& nfs = RecordingNfs::Install();
    nfs.FailOn(L"mk", 1, 7001, L"disk full");
    ProbeBo bo;
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    ASSERT_NE(cmd->mk(L"recfs:", 0, L"D:\\r", false), 0);
    EXPECT_EQ(bo.RecordNfsError(), 7001);
    EXPECT_EQ(bo.ErrNumber(), 7001);
    EXPECT_NE(bo.ErrDesc().find(L"disk full"), std::wstring::npos) << bo.ErrDesc();
}

TEST_F(BoTest, InsertedIdPrefersTheConnectionsOwnInsert) {
    ProbeBo bo;
    EXPECT_EQ(bo.InsertedId(12), 12);  // no accessor
    ASSERT_EQ(bo.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    EXPECT_EQ(bo.InsertedId(12), 12);  // accessor knows nothing
    db().lastInsertId = 9;
    EXPECT_EQ(bo.InsertedId(12), 9);
}

// Copies: each object owns its own accessor and log; ASan reports any
// double delete or use after free here.
TEST_F(BoTest, CopyOfAConnectedObjectGetsItsOwnConnectionAndLog) {
    auto source = std::make_unique<ProbeBo>();
    source->SetKey(L"k");
    ASSERT_EQ(source->Connect(L"rec:", 3, L"QVData", L"tok"), 0);
    source->RaiseUnknownError(5, L"earlier");

    ProbeBo copy(*source);
    ASSERT_EQ(db().connections.size(), 2u);
    EXPECT_EQ(db().connections[1].database, L"QVData");
    EXPECT_EQ(db().connections[1].token, L"tok");
    EXPECT_NE(copy.Accessor(), nullptr);
    EXPECT_NE(copy.Accessor(), source->Accessor());
    EXPECT_EQ(copy.GetKey(), L"k");
    EXPECT_EQ(copy.ErrNumber(), 5);
    EXPECT_EQ(copy.ErrDesc(), L"earlier");

    copy.RaiseUnknownError(6, L"copy only");
    EXPECT_EQ(source->ErrorLog().size(), 1u);
    EXPECT_EQ(source->ErrDesc(), L"earlier");

    source.reset();
    db().OnSelect(L"GetNewId", MakeRs({L"NewId"}, {{8LL}}));
    EXPECT_EQ(copy.GetSysId(1, 1), 8);
}

TEST_F(BoTest, AssignmentReplacesConnectionAndLogAndSurvivesSelfAssignment) {
    ProbeBo a;
    ASSERT_EQ(a.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    a.RaiseUnknownError(1, L"a");
    ProbeBo b;
    ASSERT_EQ(b.Connect(L"rec:", 0, L"Other", L"tok"), 0);
    b.RaiseUnknownError(2, L"b");

    b = a;
    EXPECT_NE(b.Accessor(), a.Accessor());
    EXPECT_NE(b.Accessor(), nullptr);
    EXPECT_EQ(db().connections.back().database, L"QVData");
    EXPECT_EQ(b.ErrDesc(), L"a");
    ASSERT_EQ(b.ErrorLog().size(), 1u);

    ZUBDB::CDBAccessor* own = b.Accessor();
    b = *&b;
    EXPECT_EQ(b.Accessor(), own);
    EXPECT_EQ(b.ErrDesc(), L"a");

    ProbeBo unconnected;
    b = unconnected;
    EXPECT_FALSE(b.IsConnected());
    EXPECT_EQ(b.ErrNumber(), 0);
    EXPECT_EQ(b.ErrDesc(), L"");
}

TEST_F(BoTest, CopyOfAnUnconnectedObjectStaysUnconnected) {
    ProbeBo source;
    db().createNull = true;
    ASSERT_EQ(source.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    db().createNull = false;
    ProbeBo copy(source);
    EXPECT_FALSE(copy.IsConnected());
    EXPECT_EQ(copy.Server(), L"rec:");
    EXPECT_EQ(db().connections.size(), 1u);
}

// Against the embedded store.
class BoStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_EQ(zub::vaultschema::ProductStore::Create(dir_.str(), "QVData", error), 0) << error;
        ASSERT_EQ(bo_.Connect(L"sqlite:" + dir_.wstr(), 0, L"QVData", L""), 0);
        ASSERT_TRUE(bo_.IsConnected());
    }

    void AddCounter(int idName, long long lastId) {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"IdName", idName, false, L"=");
        values.AddParam(1, L"LastId", lastId, false, L"=");
        ASSERT_EQ(bo_.Accessor()->InsertRow(L"QV_IdCounter", values, L"", L""), 0)
            << bo_.Accessor()->errDescription();
        ASSERT_EQ(bo_.Accessor()->CommitTrans(), 0) << bo_.Accessor()->errDescription();
    }

    zub::testsupport::TempDir dir_;
    ProbeBo bo_;
};

TEST_F(BoStoreTest, GetSysIdHandsOutConsecutiveBlocks) {
    AddCounter(5, 100);
    EXPECT_EQ(bo_.GetSysId(5, 1), 101);
    EXPECT_EQ(bo_.GetSysId(5, 3), 102);
    EXPECT_EQ(bo_.GetSysId(5, 1), 105);
    EXPECT_EQ(bo_.ErrNumber(), 0) << bo_.ErrDesc();
}

TEST_F(BoStoreTest, GetSysIdOfAnUndefinedNameRecordsTheFormattedText) {
    EXPECT_EQ(bo_.GetSysId(9, 1), -1);
    EXPECT_EQ(bo_.ErrNumber(), -1);
    EXPECT_EQ(bo_.ErrDesc(), L"生成编号失败，系统编号 9 未定义。");
}

TEST_F(BoStoreTest, ConnectLocalOpensTheDatabaseFileAndACopyOpensItToo) {
    ProbeBo local;
    ASSERT_EQ(local.ConnectLocal((dir_.path() / "QVData.sqlite3").wstring(), L""), 0);
    ASSERT_TRUE(local.IsConnected());
    EXPECT_EQ(local.Server(), L"");
    AddCounter(4, 0);

    ProbeBo copy(local);
    ASSERT_TRUE(copy.IsConnected());
    EXPECT_NE(copy.Accessor(), local.Accessor());
    EXPECT_EQ(local.GetSysId(4, 1), 1);
    EXPECT_EQ(copy.GetSysId(4, 1), 2);
}

// Callers of the library never register the product's store themselves.
TEST_F(BoStoreTest, ConnectingNeedsNoRegistrationByTheCaller) {
    ZUBDB::RegisterEmbeddedStore(L"sqlite", nullptr);
    ProbeBo remote;
    ASSERT_EQ(remote.Connect(L"sqlite:" + dir_.wstr(), 0, L"QVData", L""), 0);
    EXPECT_TRUE(remote.IsConnected());

    ZUBDB::RegisterEmbeddedStore(L"sqlite", nullptr);
    ProbeBo local;
    ASSERT_EQ(local.ConnectLocal((dir_.path() / "QVData.sqlite3").wstring(), L""), 0);
    EXPECT_TRUE(local.IsConnected());
    EXPECT_EQ(ZUBDB::FindEmbeddedStore(L"sqlite"), zub::vaultschema::ProductStore::Definition());
}

}  // namespace

}  // namespace zub::docvault::test
