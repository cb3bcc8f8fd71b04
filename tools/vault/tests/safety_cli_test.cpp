// The store stays whole when vault processes are killed mid-operation, race
// each other, or work on a copied store; logins, leftovers and names from
// the store are handled safely.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "internal/faultpoints.h"
#include "vaultrunner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

constexpr int kKilled = 128 + SIGKILL;

class VaultSafetyCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitWithUsers();
        WriteFile("bracket.prt", "rev A\n");
        Ok({"doc", "add", "demo", "bracket.prt"});
    }

    // Repairs with nothing counted as running, then expects a clean store.
    void ExpectRepairable(const std::string& context) {
        const RunResult repaired = Run({"verify", "--repair", "--stale-after", "0"});
        EXPECT_EQ(repaired.code, 0) << context << "\n" << repaired.out << repaired.err;
        const RunResult clean = Run({"verify"});
        EXPECT_EQ(clean.code, 0) << context << "\n" << clean.out << clean.err;
        EXPECT_NE(clean.out.find("The store is consistent."), std::string::npos) << clean.out;
    }

    // Document 1 can be checked out, changed and checked in.
    void ExpectUsable(const std::string& ref, const std::string& context) {
        const RunResult co = Run({"doc", "checkout", ref, "use", "--force"});
        ASSERT_EQ(co.code, 0) << context << "\n" << co.err;
        const std::string name = Doc(ref)["name"];
        WriteFile("use/" + name, "after " + context + "\n");
        const RunResult ci = Run({"doc", "checkin", ref, "use/" + name, "-m", "after"});
        ASSERT_EQ(ci.code, 0) << context << "\n" << ci.err;
        const RunResult view = Run({"doc", "view", ref, "seen", "--force"});
        ASSERT_EQ(view.code, 0) << context << "\n" << view.err;
        EXPECT_EQ(ReadFile(Path("seen/" + name)), "after " + context + "\n");
    }

    nlohmann::json Doc(const std::string& ref) {
        return Run({"doc", "show", ref, "--json"}).Json();
    }
    // Changes a database of the store behind vault's back.
    void Sql(const wchar_t* db, const std::wstring& statement) {
        zub::vaultschema::ProductStore::Register();
        auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(L"sqlite:" + zub::Utf8ToWide(store_.string()), 0, db, L""), L"");
        ASSERT_TRUE(accessor);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ZUBDB::QVParams none;
        ASSERT_EQ(accessor->ExecuteSql(rs, statement, none, L"", 0, 0), 0)
            << zub::WideToUtf8(accessor->errDescription());
        ASSERT_EQ(accessor->CommitTrans(), 0);
    }
    std::size_t Rows(const std::vector<std::string>& listing) { return Run(listing).Json().size(); }
};

// ---- kill -9 at every fault point -------------------------------------------

struct CrashCase {
    const char* point;
    std::vector<std::string> command;  // run with the point armed
    bool checkedOut;                   // check document 1 out first
};

