#include "cadlink/proe_command.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "test_support.h"
#include "zub/text.h"
#include "zubtest/files.h"

namespace ZUBCAX {
namespace {

using zub::cadlink::test::FakeBridge;
using zub::cadlink::test::TempDir;

const std::string kAB =
    "<?xml version='1.0'?><dd><tabs>"
    "<tab name='bom'><fld name='id' dt='1' isPK='1'/><fld name='qty' dt='3'/>"
    "<fld name='note' dt='4'/></tab>"
    "<tab name='a'><fld name='x' dt='2'/></tab>"
    "<tab name='b'><fld name='y' dt='3'/></tab>"
    "<tab name='twokeys'><fld name='k1' dt='1' isPK='1'/><fld name='k2' dt='1' isPK='1'/></tab>"
    "</tabs></dd>";

class CadProeCommand : public ::testing::Test {
protected:
    CadProeCommand() {
        zub::testsupport::WriteFile(dir.path() / "dd_2.xml", kAB);
        auto fake = std::make_unique<FakeBridge>();
        bridge = fake.get();
        ConnectContext context;
        context.appHandle = &context;
        context.appInfo = L"info";
        context.creator = 7;
        context.versionName = L"Wildfire 4.0";
        command = std::make_unique<ProeCommand>(context, std::move(fake), dir.file("dd_2.xml"));
    }

    std::filesystem::path Db() const { return dir.path() / "mirror.db"; }
    std::wstring DbW() const { return dir.file("mirror.db"); }
    // The names in the folder besides the description.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename() != "dd_2.xml")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The database the bridge was handed: a new file of its own beside the target.
    std::wstring Staged() const {
        const std::wstring prefix = dir.file(".mirror.db.zub-refresh-");
        for (const std::wstring& call : bridge->calls) {
            const std::size_t at = call.find(prefix);
            if (call.rfind(L"RefreshTable(", 0) == 0 && at != std::wstring::npos)
                return call.substr(at, prefix.size() + 16);
        }
        return L"";
    }

