#include "docvault/fileserverlogin.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "recording_db.h"
#include "recording_nfs.h"
#include "recording_nfs_backend.h"
#include "tempdir.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultschema/productstore.h"

namespace {

using testsupport::MakeRs;
using testsupport::RecordingDb;
using testsupport::RecordingNfs;
using Lines = std::vector<std::wstring>;

class FileServerLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = &RecordingDb::Install();
        nfs_ = &RecordingNfs::Install();
    }
    void Password(const std::wstring& pw) {
        db_->OnSelect(L"QV_SysInfo", MakeRs({L"sysPwd"}, {{pw}}));
    }
    FileServerLogin& login() { return FileServerLogin::Get(); }

    RecordingDb* db_ = nullptr;
    RecordingNfs* nfs_ = nullptr;
};

TEST_F(FileServerLoginTest, ReadsThePasswordFromQVSystemAndLogsInOnce) {
    Password(L"pw1");
    login().EnsureLogin(L"rec:", 1433, L"tok", L"recfs:", 0);
    login().EnsureLogin(L"rec:", 1433, L"tok", L"recfs:", 0);

    EXPECT_TRUE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls, Lines{L"logIn system pw1"});
    EXPECT_EQ(db_->Lines(), Lines{L"SelectRows QV_SysInfo (sysPwd)"});
    ASSERT_EQ(db_->connections.size(), 1u);
    EXPECT_EQ(db_->connections[0].server, L"rec:");
    EXPECT_EQ(db_->connections[0].port, 1433);
    EXPECT_EQ(db_->connections[0].database, L"QVSystem");
    EXPECT_EQ(db_->connections[0].token, L"tok");
}

TEST_F(FileServerLoginTest, LogsInAgainWhenServerOrPortChanges) {
    Password(L"pw1");
    Password(L"pw2");
    Password(L"pw3");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:b", 0);
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:b", 8080);
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:b", 8080);

    EXPECT_EQ(nfs_->calls, (Lines{L"logIn system pw1", L"logIn system pw2", L"logIn system pw3"}));
    EXPECT_EQ(nfs_->servers, (Lines{L"recfs:a 0", L"recfs:b 0", L"recfs:b 8080"}));
    EXPECT_EQ(db_->calls.size(), 3u);
}

TEST_F(FileServerLoginTest, ThreeArgumentFormLogsInToTheDatabaseServerText) {
    NFS::CNFS_Cmd::Instance()->RegisterBackend(
        L"rec", [](const std::wstring& server, unsigned short) -> std::unique_ptr<NFS::NfsBackend> {
            return std::make_unique<testsupport::RecordingNfsBackend>(RecordingNfs::Get(), server);
        });
    Password(L"secret");
    login().EnsureLogin(L"rec:", 0, L"tok");
    login().EnsureLogin(L"rec:", 0, L"tok");
    NFS::CNFS_Cmd::Instance()->UnregisterBackend(L"rec");

    EXPECT_EQ(nfs_->calls, Lines{L"logIn system secret"});
    EXPECT_TRUE(login().LoggedIn());
    EXPECT_EQ(db_->calls.size(), 1u);
}

TEST_F(FileServerLoginTest, FailedSelectLeavesTheFlagFalseAndIsTriedAgain) {
    Password(L"pw1");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);
    ASSERT_TRUE(login().LoggedIn());

    db_->FailOn(L"SelectRows", 2, 208, L"Invalid object name 'QV_SysInfo'");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:b", 0);
    EXPECT_FALSE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls, Lines{L"logIn system pw1"});

    // Not remembered as logged in, so even the first server is read again.
    Password(L"pw2");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);
    EXPECT_TRUE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls, (Lines{L"logIn system pw1", L"logIn system pw2"}));
    EXPECT_EQ(db_->calls.size(), 3u);
}

TEST_F(FileServerLoginTest, NullTemporaryAccessorCountsAsAFailedSelect) {
    Password(L"pw1");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:", 0);
    ASSERT_TRUE(login().LoggedIn());

    db_->createNull = true;
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:other", 0);
    EXPECT_FALSE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls.size(), 1u);
}

TEST_F(FileServerLoginTest, EmptySysInfoChangesNothing) {
    Password(L"pw1");
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);

    // No row queued: the select answers an empty record set.
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:b", 0);
    EXPECT_TRUE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls, Lines{L"logIn system pw1"});
    EXPECT_EQ(db_->calls.size(), 2u);

    // Still remembered as logged in to the first server.
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);
    EXPECT_EQ(db_->calls.size(), 2u);

    // And nothing at all before any login.
    login().Reset();
    login().EnsureLogin(L"rec:", 0, L"tok", L"recfs:a", 0);
    EXPECT_FALSE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls.size(), 1u);
}

TEST_F(FileServerLoginTest, UsesThePasswordTheEmbeddedStoreGenerated) {
    testsupport::TempDir dir;
    std::wstring error;
    ASSERT_EQ(vaultschema::ProductStore::Create(dir.str(), "QVData", error), 0) << error;

    // Read the password independently of the code under test.
    const std::wstring server = L"sqlite:" + dir.wstr();
    auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(server, 0, L"QVSystem", L""), L"");
    ASSERT_NE(accessor, nullptr);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ASSERT_EQ(accessor->SelectRows(rs, L"QV_SysInfo", L"sysPwd", ZUBDB::QVParams(false), L"", L"",
                                   L"", 0, 0),
              0);
    ASSERT_TRUE(rs && !rs->IsEOF());
    const std::wstring pw = rs->GetString(L"sysPwd");
    ASSERT_EQ(pw.size(), 32u);

    login().EnsureLogin(server, 0, L"", L"recfs:", 0);
    EXPECT_TRUE(login().LoggedIn());
    EXPECT_EQ(nfs_->calls, Lines{L"logIn system " + pw});
}

}  // namespace