TEST_F(VaultSafetyCli, KilledAtAnyStepTheStoreIsRepairableAndTheDocumentUsable) {
    WriteFile("new.prt", "new content\n");
    WriteFile("co/bracket.prt", "rev B\n");
    const std::vector<CrashCase> cases = {
        {DRM::FaultPoint::kCheckInStaged,
         {"doc", "checkin", "1", "co/bracket.prt", "-m", "B"},
         true},
        {DRM::FaultPoint::kCheckInCommitted,
         {"doc", "checkin", "1", "co/bracket.prt", "-m", "B"},
         true},
        {DRM::FaultPoint::kCheckInOldMoved,
         {"doc", "checkin", "1", "co/bracket.prt", "-m", "B"},
         true},
        {DRM::FaultPoint::kCheckInPublished,
         {"doc", "checkin", "1", "co/bracket.prt", "-m", "B"},
         true},
        {DRM::FaultPoint::kCheckInCleared,
         {"doc", "checkin", "1", "co/bracket.prt", "-m", "B"},
         true},
        {DRM::FaultPoint::kAddStaged, {"doc", "add", "demo", "new.prt"}, false},
        {DRM::FaultPoint::kAddCommitted, {"doc", "add", "demo", "new.prt"}, false},
        {DRM::FaultPoint::kAddPublished, {"doc", "add", "demo", "new.prt"}, false},
        {DRM::FaultPoint::kRenameCommitted, {"doc", "rename", "1", "renamed.prt"}, false},
        {DRM::FaultPoint::kRenamePublished, {"doc", "rename", "1", "renamed.prt"}, false},
        {DRM::FaultPoint::kDeleteMarked, {"doc", "delete", "1"}, false},
        {DRM::FaultPoint::kDeleteFileGone, {"doc", "delete", "1"}, false},
        {DRM::FaultPoint::kBaselineStaged, {"baseline", "create", "demo", "rel1"}, false},
        {DRM::FaultPoint::kBaselineSumsRecorded, {"baseline", "create", "demo", "rel1"}, false},
        {DRM::FaultPoint::kBaselinePublished, {"baseline", "create", "demo", "rel1"}, false},
        {DRM::FaultPoint::kContentSumRead, {"verify", "--repair"}, false},
        {DRM::FaultPoint::kContentBaselineRead, {"verify", "--repair"}, false},
    };
    EXPECT_EQ(cases.size(), DRM::FaultPoint::kAll.size());  // every point has its case
    const fs::path pristine = ws_ / "pristine";
    fs::copy(store_, pristine, fs::copy_options::recursive);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.point);
        fs::remove_all(store_);
        fs::copy(pristine, store_, fs::copy_options::recursive);
        if (c.checkedOut) Ok({"doc", "checkout", "1", "out", "--force"});
        if (c.command[0] == "verify") {
            // A store made before sums, sizes and baseline file lists.
            Ok({"baseline", "create", "demo", "old"});
            Sql(L"QVData", L"update QV_DMDoc set ContentSha256 = '', ContentBytes = -1");
            Sql(L"QVData", L"delete from ZUB_DMBaselineFile");
        }
        const RunResult crashed = Run(c.command, {{"ZUB_CRASH_AT", c.point}});
        ASSERT_EQ(crashed.code, kKilled) << crashed.out << crashed.err;
        ExpectRepairable(c.point);

        const std::string verb = c.command[0] + " " + c.command[1];
        if (verb == "doc delete") {
            // Either the delete finished or the document is back whole.
            const auto docs = Run({"doc", "list", "demo", "--json"}).Json();
            if (!docs.empty()) ExpectUsable("1", c.point);
        } else if (verb == "doc add") {
            const auto docs = Run({"doc", "list", "demo", "--json"}).Json();
            for (const auto& d : docs) ExpectUsable(std::to_string(d["id"].get<int>()), c.point);
        } else if (verb == "baseline create") {
            // The name is free again or taken by a whole baseline; either way
            // another baseline can be made.
            Ok({"baseline", "create", "demo", "rel2"});
            Ok({"baseline", "download", "demo", "rel2", "bl", "--force"});
            EXPECT_EQ(ReadFile(Path("bl/bracket.prt")), "rev A\n");
            ExpectUsable("1", c.point);
        } else if (verb == "verify --repair") {
            // The older baseline now lists its files and hands them out checked.
            Ok({"baseline", "download", "demo", "old", "bl", "--force"});
            EXPECT_EQ(ReadFile(Path("bl/bracket.prt")), "rev A\n");
            ExpectUsable("1", c.point);
        } else {
            ExpectUsable("1", c.point);
        }
    }
}