    TempDir dir;
    FakeBridge* bridge = nullptr;
    std::unique_ptr<ProeCommand> command;
};

struct Forwarded {
    const char* name;
    std::function<int(ProeCommand&)> call;
    const wchar_t* bridgeCall;
};

std::vector<Forwarded> ForwardedOperations() {
    return {
        {"CreateMenu", [](ProeCommand& c) { return c.CreateMenu(L"Vault"); }, L"CreateMenu(Vault)"},
        {"UpdateTable", [](ProeCommand& c) { return c.UpdateTable(L"bom", L"m.db"); },
         L"UpdateTable(bom|m.db)"},
        {"SaveFile",
         [](ProeCommand& c) {
             std::wstring text;
             return c.SaveFile(text);
         },
         L"SaveFile()"},
        {"CloseFile", [](ProeCommand& c) { return c.CloseFile(L"C:\\w\\a.prt"); }, L"CloseFile()"},
        {"GetDependencies",
         [](ProeCommand& c) {
             std::wstring text;
             return c.GetDependencies(text);
         },
         L"GetDependencies()"},
        {"OpenFile", [](ProeCommand& c) { return c.OpenFile(L"C:\\w\\a.prt"); },
         L"OpenFile(C:\\w\\a.prt)"},
    };
}

TEST_F(CadProeCommand, TakesOverTheContext) {
    EXPECT_EQ(command->errNumber(), 0);
    EXPECT_EQ(command->errText(), L"");
    EXPECT_EQ(command->creator(), 7);
    EXPECT_EQ(command->appInfo(), L"info");
    EXPECT_EQ(command->versionName(), L"Wildfire 4.0");
    EXPECT_NE(command->appHandle(), nullptr);
    EXPECT_TRUE(command->HasBridge());
}

TEST_F(CadProeCommand, ForwardsAndPassesSuccessBack) {
    for (const Forwarded& op : ForwardedOperations()) {
        bridge->calls.clear();
        EXPECT_EQ(op.call(*command), 0) << op.name;
        ASSERT_FALSE(bridge->calls.empty()) << op.name;
        EXPECT_EQ(bridge->calls.back(), op.bridgeCall) << op.name;
        EXPECT_EQ(command->errNumber(), 0) << op.name;
    }
}

TEST_F(CadProeCommand, CopiesTheBridgesErrorOnFailure) {
    int n = 0;
    for (const Forwarded& op : ForwardedOperations()) {
        bridge->result = 30 + n;
        bridge->failNumber = 500 + n;
        bridge->failText = L"bridge says " + std::to_wstring(n);
        EXPECT_EQ(op.call(*command), 30 + n) << op.name;
        EXPECT_EQ(command->errNumber(), 500 + n) << op.name;
        EXPECT_EQ(command->errText(), L"bridge says " + std::to_wstring(n)) << op.name;
        ++n;
    }
}

TEST_F(CadProeCommand, ExceptionsFromTheBridgeStayInside) {
    bridge->throwInstead = true;
    for (const Forwarded& op : ForwardedOperations()) {
        EXPECT_EQ(op.call(*command), -1) << op.name;
        EXPECT_EQ(command->errNumber(), -1);
        EXPECT_EQ(command->errText(),
                  L"[ProeCommand::" + zub::Utf8ToWide(op.name) + L"()]: bridge went away");
    }
}

TEST_F(CadProeCommand, TextsComeBackFromTheBridge) {
    bridge->textOut = L"C:\\w\\a.prt";
    std::wstring saved;
    EXPECT_EQ(command->SaveFile(saved), 0);
    EXPECT_EQ(saved, L"C:\\w\\a.prt");
    bridge->textOut = L"b.prt\nc.prt";
    std::wstring deps;
    EXPECT_EQ(command->GetDependencies(deps), 0);
    EXPECT_EQ(deps, L"b.prt\nc.prt");
}

TEST_F(CadProeCommand, ConnectionCallsGoToTheBridge) {
    EXPECT_TRUE(command->ConnIsValid());
    bridge->result = 1;
    EXPECT_FALSE(command->ConnIsValid());
    command->Disconnect();
    EXPECT_EQ(bridge->calls,
              (std::vector<std::wstring>{L"ConnIsValid()", L"ConnIsValid()", L"Disconnect()"}));
}

TEST_F(CadProeCommand, OpenFileClosesTheSameNameFromAnotherDirectoryFirst) {
    bridge->currentModel = L"C:\\work\\bracket.prt.2";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(command->OpenFile(L"D:\\other\\bracket.prt.3"), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(bridge->calls, (std::vector<std::wstring>{L"GetCurrentMdlFullName()", L"CloseFile()",
                                                        L"OpenFile(D:\\other\\bracket.prt.3)"}));
}

TEST_F(CadProeCommand, OpenFileIgnoresAFailedCloseOfTheOtherModel) {
    bridge->currentModel = L"/a/bracket.prt";
    bridge->result = 4;
    EXPECT_EQ(command->OpenFile(L"/b/bracket.prt"), 4);
    EXPECT_EQ(bridge->calls.size(), 3u);
    EXPECT_EQ(bridge->calls.back(), L"OpenFile(/b/bracket.prt)");
}

TEST_F(CadProeCommand, OpenFileKeepsTheCurrentModelOtherwise) {
    for (const wchar_t* current : {L"", L"C:\\work\\bracket.prt", L"C:\\work\\plate.prt"}) {
        bridge->calls.clear();
        bridge->currentModel = current;
        EXPECT_EQ(command->OpenFile(L"C:\\work\\bracket.prt"), 0);
        EXPECT_EQ(bridge->calls, (std::vector<std::wstring>{L"GetCurrentMdlFullName()",
                                                            L"OpenFile(C:\\work\\bracket.prt)"}))
            << current;
    }
}

TEST_F(CadProeCommand, RefreshCreatesTheMirrorTablesThenCallsTheBridge) {
    EXPECT_EQ(command->RefreshTable(L"bom", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableSql(Db()),
              (std::vector<std::string>{"CREATE TABLE 'CAXS_2_bom' (id Integer primary key not "
                                        "null,qty Real,note Text,CAXS_flag Integer)"}));
    ASSERT_FALSE(Staged().empty()) << "the bridge fills a new file, not the target";
    EXPECT_EQ(bridge->calls, (std::vector<std::wstring>{L"RefreshTable(bom|" + Staged() + L")"}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"mirror.db"})) << "the new file took its place";
    // Committed and closed before the bridge looked.
    EXPECT_EQ(bridge->tablesSeen, (std::vector<std::string>{"CAXS_2_bom"}));
    EXPECT_EQ(command->descErrNumber(), 0);
}

TEST_F(CadProeCommand, RefreshPassesTheBridgesResultAndError) {
    bridge->result = 9;
    bridge->failNumber = 77;
    bridge->failText = L"no model";
    EXPECT_EQ(command->RefreshTable(L"bom", DbW()), 9);
    EXPECT_EQ(command->errNumber(), 77);
    EXPECT_EQ(command->errText(), L"no model");
}

TEST_F(CadProeCommand, RefreshTableListWithAnEmptyName) {
    EXPECT_EQ(command->RefreshTable(L"a,,b", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()),
              (std::vector<std::string>{"CAXS_2_a", "CAXS_2_b"}));
    EXPECT_EQ(bridge->calls.back(), L"RefreshTable(a,,b|" + Staged() + L")");
}

TEST_F(CadProeCommand, UnknownTablesAreSkipped) {
    EXPECT_EQ(command->RefreshTable(L"nope,b", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"CAXS_2_b"}));
}

TEST_F(CadProeCommand, SecondPrimaryKeyFailsWithoutCallingTheBridge) {
    EXPECT_EQ(command->RefreshTable(L"a,twokeys,b", DbW()), -1);
    EXPECT_EQ(command->errNumber(), -1);
    EXPECT_EQ(command->errText(),
              L"[ProeCommand::RefreshTable()]: Create Table error, SQLITE_ERROR[1]: table "
              L"\"CAXS_2_twokeys\" has more than one primary key \n");
    EXPECT_TRUE(bridge->calls.empty());
    EXPECT_TRUE(Files().empty()) << "nothing is left behind";
}

TEST_F(CadProeCommand, RefreshReplacesTheDatabaseFile) {
    ASSERT_EQ(command->RefreshTable(L"a,b", DbW()), 0);
    ASSERT_EQ(command->RefreshTable(L"b", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"CAXS_2_b"}));
    zub::testsupport::WriteFile(Db(), "not a database at all, just text that is long enough......");
    zub::testsupport::WriteFile(dir.path() / "mirror.db-journal", "stale journal");
    ASSERT_EQ(command->RefreshTable(L"a", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"CAXS_2_a"}));
}

