// What concurrent clients, failures at every call and kills at every step
// leave in a store: always the old state or the new one, never a mix, and
// exactly one winner of every race, on an embedded store and on a server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "dbcore/embeddedstore.h"
#include "docvault/baseline.h"
#include "docvault/contentcheck.h"
#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/docs.h"
#include "docvault/errors.h"
#include "docvault/repocheck.h"
#include "embedded_store_fixture.h"
#include "faulty_store.h"
#include "internal/faultpoints.h"
#include "vaultfs/nfserrors.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Safety : public EmbeddedStoreFixture {
protected:
    template <class T>
    void Open(T& bo) {
        ASSERT_EQ(bo.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
    }

    int AddUser(const std::wstring& name) {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"UserName", name, false, false, L"=");
        EXPECT_EQ(raw_->InsertRow(L"QV_User", v, L"", L""), 0);
        EXPECT_EQ(raw_->CommitTrans(), 0);
        return static_cast<int>(raw_->LastInsertId());
    }

    DRM::Doc ReadDoc(int id) {
        DRM::Doc doc;
        Open(doc);
        EXPECT_EQ(doc.Read(id), 0);
        return doc;
    }

    int AddDoc(const std::wstring& name, const std::string& content) {
        DRM::Doc doc;
        Open(doc);
        doc.set_docRepoId(repoId_);
        doc.set_fileName(name);
        doc.set_ext(L"prt");
        doc.set_creById(1);
        const std::string local = "in/" + std::string(name.begin(), name.end()) + ".prt";
        EXPECT_EQ(doc.Add(WriteLocal(local, content).wstring()), 0) << doc.ErrNumber();
        return doc.id();
    }

    // Document `id` as user `user` holding it after a check-out.
    DRM::Doc Holding(int id, int user = 1, const std::wstring& name = L"system") {
        DRM::Doc doc = ReadDoc(id);
        doc.set_checkOutById(user);
        doc.set_checkOutByName(name);
        EXPECT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0) << doc.ErrNumber();
        return doc;
    }

    // Runs body(i) in n forked processes released at once; their exit codes.
    std::vector<int> Race(int n, const std::function<int(int)>& body) {
        int gate[2];
        EXPECT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < n; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(gate[1]);
                char c;
                while (::read(gate[0], &c, 1) > 0) {}
                ::_exit(body(i));
            }
            children.push_back(pid);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        std::vector<int> codes;
        for (pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
        return codes;
    }

    // Runs body in a child told to die at `point`; whether it was killed.
    static bool KilledAt(const char* point, const std::function<int()>& body) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("ZUB_CRASH_AT", point, 1);
            ::_exit(body());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    static int Winner(const std::vector<int>& codes) {
        int winner = -1;
        for (std::size_t i = 0; i < codes.size(); ++i)
            if (codes[i] == 0) winner = static_cast<int>(i);
        return winner;
    }

    std::vector<DRM::RepoFinding> Examine(bool repair) {
        DRM::RepoCheck check;
        Open(check);
        std::vector<DRM::RepoFinding> findings;
        EXPECT_EQ(check.Examine(repoId_, repair, findings, 0), 0) << check.ErrNumber();
        return findings;
    }

    // Every stored file read and compared with its sum; `fill` records missing ones.
    std::vector<std::wstring> ContentFindings(bool fill) {
        DRM::ContentCheck check;
        Open(check);
        std::vector<DRM::ContentFinding> findings;
        EXPECT_EQ(check.Examine(repoId_, true, fill, findings), 0) << check.ErrNumber();
        std::vector<std::wstring> texts;
        for (const auto& f : findings)
            if (!f.repaired) texts.push_back(f.text);
        return texts;
    }

    std::set<std::string> Names(const fs::path& dir) {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec))
            names.insert(e.path().filename().string());
        return names;
    }
};

std::vector<std::wstring> Kinds(const std::vector<DRM::RepoFinding>& findings) {
    std::vector<std::wstring> kinds;
    for (const auto& f : findings)
        kinds.push_back(std::to_wstring(static_cast<int>(f.kind)) + L" " + f.path);
    return kinds;
}

// Workstations racing on one store, each with its own connection, round
// after round.
class SafetyRaces : public Safety, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        backend_ = GetParam();
        Safety::SetUp();
    }
    static constexpr int kRacers = 4;
    static constexpr int kRounds = 3;
};

