#include "internal/fileserverlogin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "recording_db.h"
#include "recording_nfs.h"
#include "recording_nfs_backend.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultschema/productstore.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

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
            return std::make_unique<RecordingNfsBackend>(RecordingNfs::Get(), server);
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
    zub::testsupport::TempDir dir;
    std::wstring error;
    ASSERT_EQ(zub::vaultschema::ProductStore::Create(dir.str(), "QVData", error), 0) << error;

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

// Thread-safe stand-ins for the racing logins: the recording fakes keep
// unguarded lists, which the lock under test must not be needed for.
std::atomic<int> g_selects{0};
std::atomic<int> g_logins{0};

class PasswordAccessor : public ZUBDB::CDBAccessor {
public:
    int InsertRow(const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                  const std::wstring&) override {
        return 0;
    }
    int UpdateRows(const std::wstring&, const ZUBDB::QVParams&, const ZUBDB::QVParams&,
                   const std::wstring&, const std::wstring&) override {
        return 0;
    }
    int DeleteRows(const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                   const std::wstring&) override {
        return 0;
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring&,
                   const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                   const std::wstring&, const std::wstring&, int, int) override {
        ++g_selects;
        out = std::make_unique<ZUBDB::CDBRecordset>(MakeRs({L"sysPwd"}, {{std::wstring(L"pw")}}));
        return 0;
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>&, const std::wstring&,
                   const ZUBDB::QVParams&, const std::wstring&, int, int) override {
        return 0;
    }
    int BeginTrans() override { return 0; }
    int CommitTrans() override { return 0; }
    int RollbackTrans() override { return 0; }
    long long LastInsertId() const override { return 0; }
};

// A login that takes long enough for every racing thread to pass the
// "already logged in?" check if that check were not under the lock.
class SlowLoginBackend : public RecordingNfsBackend {
public:
    explicit SlowLoginBackend(const std::wstring& server)
        : RecordingNfsBackend(RecordingNfs::Get(), server) {}
    void logIn(const std::wstring&, const std::wstring&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++g_logins;
    }
};

TEST_F(FileServerLoginTest, ThreadsRacingToOneServerLogInOnceAndReturnOnlyAfterIt) {
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"pwdb", [](const ZUBDB::QVSvrInfo&, const std::wstring&) {
            return std::make_unique<PasswordAccessor>();
        });
    NFS::CNFS_Cmd::Instance()->RegisterBackend(
        L"slowfs", [](const std::wstring& server, unsigned short) {
            return std::make_unique<SlowLoginBackend>(server);
        });
    g_selects = 0;
    g_logins = 0;

    constexpr int kThreads = 6;
    std::latch start(kThreads);
    std::vector<int> loginsSeen(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            login().EnsureLogin(L"pwdb:", 0, L"tok", L"slowfs:a", 0);
            loginsSeen[static_cast<std::size_t>(i)] = g_logins.load();
        });
    }
    for (auto& t : threads) t.join();

    NFS::CNFS_Cmd::Instance()->UnregisterBackend(L"slowfs");
    ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"pwdb");

    EXPECT_EQ(g_logins.load(), 1);
    EXPECT_EQ(g_selects.load(), 1);
    EXPECT_TRUE(login().LoggedIn());
    // No thread went on to use the server before the login was done.
    EXPECT_EQ(loginsSeen, std::vector<int>(kThreads, 1));
}

}  // namespace

}  // namespace zub::docvault::test