TEST_F(CadProeCommand, UnopenableDatabaseFailsWithoutCallingTheBridge) {
    const std::wstring path = dir.file("missing-folder/m.db");
    EXPECT_EQ(command->RefreshTable(L"bom", path), -1);
    EXPECT_EQ(command->errText(),
              L"[ProeCommand::RefreshTable()]: Create Table error, cannot create a file beside " +
                  path + L": No such file or directory \n");
    EXPECT_TRUE(bridge->calls.empty());
}

TEST_F(CadProeCommand, DescriptionIsLoadedOnceAndKept) {
    ASSERT_EQ(command->RefreshTable(L"a", DbW()), 0);
    zub::testsupport::WriteFile(dir.path() / "dd_2.xml", "<dd><tabs/></dd>");
    ASSERT_EQ(command->RefreshTable(L"a,b", DbW()), 0);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()),
              (std::vector<std::string>{"CAXS_2_a", "CAXS_2_b"}));
}

TEST_F(CadProeCommand, MissingOrMalformedDescriptionStillCallsTheBridgeAndIsRetried) {
    for (const char* broken : {"", "<dd><tabs><tab name='a'></dd>"}) {
        ConnectContext context;
        auto fake = std::make_unique<FakeBridge>();
        FakeBridge* seen = fake.get();
        const std::wstring path = dir.file("other.xml");
        std::filesystem::remove(dir.path() / "other.xml");
        if (*broken != '\0') zub::testsupport::WriteFile(dir.path() / "other.xml", broken);
        ProeCommand cmd(context, std::move(fake), path);

        EXPECT_EQ(cmd.RefreshTable(L"a", DbW()), 0) << broken;
        EXPECT_EQ(cmd.descErrNumber(), 1);
        EXPECT_EQ(cmd.descErrText(), L"Document not parsed successfully. \n");
        EXPECT_TRUE(zub::cadlink::test::TableNames(Db()).empty());
        EXPECT_EQ(seen->calls.size(), 1u);

        zub::testsupport::WriteFile(dir.path() / "other.xml", kAB);
        EXPECT_EQ(cmd.RefreshTable(L"a", DbW()), 0);
        EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"CAXS_2_a"}));
        EXPECT_EQ(cmd.descErrNumber(), 0);
        EXPECT_EQ(cmd.descErrText(), L"");
    }
}

// A database with committed rows that live only in its write-ahead log, as a
// store that another program was using leaves it.
void MakeWalDatabase(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA journal_mode=WAL; create table precious(x);"
                           "insert into precious values (1), (2);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_GT(std::filesystem::file_size(path.string() + "-wal"), 0u);
}

std::map<std::string, std::string> Contents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        out[entry.path().filename().string()] = zub::testsupport::ReadFile(entry.path());
    return out;
}