TEST_P(SafetyRaces, EveryRaceHasExactlyOneWinner) {
    std::vector<int> users;
    for (int i = 0; i < kRacers; ++i) users.push_back(AddUser(L"u" + std::to_wstring(i)));
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("check-out by different users, round " + std::to_string(round));
        const int id = AddDoc(L"co" + std::to_wstring(round), "v1");
        const auto codes = Race(kRacers, [&](int i) {
            DRM::Doc doc = ReadDoc(id);
            doc.set_checkOutById(users[static_cast<std::size_t>(i)]);
            doc.set_checkOutByName(L"u" + std::to_wstring(i));
            const int rc = doc.CheckOut(LocalDir("race" + std::to_string(i)).wstring());
            if (rc == 0) return 0;
            // The loser is told who holds the document.
            return rc == DRM::Err::kHeldByOther && doc.ErrDesc().find(L"u") != std::wstring::npos
                       ? 1
                       : 2;
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), kRacers - 1);
        const int winner = Winner(codes);
        ASSERT_GE(winner, 0);
        DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(doc.state(), 1);
        EXPECT_EQ(doc.checkOutById(), users[static_cast<std::size_t>(winner)]);
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("check-ins by the holder, round " + std::to_string(round));
        const int id = AddDoc(L"ci" + std::to_wstring(round), "old");
        Holding(id);
        const auto codes = Race(kRacers, [&](int i) {
            DRM::Doc doc = ReadDoc(id);
            doc.set_checkOutById(1);
            doc.set_checkOutByName(L"system");
            const std::string name =
                "ci" + std::to_string(i) + "/ci" + std::to_string(round) + ".prt";
            return doc.CheckIn(WriteLocal(name, "new" + std::to_string(i)).wstring()) == 0 ? 0 : 1;
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1);
        const int winner = Winner(codes);
        ASSERT_GE(winner, 0);
        const DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(doc.currentVersion(), L"1.1");
        EXPECT_EQ(doc.state(), 0);
        EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), 1);
        const std::string file = "ci" + std::to_string(round) + ".prt";
        EXPECT_EQ(ReadFile(OnServer("trunk/" + file)), "new" + std::to_string(winner));
        EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1.0.prt")), "old");
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("adds of one name, round " + std::to_string(round));
        const std::wstring name = L"same" + std::to_wstring(round);
        const long before = Count(L"QV_DMDoc", L"DocRepoId", repoId_);
        const auto codes = Race(kRacers, [&](int i) {
            DRM::Doc doc;
            if (doc.Connect(DbServer(), DbPort(), L"QVData", DbToken()) != 0) return 2;
            doc.set_docRepoId(repoId_);
            doc.set_fileName(name);
            doc.set_ext(L"prt");
            doc.set_creById(1);
            const std::string local =
                "add" + std::to_string(i) + "/" + zub::WideToUtf8(name) + ".prt";
            return doc.Add(WriteLocal(local, "a" + std::to_string(i)).wstring()) == 0 ? 0 : 1;
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), kRacers - 1);
        const int winner = Winner(codes);
        ASSERT_GE(winner, 0);
        EXPECT_EQ(Count(L"QV_DMDoc", L"DocRepoId", repoId_), before + 1);
        EXPECT_EQ(ReadFile(OnServer("trunk/" + zub::WideToUtf8(name) + ".prt")),
                  "a" + std::to_string(winner));
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("repositories of one name, and of one tree, round " + std::to_string(round));
        for (bool sameName : {true, false}) {
            const long before = Count(L"QV_DMRepo");
            const auto codes = Race(kRacers, [&](int i) {
                DRM::DocRepo repo;
                if (repo.Connect(DbServer(), DbPort(), L"QVData", DbToken()) != 0) return 2;
                const std::wstring r = std::to_wstring(round);
                repo.set_name(sameName ? L"dup" + r : L"tree" + r + L"-" + std::to_wstring(i));
                repo.set_nfsServer(FileServer());
                repo.set_nfsRootDir(sameName ? L"D:\\dup" + r + L"-" + std::to_wstring(i)
                                             : L"D:\\tree" + r);
                return repo.Create() == DRM::DocRepo::kCreated ? 0 : 1;
            });
            EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1) << sameName;
            EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), kRacers - 1) << sameName;
            EXPECT_EQ(Count(L"QV_DMRepo"), before + 1) << sameName;
        }
    }
    {
        SCOPED_TRACE("baselines of different names all succeed");
        const auto codes = Race(kRacers, [&](int i) {
            DRM::BaseLine b;
            if (b.Connect(DbServer(), DbPort(), L"QVData", DbToken()) != 0) return 2;
            b.set_docRepoId(repoId_);
            b.set_name(L"b" + std::to_wstring(i));
            return b.Create() == 0 ? 0 : 1;
        });
        EXPECT_THAT(codes, ElementsAre(0, 0, 0, 0));
        EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", repoId_), kRacers);
    }
    EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, SafetyRaces,
                         ::testing::Values(Backend::Embedded, Backend::Server), BackendName);