TEST_F(VaultSafetyCli, KilledAtRandomInstantsDuringCheckInNothingIsLost) {
    // Big enough that the check-in takes a while to kill it in.
    WriteFile("co/bracket.prt", std::string(8 << 20, 'x'));
    std::mt19937 random(20261208);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        Ok({"doc", "checkout", "1", "co2", "--force"});
        const auto before = Doc("1");
        // Every round checks in the same content.
        const Started started =
            Start({"doc", "checkin", "1", "co/bracket.prt", "-m", "big", "--allow-unchanged"});
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
        ::kill(started.pid, SIGKILL);
        const RunResult r = Wait(started);
        EXPECT_TRUE(r.code == 0 || r.code == kKilled) << r.err;
        ExpectRepairable("round " + std::to_string(round));
        const auto after = Doc("1");
        // Either still the holder's at the old version, or checked in once.
        if (after["checked_out"].get<bool>()) {
            EXPECT_EQ(after["version"], before["version"]);
            Ok({"doc", "unlock", "1"});
        } else {
            EXPECT_NE(after["version"], before["version"]);
        }
        const RunResult view = Run({"doc", "view", "1", "v", "--force"});
        ASSERT_EQ(view.code, 0) << view.err;
        const std::string content = ReadFile(Path("v/bracket.prt"));
        EXPECT_TRUE(content == "rev A\n" || content.size() == (8u << 20)) << content.size();
    }
}

TEST_F(VaultSafetyCli, KilledAtRandomInstantsAddAndBaselineAreWholeOrAbsent) {
    const std::string big(8 << 20, 'y');
    WriteFile("big.prt", big);
    Ok({"doc", "add", "demo", "big.prt", "--folder", "seed"});  // gives baselines weight
    std::mt19937 random(8122026);
    for (int round = 0; round < 4; ++round) {
        const std::string n = std::to_string(round);
        struct Kill {
            std::vector<std::string> command;
            std::function<void()> check;
        };
        const std::vector<Kill> kills = {
            {{"doc", "add", "demo", "big.prt", "--folder", "f" + n},
             [&] {
                 const RunResult view = Run({"doc", "view", "demo:f" + n + "/big.prt", "v" + n});
                 if (view.code == 0)
                     EXPECT_EQ(ReadFile(Path("v" + n + "/big.prt")), big);
                 else
                     EXPECT_EQ(view.err.rfind("vault: error 49707:", 0), 0u) << view.err;
             }},
            {{"baseline", "create", "demo", "b" + n},
             [&] {
                 const RunResult got = Run({"baseline", "download", "demo", "b" + n, "bl" + n});
                 if (got.code == 0)
                     EXPECT_EQ(ReadFile(Path("bl" + n + "/seed/big.prt")), big);
                 else
                     Ok({"baseline", "create", "demo", "b" + n});  // the name is free again
             }},
        };
        for (const auto& k : kills) {
            SCOPED_TRACE(k.command[0] + " round " + n);
            const Started started = Start(k.command);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 150));
            ::kill(started.pid, SIGKILL);
            const RunResult r = Wait(started);
            EXPECT_TRUE(r.code == 0 || r.code == kKilled) << r.err;
            ExpectRepairable(k.command[0] + " round " + n);
            k.check();
        }
    }
}

// ---- several vault processes at once ----------------------------------------