TEST_F(CadProeCommand, AFailedRefreshLeavesTheOldDatabaseAsItWas) {
    const struct {
        const char* what;
        std::function<void(FakeBridge&)> arrange;
        const wchar_t* tables;
        int result;
    } cases[] = {
        {"the bridge fails", [](FakeBridge& b) { b.result = 9; }, L"bom", 9},
        {"the bridge throws", [](FakeBridge& b) { b.throwInstead = true; }, L"bom", -1},
        {"a mirror table cannot be made", [](FakeBridge&) {}, L"a,twokeys", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename() != "dd_2.xml") std::filesystem::remove(entry.path());
        MakeWalDatabase(Db());
        const auto before = Contents(dir.path());
        *bridge = FakeBridge();
        c.arrange(*bridge);
        EXPECT_EQ(command->RefreshTable(c.tables, DbW()), c.result);
        EXPECT_EQ(Contents(dir.path()), before) << "the file and its log untouched, nothing added";
        EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"precious"}));
    }
}

TEST_F(CadProeCommand, ASuccessfulRefreshReplacesADatabaseAndItsLog) {
    MakeWalDatabase(Db());
    ASSERT_EQ(command->RefreshTable(L"a", DbW()), 0) << command->errText();
    EXPECT_EQ(Files(), (std::vector<std::string>{"mirror.db"}));
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"CAXS_2_a"}));
}

TEST_F(CadProeCommand, ARefreshDoesNotReplaceADatabaseInUse) {
    MakeWalDatabase(Db());
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(Db().c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(reader, "begin; select count(*) from precious;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    const auto before = Contents(dir.path());
    EXPECT_EQ(command->RefreshTable(L"a", DbW()), -1);
    EXPECT_NE(command->errText().find(L"cannot settle the journal of " + DbW()), std::wstring::npos)
        << zub::WideToUtf8(command->errText());
    sqlite3_close(reader);
    EXPECT_EQ(zub::cadlink::test::TableNames(Db()), (std::vector<std::string>{"precious"}));
    EXPECT_EQ(Contents(dir.path()).size(), before.size()) << "no staged file left";
}

TEST_F(CadProeCommand, ARefreshRemovesWhatDeadRefreshesLeftButNotALiveOnes) {
    const std::filesystem::path dead = dir.path() / ".mirror.db.zub-refresh-00000000000000aa";
    const std::filesystem::path live = dir.path() / ".mirror.db.zub-refresh-00000000000000bb";
    const std::filesystem::path user = dir.path() / ".mirror.db.zub-refresh-mine";
    for (const auto& p : {dead, live, user}) zub::testsupport::WriteFile(p, "x");
    zub::testsupport::WriteFile(dead.string() + "-journal", "x");
    const int fd = ::open(live.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ASSERT_EQ(command->RefreshTable(L"a", DbW()), 0);
    ::close(fd);
    EXPECT_EQ(Files(), (std::vector<std::string>{".mirror.db.zub-refresh-00000000000000bb",
                                                 ".mirror.db.zub-refresh-mine", "mirror.db"}));
}

TEST_F(CadProeCommand, TheNewFileKeepsTheAccessRightsOfTheOld) {
    zub::testsupport::WriteFile(Db(), "");
    std::filesystem::permissions(Db(), std::filesystem::perms(0600));
    ASSERT_EQ(command->RefreshTable(L"a", DbW()), 0);
    EXPECT_EQ(std::filesystem::status(Db()).permissions(), std::filesystem::perms(0600));
}

TEST(CadProeCommandDescription, ShippedBesideTheLibrary) {
    const std::wstring path = ProeCommand::DefaultDescriptionPath();
    const std::wstring tail = L"/cadlink//zh-cn/dd_2.xml";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    EXPECT_TRUE(std::filesystem::exists(zub::WideToUtf8(path)));
}

TEST(CadProeCommandWithoutBridge, EveryBridgeOperationFailsClearly) {
    TempDir dir;
    zub::testsupport::WriteFile(dir.path() / "mirror.db", "kept");
    ConnectContext context;
    context.versionName = L"Wildfire 2.0";
    ProeCommand command(context, nullptr, dir.file("dd_2.xml"));
    EXPECT_FALSE(command.HasBridge());
    EXPECT_FALSE(command.ConnIsValid());
    command.Disconnect();
    for (const Forwarded& op : ForwardedOperations()) {
        EXPECT_EQ(op.call(command), ProeCommand::kNoBridge) << op.name;
        EXPECT_EQ(command.errNumber(), ProeCommand::kNoBridge);
        EXPECT_EQ(command.errText(),
                  L"ZUBCAX::ProeCommand: no CAD bridge command for version \"Wildfire 2.0\"");
    }
    EXPECT_EQ(command.RefreshTable(L"bom", dir.file("mirror.db")), ProeCommand::kNoBridge);
    EXPECT_EQ(zub::testsupport::ReadFile(dir.path() / "mirror.db"), "kept");
}

}  // namespace
}  // namespace ZUBCAX