TEST_F(Safety, AKillAtEveryStepLeavesAStoreThatRepairCompletes) {
    for (const char* point : DRM::FaultPoint::kAll) {
        SCOPED_TRACE(point);
        TearDown();
        SetUp();
        const std::string name(point);
        const int id = AddDoc(L"doc", "old");
        std::function<int()> op;
        if (name.rfind("checkin.", 0) == 0) {
            Holding(id);
            op = [&] {
                DRM::Doc doc = ReadDoc(id);
                doc.set_checkOutById(1);
                doc.set_checkOutByName(L"system");
                return doc.CheckIn(WriteLocal("new/doc.prt", "new").wstring());
            };
        } else if (name.rfind("add.", 0) == 0) {
            op = [&] { return AddDoc(L"other", "other") > 0 ? 0 : 1; };
        } else if (name.rfind("rename.", 0) == 0) {
            op = [&] { return ReadDoc(id).ReName(L"renamed.prt"); };
        } else if (name.rfind("delete.", 0) == 0) {
            op = [&] { return ReadDoc(id).Delete(); };
        } else if (name.rfind("content.", 0) == 0) {
            // A store made before sums were kept, being filled in: a
            // document without its sum, a baseline without its file list.
            DRM::BaseLine old;
            Open(old);
            old.set_docRepoId(repoId_);
            old.set_name(L"old");
            ASSERT_EQ(old.Create(), 0) << old.ErrNumber();
            ZUBDB::QVParams none(false);
            none.AddParam(0, L"ContentSha256", std::wstring(), false, false, L"=");
            ASSERT_EQ(raw_->UpdateRows(L"QV_DMDoc", none, ZUBDB::QVParams(false), L"", L""), 0);
            ASSERT_EQ(raw_->DeleteRows(L"ZUB_DMBaselineFile", ZUBDB::QVParams(false), L"", L""), 0);
            ASSERT_EQ(raw_->CommitTrans(), 0);
            op = [&] {
                ContentFindings(true);
                return 0;
            };
        } else {
            op = [&] {
                DRM::BaseLine b;
                b.Connect(DbServer(), DbPort(), L"QVData", DbToken());
                b.set_docRepoId(repoId_);
                b.set_name(L"rel");
                return b.Create();
            };
        }
        ASSERT_TRUE(KilledAt(point, op)) << "the point was never reached";

        Examine(true);
        EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
        // Every file there is has the sum its row records, or gets it now.
        ContentFindings(true);
        EXPECT_THAT(ContentFindings(false), IsEmpty());
        if (name.rfind("baseline.", 0) == 0) {
            DRM::BaseLine b;
            Open(b);
            b.set_docRepoId(repoId_);
            b.set_name(L"rel");
            const int rc = b.Create();
            // Either the killed run's baseline exists whole, or the name is free.
            EXPECT_TRUE(rc == 0 || rc == DRM::Err::kNameTaken) << rc;
            EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", repoId_), 1);
            EXPECT_EQ(ReadFile(OnServer("baseline/rel/doc.prt")), "old");
        }
        // Every baseline that survived lists its files, and hands them out.
        EXPECT_EQ(Count(L"ZUB_DMBaselineFile"), Count(L"QV_DMBaseline"));
        for (auto bl = Query(L"QV_DMBaseline", L"name"); bl && !bl->IsEOF(); bl->MoveNext()) {
            DRM::BaseLine b;
            Open(b);
            b.set_docRepoId(repoId_);
            b.set_name(bl->GetStringAt(0));
            EXPECT_EQ(b.DownLoad(LocalDir("bl-" + zub::WideToUtf8(b.name())).wstring()), 0)
                << b.ErrNumber();
        }
        // Whatever survived is usable: every document row has its file and
        // takes a full check-out and check-in.
        auto rs = Query(L"QV_DMDoc", L"DocId");
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            DRM::Doc doc = Holding(static_cast<int>(rs->GetIntAt(0)));
            EXPECT_EQ(doc.CheckIn(WriteLocal("again/x.prt", "again").wstring()), 0)
                << doc.ErrNumber();
        }
    }
}

TEST_F(Safety, ACheckInThatFailsAtAnyCallLeavesTheOldVersionOrTheNewOneWhole) {
    FaultyStore& faults = FaultyStore::Install();
    const int id = AddDoc(L"doc", "v0");
    ZUBDB::QVParams server(false);
    server.AddParam(0, L"Server", L"faultyfs:" + root_.wstring(), false, false, L"=");
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", repoId_, false, L"=");
    ASSERT_EQ(raw_->UpdateRows(L"QV_DMRepo", server, cond, L"", L""), 0);
    ASSERT_EQ(raw_->CommitTrans(), 0);
    Holding(id);

    int version = 0;  // the sub number of the current version
    for (bool nfs : {false, true}) {
        for (int call = 1;; ++call) {
            SCOPED_TRACE((nfs ? "file-server call " : "database call ") + std::to_string(call));
            const std::string content = "v" + std::to_string(version + 1);
            DRM::Doc doc;
            ASSERT_EQ(doc.Connect(L"faultydb:" + store_.wstring(), 0, L"QVData", L""), 0);
            ASSERT_EQ(doc.Read(id), 0);
            doc.set_checkOutById(1);
            doc.set_checkOutByName(L"system");
            nfs ? faults.ArmNfs(call) : faults.ArmDb(call);
            const int rc = doc.CheckIn(WriteLocal("f/doc.prt", content).wstring());
            const bool fired = faults.fired;
            faults.Disarm();
            const bool published = ReadFile(OnServer("trunk/doc.prt")) == content;
            // The next operation on the document finishes what committed.
            DRM::Doc view = ReadDoc(id);
            EXPECT_EQ(view.View(LocalDir("view").wstring()), 0) << view.ErrNumber();
            view = ReadDoc(id);
            const std::string now = ReadFile(OnServer("trunk/doc.prt"));
            if (view.currentVersion() == L"1." + std::to_wstring(version)) {
                EXPECT_NE(rc, 0);
                EXPECT_EQ(view.state(), 1);
                EXPECT_EQ(view.checkOutById(), 1);
                EXPECT_EQ(now, "v" + std::to_string(version));
                EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), version);
            } else {
                // Committed: success, a failure after the commit only a warning.
                EXPECT_EQ(rc, 0);
                // ...that says the files are not in place yet.
                if (!published) {
                    EXPECT_EQ(doc.ErrNumber(), DRM::Err::kPublishPending);
                }
                EXPECT_EQ(view.currentVersion(), L"1." + std::to_wstring(version + 1));
                EXPECT_EQ(view.state(), 0);
                EXPECT_EQ(now, content);
                EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), version + 1);
                EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1." +
                                            std::to_string(version) + ".prt")),
                          "v" + std::to_string(version));
                ++version;
                Holding(id);
            }
            for (const auto& f : Names(OnServer("history")))
                EXPECT_EQ(f.find(".zub-stage-"), std::string::npos) << f;
            if (!fired) {
                EXPECT_EQ(rc, 0);
                break;
            }
        }
    }
    EXPECT_GE(version, 2);
}