TEST_F(VaultSafetyCli, RacesHaveExactlyOneWinner) {
    constexpr int kRacers = 5;
    std::vector<std::string> users;
    for (int i = 0; i < kRacers; ++i) {
        users.push_back("racer" + std::to_string(i));
        Ok({"user", "add", users.back()});
        Ok({"rights", "grant", "demo", users.back(), "rw"});
    }
    for (int i = 0; i < kRacers; ++i)
        WriteFile("in" + std::to_string(i) + "/part.prt", "from racer " + std::to_string(i));

    struct Race {
        const char* name;
        std::function<std::vector<std::string>(int)> command;
        std::function<std::map<std::string, std::string>(int)> env;
        std::function<void()> prepare;
        std::function<void(int winner)> check;
        std::vector<std::string> loserErrors;  // the numbers a loser may get
    };
    auto as = [&](int i) { return std::map<std::string, std::string>{{"VAULT_USER", users[i]}}; };
    auto admin = [](int) { return std::map<std::string, std::string>{}; };
    const std::vector<Race> races = {
        {"checkout by different users",
         [](int i) {
             return std::vector<std::string>{"doc", "checkout", "1", "co" + std::to_string(i)};
         },
         as,
         [] {},
         [&](int winner) {
             const auto doc = Doc("1");
             EXPECT_TRUE(doc["checked_out"].get<bool>());
             EXPECT_EQ(doc["holder"], users[winner]);
         },
         {"49712"}},
        {"checkin twice by the holder",
         [](int i) {
             return std::vector<std::string>{
                 "doc", "checkin", "1", "in" + std::to_string(i) + "/part.prt", "-m", "race"};
         },
         [&](int) { return as(0); },
         [&] {
             Ok({"doc", "unlock", "1"});
             OkAs(users[0], {"doc", "checkout", "1", "mine", "--force"});
         },
         [&](int winner) {
             EXPECT_EQ(Rows({"doc", "history", "1", "--json"}), 2u);
             EXPECT_EQ(Doc("1")["version"], "1.1");
             Ok({"doc", "view", "1", "check", "--force"});
             EXPECT_EQ(ReadFile(Path("check/bracket.prt")), "from racer " + std::to_string(winner));
         },
         {"49713"}},
        {"doc add of one name",
         [](int i) {
             return std::vector<std::string>{"doc",    "add",
                                             "demo",   "in" + std::to_string(i) + "/part.prt",
                                             "--base", "in" + std::to_string(i)};
         },
         admin,
         [] {},
         [&](int winner) {
             EXPECT_EQ(Rows({"doc", "list", "demo", "--json"}), 2u);
             Ok({"doc", "view", "demo:part.prt", "check", "--force"});
             EXPECT_EQ(ReadFile(Path("check/part.prt")), "from racer " + std::to_string(winner));
         },
         {"49611", "49709"}},
        {"repo create of one name",
         [](int) {
             return std::vector<std::string>{"repo", "create", "twin"};
         },
         admin,
         [] {},
         [&](int) {
             int twins = 0;
             for (const auto& r : Run({"repo", "list", "--json"}).Json())
                 twins += r["name"] == "twin";
             EXPECT_EQ(twins, 1);
         },
         {"49709"}},
        {"role add of one name",
         [](int) {
             return std::vector<std::string>{"role", "add", "crew"};
         },
         admin,
         [] {},
         [&](int) {
             int crews = 0;
             for (const auto& r : Run({"role", "list", "--json"}).Json())
                 crews += r["name"] == "crew";
             EXPECT_EQ(crews, 1);
         },
         {"49709"}},
    };
    for (const auto& race : races) {
        SCOPED_TRACE(race.name);
        race.prepare();
        const int racers = std::string(race.name).rfind("checkin", 0) == 0 ? 2 : kRacers;
        std::vector<Started> started;
        for (int i = 0; i < racers; ++i) started.push_back(Start(race.command(i), race.env(i)));
        int winner = -1;
        int winners = 0;
        for (int i = 0; i < racers; ++i) {
            const RunResult r = Wait(started[i]);
            if (r.code == 0) {
                ++winners;
                winner = i;
            } else {
                EXPECT_EQ(r.code, 1) << r.err;
                bool known = false;
                // The error is the last line; a warning may come before it.
                const std::size_t cut = r.err.rfind('\n', r.err.size() - 2);
                const std::string last = cut == std::string::npos ? r.err : r.err.substr(cut + 1);
                for (const auto& number : race.loserErrors)
                    known = known || last.rfind("vault: error " + number + ": ", 0) == 0;
                EXPECT_TRUE(known) << r.err;
            }
        }
        ASSERT_EQ(winners, 1);
        race.check(winner);
        ExpectRepairable(race.name);
    }
}

// ---- copies, logins, leftovers, names ---------------------------------------