// The database server killed at every database call of a check-in, and
// started again once the check-in has given up.
class ServerOutage : public SafetyRaces {};

TEST_P(ServerOutage, ACheckInWhoseServerDiesFailsWithAStatusAndTheNextOperationWorks) {
    auto& cluster = zub::testsupport::PgCluster::Shared();
    FaultyStore& faults = FaultyStore::Install();
    const int id = AddDoc(L"doc", "v0");
    Holding(id);
    const std::wstring faulty = L"faultypg:" + DbServer();
    int version = 0;  // the sub number of the current version
    int failed = 0;
    for (int call = 1;; ++call) {
        SCOPED_TRACE("server killed at database call " + std::to_string(call));
        const std::string content = "v" + std::to_string(version + 1);
        DRM::Doc doc;
        ASSERT_EQ(doc.Connect(faulty, DbPort(), L"QVData", DbToken()), 0);
        ASSERT_EQ(doc.Read(id), 0);
        doc.set_checkOutById(1);
        doc.set_checkOutByName(L"system");
        faults.ArmDb(call);
        faults.atArmed = [&] { cluster.Stop(true); };
        const int rc = doc.CheckIn(WriteLocal("f/doc.prt", content).wstring());
        const bool fired = faults.fired;
        const std::vector<std::wstring> calls = faults.dbLog;
        faults.Disarm();
        if (!fired) {
            EXPECT_EQ(rc, 0);
            break;
        }
        cluster.Start();
        if (rc != 0 && rc != DRM::Err::kPublishPending) {
            ++failed;
            // Told with a number and a text naming the server.
            EXPECT_NE(doc.ErrDesc().find(DbServer()), std::wstring::npos)
                << zub::WideToUtf8(doc.ErrDesc()) << " at " << zub::WideToUtf8(calls.back());
        }
        // The same object reconnects for its next operation.
        EXPECT_EQ(doc.Read(id), 0) << zub::WideToUtf8(doc.ErrDesc());

        // What repair finds, it completes; then nothing is left to find.
        Examine(true);
        EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
        DRM::Doc view = ReadDoc(id);
        EXPECT_EQ(view.View(LocalDir("view").wstring()), 0) << view.ErrNumber();
        view = ReadDoc(id);
        const std::string now = ReadFile(OnServer("trunk/doc.prt"));
        if (view.currentVersion() == L"1." + std::to_wstring(version)) {
            EXPECT_NE(rc, 0);
            EXPECT_EQ(view.state(), 1);
            EXPECT_EQ(now, "v" + std::to_string(version));
            EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), version);
        } else {
            EXPECT_EQ(view.currentVersion(), L"1." + std::to_wstring(version + 1));
            EXPECT_EQ(view.state(), 0);
            EXPECT_EQ(now, content);
            EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), version + 1);
            EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1." +
                                        std::to_string(version) + ".prt")),
                      "v" + std::to_string(version));
            ++version;
            Holding(id);
        }
    }
    // Both happened: outages before the commit, and after it.
    EXPECT_GE(failed, 1);
    EXPECT_GE(version, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, ServerOutage, ::testing::Values(Backend::Server), BackendName);

TEST_F(Safety, ACopiedStoreWorksOnItsOwnFiles) {
    const fs::path original = base_ / "s";
    const fs::path copy = base_ / "s2";
    std::wstring error;
    ASSERT_EQ(zub::vaultschema::ProductStore::Create(original.string(), "QVData", error), 0);
    DRM::DocRepo repo;
    ASSERT_EQ(repo.Connect(ZUBDB::EmbeddedLocator(original.string()), 0, L"QVData", L""), 0);
    repo.set_name(L"r");
    repo.set_nfsServer(ZUBDB::EmbeddedFileServer());
    repo.set_nfsRootDir(L"\\repos\\r\\");
    ASSERT_EQ(repo.Create(), DRM::DocRepo::kCreated) << repo.ErrNumber();
    ASSERT_TRUE(fs::is_directory(original / "files" / "repos" / "r" / "trunk"));

    fs::copy(original, copy, fs::copy_options::recursive);
    DRM::DocRepo copied;
    ASSERT_EQ(copied.Connect(ZUBDB::EmbeddedLocator(copy.string()), 0, L"QVData", L""), 0);
    ASSERT_EQ(copied.Read(repo.id()), 0);
    ASSERT_EQ(copied.Delete(), 0) << copied.ErrNumber();
    EXPECT_FALSE(fs::exists(copy / "files" / "repos" / "r"));
    EXPECT_TRUE(fs::is_directory(original / "files" / "repos" / "r" / "trunk"));
}

TEST_F(Safety, NamesAreComparedAsTheFileServerResolvesThem) {
    // a.b + c and a + b.c are one server file.
    DRM::Doc first;
    Open(first);
    first.set_docRepoId(repoId_);
    first.set_fileName(L"a.b");
    first.set_ext(L"c");
    ASSERT_EQ(first.Add(WriteLocal("x/a.b.c", "first").wstring()), 0);
    DRM::Doc second;
    Open(second);
    second.set_docRepoId(repoId_);
    second.set_fileName(L"a");
    second.set_ext(L"b.c");
    EXPECT_EQ(second.Add(WriteLocal("y/a.b.c", "second").wstring()), DRM::Err::kDocExists);
    EXPECT_EQ(ReadFile(OnServer("trunk/a.b.c")), "first");
    EXPECT_EQ(Count(L"QV_DMDoc", L"DocRepoId", repoId_), 1);

    // D\repo1 and \D\repo1 are the tree of D:\repo1.
    for (const wchar_t* dir : {L"D\\repo1", L"\\D\\repo1", L"d:\\repo1\\sub"}) {
        DRM::DocRepo repo;
        Open(repo);
        repo.set_name(std::wstring(L"alias ") + dir);
        repo.set_nfsServer(FileServer());
        repo.set_nfsRootDir(dir);
        EXPECT_EQ(repo.Create(), DRM::DocRepo::kOverlaps)
            << testing::PrintToString(std::wstring(dir));
    }
}

TEST_F(Safety, NamesWithControlCharactersAreRefused) {
    DRM::Doc doc;
    Open(doc);
    doc.set_docRepoId(repoId_);
    doc.set_fileName(L"a\tb");
    doc.set_ext(L"prt");
    EXPECT_EQ(doc.Add(WriteLocal("c/a.prt", "x").wstring()), DRM::Err::kInvalidName);
    DRM::BaseLine b;
    Open(b);
    b.set_docRepoId(repoId_);
    b.set_name(L"v\n1");
    EXPECT_EQ(b.Create(), DRM::Err::kInvalidName);
    DRM::DocRepo repo;
    Open(repo);
    repo.set_name(L"r\x1b[31m");
    repo.set_nfsServer(FileServer());
    repo.set_nfsRootDir(L"D:\\esc");
    EXPECT_EQ(repo.Create(), DRM::DocRepo::kOverlaps);
    EXPECT_EQ(repo.ErrNumber(), DRM::Err::kInvalidName);
    EXPECT_EQ(Count(L"QV_DMDoc"), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline"), 0);
    EXPECT_EQ(Count(L"QV_DMRepo"), 1);
}

TEST_F(Safety, AMissingFileServerRootDeletesNoRows) {
    DRM::BaseLine b;
    Open(b);
    b.set_docRepoId(repoId_);
    b.set_name(L"rel");
    ASSERT_EQ(b.Create(), 0);
    const fs::path away = base_ / "away";
    fs::rename(root_, away);
    EXPECT_NE(b.Delete(), 0);
    DRM::DocRepo repo;
    Open(repo);
    ASSERT_EQ(repo.Read(repoId_), 0);
    EXPECT_NE(repo.Delete(), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", repoId_), 1);
    EXPECT_EQ(Count(L"QV_DMRepo", L"DocRepoId", repoId_), 1);
    EXPECT_FALSE(fs::exists(root_));  // nothing was made in its place
    fs::rename(away, root_);
    EXPECT_TRUE(fs::is_directory(OnServer("baseline/rel")));
}

TEST_F(Safety, BaselinesAndBackupsNeedEveryFileAndIgnoreOldStaging) {
    AddDoc(L"a", "A");
    AddDoc(L"b", "B");
    // Left by killed creations of an earlier version and of this one.
    fs::create_directories(OnServer("baseline/trunk"));
    fs::create_directories(OnServer("baseline/.zub-stage-0123456789abcdef"));
    DRM::BaseLine b;
    Open(b);
    b.set_docRepoId(repoId_);
    b.set_name(L"rel1");
    ASSERT_EQ(b.Create(), 0) << b.ErrNumber();
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/a.prt")), "A");

    fs::remove(OnServer("trunk/b.prt"));
    const std::set<std::string> before = Names(OnServer("baseline"));
    DRM::BaseLine again;
    Open(again);
    again.set_docRepoId(repoId_);
    again.set_name(L"rel2");
    EXPECT_EQ(again.Create(), DRM::Err::kFileMissing);
    EXPECT_EQ(Names(OnServer("baseline")), before);
    EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", repoId_), 1);

    DRM::DocRepo repo;
    Open(repo);
    ASSERT_EQ(repo.Read(repoId_), 0);
    const fs::path backup = local_ / "backup";
    EXPECT_EQ(repo.BackUp(backup.wstring()), DRM::Err::kFileMissing);
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(Safety, EndCheckOutIsForTheHolderAndTheRepositorysManagers) {
    const int id = AddDoc(L"doc", "v");
    const int eve = AddUser(L"eve");
    const int boss = AddUser(L"boss");
    ZUBDB::QVParams auth(false);
    auth.AddParam(0, L"DocRepoId", repoId_, false, L"=");
    auth.AddParam(1, L"UserId", boss, false, L"=");
    auth.AddParam(2, L"Manage", 1, false, L"=");
    ASSERT_EQ(raw_->InsertRow(L"QV_DMAuth", auth, L"", L""), 0);
    ASSERT_EQ(raw_->CommitTrans(), 0);

    DRM::Doc nobody = ReadDoc(id);
    nobody.set_checkOutById(1);
    EXPECT_EQ(nobody.EndCheckOut(), DRM::Err::kNotHolder);  // not checked out

    const struct {
        const char* who;
        int user;
        int status;
    } cases[] = {
        {"the holder", 1, 0}, {"another user", eve, DRM::Err::kNotAllowed}, {"a manager", boss, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        Holding(id);
        DRM::Doc doc = ReadDoc(id);
        doc.set_checkOutById(c.user);
        EXPECT_EQ(doc.EndCheckOut(), c.status);
        const DRM::Doc after = ReadDoc(id);
        EXPECT_EQ(after.state(), c.status == 0 ? 0 : 1);
        EXPECT_EQ(after.currentVersion(), L"1.0");  // no new version either way
        if (c.status != 0) {
            DRM::Doc holder = ReadDoc(id);
            holder.set_checkOutById(1);
            ASSERT_EQ(holder.EndCheckOut(), 0);
        }
    }
}

TEST_F(Safety, AFullDiskLeavesTheDocumentAsItWas) {
    const fs::path small = base_ / "small";
    fs::create_directories(small);
    if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        fs::path dir;
        ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
    } unmount{small};
    ZUBDB::QVParams server(false);
    server.AddParam(0, L"Server", L"file:" + small.wstring(), false, false, L"=");
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", repoId_, false, L"=");
    ASSERT_EQ(raw_->UpdateRows(L"QV_DMRepo", server, cond, L"", L""), 0);
    ASSERT_EQ(raw_->CommitTrans(), 0);
    const std::string old(1u << 20, 'o');
    const int id = AddDoc(L"doc", old);
    Holding(id);

    DRM::Doc doc = ReadDoc(id);
    doc.set_checkOutById(1);
    doc.set_checkOutByName(L"system");
    EXPECT_NE(doc.CheckIn(WriteLocal("big/doc.prt", std::string(3u << 20, 'n')).wstring()), 0);
    const DRM::Doc after = ReadDoc(id);
    EXPECT_EQ(after.currentVersion(), L"1.0");
    EXPECT_EQ(after.state(), 1);
    EXPECT_EQ(after.checkOutById(), 1);
    EXPECT_EQ(ReadFile(small / "D" / "repo1" / "trunk" / "doc.prt"), old);
    EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), 0);
}

}  // namespace