TEST_F(VaultSafetyCli, DeletingARepositoryOfACopiedStoreLeavesTheOriginal) {
    const fs::path copy = ws_ / "copy";
    fs::copy(store_, copy, fs::copy_options::recursive);
    const RunResult r = Run({"--store", copy.string(), "repo", "delete", "demo", "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(copy / "files/repos/demo"));
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"), "rev A\n");
    Ok({"doc", "view", "1", "orig", "--force"});
    EXPECT_EQ(ReadFile(Path("orig/bracket.prt")), "rev A\n");
}

TEST_F(VaultSafetyCli, TheFileServerRefusesALibraryWithTheWrongPassword) {
    ASSERT_TRUE(fs::exists(store_ / "files/.vaultfs-login"));
    Sql(L"QVSystem", L"update QV_SysInfo set sysPwd='guessed'");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"doc", "view", "1", "v"},
          std::vector<std::string>{"doc", "checkout", "1", "v"},
          std::vector<std::string>{"baseline", "create", "demo", "b"}}) {
        const RunResult r = Run(command);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("error 50010"), std::string::npos) << command[1] << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(Path("v/bracket.prt")));
    EXPECT_FALSE(Doc("1")["checked_out"].get<bool>());  // a refused checkout holds nothing
}

TEST_F(VaultSafetyCli, VerifyFindsAndRepairsAMissingPasswordAndAbandonedLeftovers) {
    fs::remove(store_ / "files/.vaultfs-login");  // as a store made before
    Ok({"doc", "view", "1", "v"});                // still served
    WriteFile("store/files/repos/demo/trunk/.bracket.prt.vfs-0123456789", "half");
    WriteFile("store/files/repos/demo/trunk/.held.prt.vfs-abcdefghij", "running");
    // Made as the vault makes its temporaries: for the owner only.
    for (const char* debris : {".bracket.prt.vfs-0123456789", ".held.prt.vfs-abcdefghij"})
        fs::permissions(store_ / "files/repos/demo/trunk" / debris,
                        fs::perms::owner_read | fs::perms::owner_write);
    const int held =
        ::open((store_ / "files/repos/demo/trunk/.held.prt.vfs-abcdefghij").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const RunResult found = Run({"verify"});
    EXPECT_EQ(found.code, 1);
    EXPECT_NE(found.out.find("keeps no password"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("\\repos\\demo\\trunk\\.bracket.prt.vfs-0123456789"),
              std::string::npos)
        << found.out;
    EXPECT_EQ(found.out.find(".held.prt"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("  fix: vault verify --repair"), std::string::npos);
    EXPECT_EQ(found.err, ErrorLine(49719, "2 problems need attention"));
    // Nothing changes without --repair.
    EXPECT_TRUE(fs::exists(store_ / "files/repos/demo/trunk/.bracket.prt.vfs-0123456789"));

    const RunResult repaired = Run({"verify", "--repair", "--json"});
    EXPECT_EQ(repaired.code, 0) << repaired.err;
    EXPECT_EQ(repaired.Json().size(), 2u);
    for (const auto& f : repaired.Json()) EXPECT_TRUE(f["repaired"].get<bool>()) << f;
    EXPECT_TRUE(fs::exists(store_ / "files/.vaultfs-login"));
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/trunk/.bracket.prt.vfs-0123456789"));
    EXPECT_TRUE(fs::exists(store_ / "files/repos/demo/trunk/.held.prt.vfs-abcdefghij"));
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"), "rev A\n");
    ::close(held);
    Ok({"doc", "view", "1", "v", "--force"});  // the library logs in with the kept password
}

TEST_F(VaultSafetyCli, VerifyReportsWhatTheLibraryFindsWithItsFix) {
    fs::remove(store_ / "files/repos/demo/trunk/bracket.prt");
    WriteFile("store/files/repos/demo/trunk/stray.prt", "no row");
    // Private and read-only like a stored file, so only the library's findings show.
    fs::permissions(store_ / "files/repos/demo/trunk/stray.prt", fs::perms::owner_read);
    const RunResult r = Run({"verify", "demo"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("vault doc delete 1 --force"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vault doc add demo FILE --folder SUB"), std::string::npos) << r.out;
    // Every finding names its file, and its document and version where it has one.
    const RunResult json = Run({"verify", "demo", "--json"});
    ASSERT_EQ(json.Json().size(), 2u) << json.out;
    for (const auto& f : json.Json()) {
        const std::string path = f.value("path", "");
        EXPECT_NE(f["text"].get<std::string>().find(path), std::string::npos) << f;
        if (f["kind"] == "untracked-file") {
            EXPECT_EQ(path.substr(path.size() - 9), "stray.prt") << f;
        } else {
            EXPECT_EQ(f["kind"], "file-missing") << f;
            EXPECT_EQ(f["document"], 1) << f;
            EXPECT_EQ(f["version"], "1.0") << f;
            EXPECT_EQ(path.substr(path.size() - 11), "bracket.prt") << f;
        }
        EXPECT_EQ(f["repository"], "demo") << f;
    }
    // Repair never deletes a user's data.
    EXPECT_EQ(Run({"verify", "--repair", "--stale-after", "0"}).code, 1);
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/stray.prt"), "no row");
}

TEST_F(VaultSafetyCli, ADamagedFileIsRefusedAndFoundByTheContentCheck) {
    WriteFile("store/files/repos/demo/trunk/bracket.prt", "");  // truncated on the server
    const RunResult view = Run({"doc", "view", "1", "v"});
    EXPECT_EQ(view.code, 1);
    EXPECT_EQ(view.err.rfind("vault: error 50011:", 0), 0u) << view.err;
    EXPECT_FALSE(fs::exists(Path("v/bracket.prt")));

    // The recorded size tells without reading the file.
    const RunResult quick = Run({"verify", "--json"});
    EXPECT_EQ(quick.code, 1) << quick.out;
    ASSERT_EQ(quick.Json().size(), 1u) << quick.out;
    EXPECT_EQ(quick.Json()[0]["kind"], "content-mismatch");
    EXPECT_NE(quick.Json()[0]["text"].get<std::string>().find("记录 6 字节, 实际 0 字节"),
              std::string::npos)
        << quick.out;
    const RunResult full = Run({"verify", "--content", "--json"});
    EXPECT_EQ(full.code, 1);
    ASSERT_EQ(full.Json().size(), 1u) << full.out;
    EXPECT_EQ(full.Json()[0]["kind"], "content-mismatch");
    EXPECT_NE(full.Json()[0]["text"].get<std::string>().find("demo\\"), std::string::npos)
        << full.out;
    EXPECT_NE(full.Json()[0]["text"].get<std::string>().find("trunk\\bracket.prt"),
              std::string::npos)
        << full.out;
    EXPECT_FALSE(full.Json()[0]["repaired"].get<bool>());
}

TEST_F(VaultSafetyCli, AnOlderStoreGetsItsContentSumsFromRepair) {
    WriteFile("co/bracket.prt", "rev B\n");
    Ok({"doc", "checkout", "1", "out"});
    Ok({"doc", "checkin", "1", "co/bracket.prt", "-m", "B"});
    Ok({"baseline", "create", "demo", "rel"});
    Sql(L"QVData", L"update QV_DMDoc set ContentSha256 = '', ContentBytes = -1");
    Sql(L"QVData", L"update QV_DMDocVer set ContentBytes = -1");
    Sql(L"QVData", L"delete from ZUB_DMBaselineFile");
    const RunResult found = Run({"verify", "--json"});
    EXPECT_EQ(found.code, 1);
    EXPECT_EQ(found.Json().size(), 3u) << found.out;
    for (const auto& f : found.Json()) EXPECT_EQ(f["kind"], "content-sum-missing") << f;

    const RunResult repaired = Run({"verify", "--repair", "--json"});
    EXPECT_EQ(repaired.code, 0) << repaired.out << repaired.err;
    ASSERT_EQ(repaired.Json().size(), 3u) << repaired.out;
    EXPECT_EQ(repaired.Json()[2]["baseline"], "rel") << repaired.out;
    for (const auto& f : repaired.Json()) EXPECT_TRUE(f["repaired"].get<bool>()) << f;
    const RunResult clean = Run({"verify", "--content"});
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_NE(clean.out.find("The store is consistent."), std::string::npos) << clean.out;
}

// A finding shows the server path as it is: one separator between its parts
// in text, JSON escaping each one once.
TEST_F(VaultSafetyCli, FindingsNameServerPathsWithSingleSeparators) {
    Ok({"baseline", "create", "demo", "rel"});
    WriteFile("store/files/repos/demo/trunk/bracket.prt", "");
    WriteFile("store/files/repos/demo/baseline/rel/bracket.prt", "");
    const RunResult text = Run({"verify"});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.out.find("(\\repos\\demo\\trunk\\bracket.prt)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("(\\repos\\demo\\baseline\\rel\\bracket.prt)"), std::string::npos)
        << text.out;
    EXPECT_EQ(text.out.find("\\\\"), std::string::npos) << text.out;
    const RunResult json = Run({"verify", "--json"});
    ASSERT_EQ(json.Json().size(), 2u) << json.out;
    EXPECT_EQ(json.Json()[0]["path"], "\\repos\\demo\\trunk\\bracket.prt");
    EXPECT_EQ(json.Json()[1]["path"], "\\repos\\demo\\baseline\\rel\\bracket.prt");
    EXPECT_NE(json.out.find(R"("\\repos\\demo\\trunk\\bracket.prt")"), std::string::npos)
        << json.out;
}

TEST_F(VaultSafetyCli, VerifyIsForTheAdministrator) {
    const RunResult r = RunAs("alice", {"verify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("vault: error 49711:", 0), 0u) << r.err;
}

TEST_F(VaultSafetyCli, ControlCharactersFromTheStoreReachNoTerminal) {
    // Names with control characters are refused...
    for (const std::string name : {"tab\tname", "esc\x1b[31m", "new\nline"}) {
        const RunResult r = Run({"repo", "create", name});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("vault: error 49610:", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    }
    // ...and those an older store holds are shown escaped.
    Sql(L"QVData",
        L"update QV_DMRepo set Name='ev' || char(27) || '[2J' || char(9) || "
        L"char(133) || 'il'");
    for (const char* command : {"list", "show"}) {
        const std::string out =
            command == std::string("list") ? Ok({"repo", "list"}) : Ok({"repo", "show", "1"});
        EXPECT_EQ(out.find('\x1b'), std::string::npos) << command;
        EXPECT_EQ(out.find('\t'), std::string::npos) << command;
        EXPECT_NE(out.find("ev\\x1b[2J\\x09\\x85il"), std::string::npos) << out;
    }
    // JSON keeps the exact text, escaped the JSON way.
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json()[0]["name"], "ev\x1b[2J\t\u0085il");
    const RunResult missing = Run({"repo", "show", "no\x1bpe"});
    EXPECT_EQ(missing.err, ErrorLine(49706, "no repository named no\\x1bpe"));
}

TEST_F(VaultSafetyCli, UnlockEndsACheckOutAndKeepsTheVersion) {
    Ok({"rights", "grant", "demo", "alice", "rw"});
    Ok({"rights", "grant", "demo", "bob", "rw"});
    Ok({"rights", "grant", "demo", "carol", "rwm"});
    struct Case {
        const char* who;
        int code;
        std::string err;  // prefix
    };
    const std::vector<Case> cases = {
        {"bob", 1, "vault: error 49711: user bob has no manage right"},
        {"alice", 0, ""},
        {"carol", 0, ""},
        {"system", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        OkAs("alice", {"doc", "checkout", "1", "a", "--force"});
        const RunResult r = RunAs(c.who, {"doc", "unlock", "1"});
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        const auto doc = Doc("1");
        EXPECT_EQ(doc["checked_out"].get<bool>(), c.code != 0);
        EXPECT_EQ(doc["version"], "1.0");
        if (c.code != 0) Ok({"doc", "unlock", "1"});
    }
    const RunResult again = Run({"doc", "unlock", "1"});
    EXPECT_EQ(again.err, ErrorLine(49713, "document bracket.prt is not checked out"));
    EXPECT_EQ(Rows({"doc", "history", "1", "--json"}), 1u);
}

}  // namespace

}  // namespace zub::vault::test