namespace {

TEST_F(Safety, TheRepositoryCheckReportsEveryKindOfFaultAndRepairsOnlyWhatIsSafe) {
    const int a = AddDoc(L"a", "A");
    AddDoc(L"b", "B");
    {
        DRM::Doc doc = Holding(a);
        ASSERT_EQ(doc.CheckIn(WriteLocal("n/a.prt", "A2").wstring()), 0);
    }
    DRM::BaseLine rel;
    Open(rel);
    rel.set_docRepoId(repoId_);
    rel.set_name(L"rel");
    ASSERT_EQ(rel.Create(), 0);

    fs::remove(OnServer("trunk/b.prt"));
    fs::remove(OnServer("history/" + std::to_string(a) + "_1.0.prt"));
    WriteLocal("../files/D/repo1/trunk/stray.prt", "user data");
    fs::remove_all(OnServer("baseline/rel"));
    fs::create_directories(OnServer("baseline/orphan"));
    WriteLocal("../files/D/repo1/history/.zub-stage-00000000000000ff", "debris");

    using Kind = DRM::RepoFinding::Kind;
    const auto findings = Examine(true);
    std::multiset<int> kinds;
    for (const auto& f : findings) kinds.insert(static_cast<int>(f.kind));
    EXPECT_EQ(kinds, (std::multiset<int>{static_cast<int>(Kind::DocFileMissing),
                                         static_cast<int>(Kind::HistoryFileMissing),
                                         static_cast<int>(Kind::UntrackedTrunkFile),
                                         static_cast<int>(Kind::StagingDebris),
                                         static_cast<int>(Kind::BaselineFolderMissing),
                                         static_cast<int>(Kind::BaselineFolderWithoutRow)}));
    for (const auto& f : findings) {
        const bool removable =
            f.kind == Kind::StagingDebris || f.kind == Kind::BaselineFolderWithoutRow;
        EXPECT_EQ(f.repaired, removable) << static_cast<int>(f.kind);
    }
    // A user's file is only reported; debris and the stray copy are gone.
    EXPECT_EQ(ReadFile(OnServer("trunk/stray.prt")), "user data");
    EXPECT_FALSE(fs::exists(OnServer("baseline/orphan")));
    EXPECT_FALSE(fs::exists(OnServer("history/.zub-stage-00000000000000ff")));
    EXPECT_EQ(Examine(false).size(), 4u);
}

}  // namespace

namespace {

// Loops body in a forked child until `stop` exists; its pid.
pid_t LoopUntil(const fs::path& stop, const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A test run killed from outside takes its loops with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        while (!fs::exists(stop)) body();
        ::_exit(0);
    }
    return pid;
}

// Stops and reaps the loops however the test ends: a child left running
// would keep the test's output open and hang the run.
struct LoopsStopper {
    fs::path stop;
    std::vector<pid_t> pids;
    void Stop() {
        std::ofstream(stop) << "";
        for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
        pids.clear();
    }
    ~LoopsStopper() { Stop(); }
};

TEST_F(Safety, ReadersAndRepairNeverFinishACheckInTheHolderIsStillPublishing) {
    constexpr int kRounds = 60;
    const std::string body(300 * 1024, 'x');
    const int id = AddDoc(L"race", "0");
    const fs::path stop = base_ / "stop";
    const pid_t viewer = LoopUntil(stop, [&] {
        DRM::Doc doc;
        if (doc.Connect(DbServer(), DbPort(), L"QVData", DbToken()) == 0 && doc.Read(id) == 0)
            doc.View(LocalDir("viewer").wstring());
    });
    const pid_t repairer = LoopUntil(stop, [&] {
        DRM::RepoCheck check;
        std::vector<DRM::RepoFinding> findings;
        if (check.Connect(DbServer(), DbPort(), L"QVData", DbToken()) == 0)
            check.Examine(repoId_, true, findings, 0);
    });
    LoopsStopper loops{stop, {viewer, repairer}};
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE(round);
        DRM::Doc doc = Holding(id);
        const std::string content = std::to_string(round) + body;
        ASSERT_EQ(doc.CheckIn(WriteLocal("ci/race.prt", content).wstring()), 0) << doc.ErrDesc();
        EXPECT_NE(doc.ErrNumber(), DRM::Err::kPublishPending) << doc.ErrDesc();
        // Published when the call returns, whoever else is looking.
        EXPECT_EQ(ReadFile(OnServer("trunk/race.prt")), content);
    }
    loops.Stop();

    EXPECT_EQ(ReadDoc(id).currentVersion(), L"1." + std::to_wstring(kRounds));
    EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1.0.prt")), "0");
    for (int round = 1; round < kRounds; ++round)
        EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1." +
                                    std::to_string(round) + ".prt")),
                  std::to_string(round) + body)
            << round;
    for (const auto& f : Names(OnServer("history")))
        EXPECT_EQ(f.find(".replaced"), std::string::npos) << f;
    EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
}

TEST_F(Safety, ARenameDuringTheHoldersOwnCheckInLosesNeitherChange) {
    constexpr int kRounds = 12;
    const std::string body(1u << 20, 'b');
    const int id = AddDoc(L"doc", "0");
    int bothWon = 0;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE(round);
        Holding(id);
        const DRM::Doc before = ReadDoc(id);
        const std::wstring renamed = L"r" + std::to_wstring(round);
        const std::string content = std::to_string(round) + body;
        const fs::path local = WriteLocal("ci" + std::to_string(round) + "/x.prt", content);
        const auto codes = Race(2, [&](int i) {
            DRM::Doc doc = ReadDoc(id);
            if (i == 1) return doc.ReName(renamed + L".prt") == 0 ? 0 : 1;
            doc.set_checkOutById(1);
            doc.set_checkOutByName(L"system");
            const int rc = doc.CheckIn(local.wstring());
            // The loser is told why.
            return rc == 0 ? 0 : rc == DRM::Err::kChanged ? 1 : 2;
        });
        ASSERT_NE(codes[0], 2);
        const DRM::Doc after = ReadDoc(id);
        // Each change is there exactly when it reported success.
        EXPECT_EQ(after.fileName() == renamed, codes[1] == 0);
        EXPECT_EQ(after.currentVersion() != before.currentVersion(), codes[0] == 0);
        EXPECT_TRUE(codes[0] == 0 || codes[1] == 0);
        if (codes[0] == 0 && codes[1] == 0) ++bothWon;
        if (codes[0] == 0) {
            EXPECT_EQ(ReadFile(OnServer("trunk/" + zub::WideToUtf8(after.fileName()) + ".prt")),
                      content);
        }
        // Every saved version has its file, no old content lies untracked.
        EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
    }
    std::cout << "rounds in which both changes went through one after the other: " << bothWon
              << "\n";
}

TEST_F(Safety, NamesOfTheImplementationsTemporariesAreRefusedAndOldOnesKept) {
    const struct {
        const wchar_t* stem;
        const wchar_t* ext;
    } reserved[] = {{L".a", L"vfs-0123456789"},
                    {L".zub-stage-0123456789abcdef", L"prt"},
                    {L".zub-staging", L"x"},
                    {L".x", L"vfs-abcdefghij"}};
    const int id = AddDoc(L"plain", "p");
    for (const auto& r : reserved) {
        const std::wstring name = std::wstring(r.stem) + L"." + r.ext;
        SCOPED_TRACE(zub::WideToUtf8(name));
        DRM::Doc add;
        Open(add);
        add.set_docRepoId(repoId_);
        add.set_fileName(r.stem);
        add.set_ext(r.ext);
        EXPECT_EQ(add.Add(WriteLocal("n/x", "x").wstring()), DRM::Err::kInvalidName);
        add.set_fileName(L"ok");
        add.set_ext(L"prt");
        add.set_phyUrl(L"\\sub\\" + name);
        EXPECT_EQ(add.Add(WriteLocal("n/ok.prt", "x").wstring()), DRM::Err::kInvalidName);
        EXPECT_EQ(ReadDoc(id).ReName(name), DRM::Err::kInvalidName);
        DRM::BaseLine b;
        Open(b);
        b.set_docRepoId(repoId_);
        b.set_name(name);
        EXPECT_EQ(b.Create(), DRM::Err::kInvalidName);
    }
    EXPECT_EQ(Count(L"QV_DMDoc"), 1);
    EXPECT_EQ(Count(L"QV_DMBaseline"), 0);

    // Kept by an earlier version that accepted such names: rows name them,
    // so repair leaves every one where it is.
    ZUBDB::QVParams doc(false);
    doc.AddParam(0, L"DocRepoId", repoId_, false, L"=");
    doc.AddParam(1, L"Name", L".a", false, false, L"=");
    doc.AddParam(2, L"Ext", L"vfs-0123456789", false, false, L"=");
    doc.AddParam(3, L"CurrentVersion", L"1.0", false, false, L"=");
    ASSERT_EQ(raw_->InsertRow(L"QV_DMDoc", doc, L"", L""), 0);
    for (const wchar_t* name : {L".x.vfs-abcdefghij", L".zub-stage-0123456789abcdef"}) {
        ZUBDB::QVParams b(false);
        b.AddParam(0, L"DocRepoId", repoId_, false, L"=");
        b.AddParam(1, L"name", name, false, false, L"=");
        ASSERT_EQ(raw_->InsertRow(L"QV_DMBaseline", b, L"", L""), 0);
        fs::create_directories(OnServer("baseline/" + zub::WideToUtf8(name)));
        WriteLocal("../files/D/repo1/baseline/" + zub::WideToUtf8(name) + "/plain.prt", "p");
    }
    ASSERT_EQ(raw_->CommitTrans(), 0);
    WriteLocal("../files/D/repo1/trunk/.a.vfs-0123456789", "only copy");
    // A real leftover beside them goes.
    WriteLocal("../files/D/repo1/trunk/.b.vfs-0123456789", "debris");

    Examine(true);
    DRM::RepoCheck server;
    Open(server);
    std::vector<DRM::RepoFinding> findings;
    ASSERT_EQ(server.ExamineServer(FileServer(), 0, true, findings), 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/.a.vfs-0123456789")), "only copy");
    EXPECT_FALSE(fs::exists(OnServer("trunk/.b.vfs-0123456789")));
    EXPECT_EQ(ReadFile(OnServer("baseline/.x.vfs-abcdefghij/plain.prt")), "p");
    EXPECT_EQ(ReadFile(OnServer("baseline/.zub-stage-0123456789abcdef/plain.prt")), "p");
    EXPECT_THAT(Kinds(Examine(false)), IsEmpty());
}

TEST_F(Safety, ABaselineNameLeftByADeadCreationIsFreeAtOnce) {
    AddDoc(L"doc", "old");
    auto create = [&] {
        DRM::BaseLine b;
        b.Connect(DbServer(), DbPort(), L"QVData", DbToken());
        b.set_docRepoId(repoId_);
        b.set_name(L"rel");
        return b.Create();
    };
    ASSERT_TRUE(KilledAt(DRM::FaultPoint::kBaselinePublished, create));
    ASSERT_TRUE(fs::is_directory(OnServer("baseline/rel")));
    EXPECT_EQ(create(), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline", L"DocRepoId", repoId_), 1);
    EXPECT_EQ(ReadFile(OnServer("baseline/rel/doc.prt")), "old");
    EXPECT_EQ(create(), DRM::Err::kNameTaken);
}

TEST_F(Safety, EveryFindingNamesItsFileDocumentAndVersion) {
    const int a = AddDoc(L"a", "A");
    fs::remove(OnServer("trunk/a.prt"));
    WriteLocal("../files/D/repo1/trunk/stray.prt", "user data");
    const auto findings = Examine(false);
    ASSERT_EQ(findings.size(), 2u);
    for (const auto& f : findings) {
        EXPECT_NE(f.text.find(f.path), std::wstring::npos) << zub::WideToUtf8(f.text);
        if (f.kind == DRM::RepoFinding::Kind::DocFileMissing) {
            EXPECT_EQ(f.docId, a);
            EXPECT_EQ(f.version, L"1.0");
            EXPECT_NE(f.path.find(L"a.prt"), std::wstring::npos);
        } else {
            EXPECT_EQ(f.kind, DRM::RepoFinding::Kind::UntrackedTrunkFile);
            EXPECT_NE(f.path.find(L"stray.prt"), std::wstring::npos);
        }
    }
}

TEST_F(Safety, ReadingAStoreOnAFullDiskNeedsNoFreeSpace) {
    const fs::path small = base_ / "full";
    fs::create_directories(small);
    if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        fs::path dir;
        ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
    } unmount{small};
    std::wstring error;
    ASSERT_EQ(zub::vaultschema::ProductStore::Create(small.string(), "QVData", error), 0);
    fs::create_directories(small / "files");
    const std::wstring db = ZUBDB::EmbeddedLocator(small.string());
    int id = 0;
    int repoId = 0;
    {
        DRM::DocRepo repo;
        ASSERT_EQ(repo.Connect(db, 0, L"QVData", L""), 0);
        repo.set_name(L"r");
        repo.set_nfsServer(ZUBDB::EmbeddedFileServer());
        repo.set_nfsRootDir(L"\\r\\");
        ASSERT_EQ(repo.Create(), DRM::DocRepo::kCreated) << repo.ErrNumber();
        repoId = repo.id();
        DRM::Doc doc;
        ASSERT_EQ(doc.Connect(db, 0, L"QVData", L""), 0);
        doc.set_docRepoId(repoId);
        doc.set_fileName(L"a");
        doc.set_ext(L"prt");
        doc.set_creById(1);
        ASSERT_EQ(doc.Add(WriteLocal("full/a.prt", "A").wstring()), 0) << doc.ErrNumber();
        id = doc.id();
    }
    {
        std::ofstream fill(small / "fill", std::ios::binary);
        const std::string chunk(4096, 'f');
        while (fill.write(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {}
    }
    DRM::Doc doc;
    ASSERT_EQ(doc.Connect(db, 0, L"QVData", L""), 0);
    ASSERT_EQ(doc.Read(id), 0) << zub::WideToUtf8(doc.ErrDesc());
    EXPECT_EQ(doc.View(LocalDir("out").wstring()), 0) << zub::WideToUtf8(doc.ErrDesc());
    EXPECT_EQ(ReadFile(LocalDir("out") / "a.prt"), "A");
    DRM::Docs docs;
    ASSERT_EQ(docs.Connect(db, 0, L"QVData", L""), 0);
    DRM::filterForDoc filter;
    filter.docRepoId = repoId;
    EXPECT_EQ(docs.GetAll(filter), 0);
    EXPECT_EQ(docs.Count(), 1);
}

}  // namespace

}  // namespace zub::docvault::test
