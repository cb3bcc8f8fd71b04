// A script-like client that knows only ProgIDs: objects made through the
// registry, a whole document life cycle driven through IDispatch::Invoke on
// an embedded store made by `vault init`, each error read through
// GetErrorInfo.
#include <sys/wait.h>
#include <zub/com/runtime.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dispatchclient.h"
#include "errorrecord.h"
#include "serversandbox.h"
#include "vaultauto_module_tests_paths.h"

namespace {

using namespace zub::vaultauto::test;
namespace fs = std::filesystem;

std::string U8(const std::wstring& w) { return zub::WideToUtf8(w); }

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LifeCycle : public ServerSandbox {
protected:
    void SetUp() override {
        ServerSandbox::SetUp();
        ASSERT_EQ(registerServer_(), S_OK);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        work_.emplace("vaultauto-lifecycle");
        store_ = work_->path() / "store";
        const std::string command =
            std::string("'") + VAULT_BINARY + "' init '" + store_.string() + "' > /dev/null";
        const int rc = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << command;
        DropErrorRecord();
    }
    void TearDown() override {
        CoUninitialize();
        work_.reset();
        ServerSandbox::TearDown();
    }

    // New object by ProgID through the registry, connected to the store.
    DispatchClient New(const std::wstring& progId, bool connect = true) {
        std::u16string id = zub::WideToUtf16(progId);
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(id.c_str(), &clsid), S_OK) << U8(progId);
        zub::com::ComPtr<IDispatch> d;
        EXPECT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.putVoid()),
            S_OK)
            << U8(progId);
        DispatchClient c(d);
        if (connect && c) {
            EXPECT_EQ(c.Long(L"connect", {Locator(), 0, L"QVData", L""}), 0) << U8(progId);
        }
        return c;
    }
    std::wstring Locator() const { return L"sqlite:" + store_.wstring(); }
    std::wstring FileServer() const { return L"file:" + (store_ / "files").wstring(); }

    std::optional<zub::testsupport::TempDir> work_;
    fs::path store_;
};

TEST_F(LifeCycle, ADocumentFromRepositoryToDeletion) {
    // Repository.
    DispatchClient repo = New(L"VaultAuto.CoDocRepo");
    ASSERT_EQ(repo.Put(L"name", L"demo"), S_OK);
    ASSERT_EQ(repo.Put(L"desc", L"parts of the demo"), S_OK);
    ASSERT_EQ(repo.Put(L"nCreator", 1), S_OK);
    ASSERT_EQ(repo.Put(L"bsNfsServer", FileServer()), S_OK);
    ASSERT_EQ(repo.Put(L"bsNfsPort", 0), S_OK);
    ASSERT_EQ(repo.Put(L"bsNfsRootDir", L"\\repos\\demo\\"), S_OK);
    ASSERT_EQ(repo.Put(L"VersionStraId", 1), S_OK);
    ASSERT_EQ(repo.Long(L"Create"), 0);
    const LONG repoId = repo.Long(L"Id");
    ASSERT_GT(repoId, 0);

    DispatchClient repos = New(L"VaultAuto.CoDocRepos");
    ASSERT_EQ(repos.Long(L"initDocRepos"), 0);
    ASSERT_EQ(repos.Long(L"Count"), 1);
    CallResult first;
    repos.Call(first, L"item", {0});
    ASSERT_EQ(first.hr, S_OK);
    EXPECT_EQ(DispatchClient(first.Object()).Text(L"name"), L"demo");

    // Rights: the creator's row, replaced by an explicit one.
    DispatchClient auths = New(L"VaultAuto.CoDocRepoAuths");
    CallResult r;
    auths.Call(r, L"initDocRepoAuths", {static_cast<int>(repoId)});
    ASSERT_EQ(r.hr, S_OK);
    auths.Call(r, L"Select");
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_GE(auths.Long(L"Count"), 1);
    auths.Call(r, L"Delete");
    ASSERT_EQ(r.hr, S_OK);
    DispatchClient right = New(L"VaultAuto.CoDocRepoAuth", false);
    for (const auto& [name, value] : {std::pair{L"DocRepoId", static_cast<int>(repoId)},
                                      {L"UserId", 1},
                                      {L"ByRoleOrUser", 1},
                                      {L"Read", 1},
                                      {L"Write", 1},
                                      {L"Manage", 1}})
        ASSERT_EQ(right.Put(name, value), S_OK) << U8(name);
    auths.Call(r, L"Add", {right.get()});
    ASSERT_EQ(r.hr, S_OK);
    auths.Call(r, L"save");
    ASSERT_EQ(r.hr, S_OK);
    auths.Call(r, L"Select");
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(auths.Long(L"Count"), 1);
    CallResult row;
    auths.Call(row, L"ItemByKey", {std::to_wstring(repoId)});
    ASSERT_EQ(row.hr, S_OK);
    EXPECT_EQ(DispatchClient(row.Object()).Long(L"Manage"), 1);

    // Version strategy.
    // A replaced strategy object keeps the wrapper's connection.
    DispatchClient strategy = New(L"VaultAuto.CoVersionStra");
    strategy.Call(r, L"SetVersionStra", {1});
    ASSERT_EQ(r.hr, S_OK);
    const LONG scheme = strategy.Long(L"SeriaNumStra");
    EXPECT_GT(scheme, 0);
    EXPECT_EQ(strategy.Long(L"Update"), 0);
    DispatchClient reread = New(L"VaultAuto.CoVersionStra");
    reread.Call(r, L"Read", {1});
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(reread.Long(L"SeriaNumStra"), scheme);

    // Add, check out, check in with a form.
    const fs::path local = work_->path() / "local" / "bracket.prt";
    WriteFile(local, "bracket, rev A\n");
    DispatchClient doc = New(L"VaultAuto.CoDoc");
    ASSERT_EQ(doc.Put(L"DocRepoId", static_cast<int>(repoId)), S_OK);
    ASSERT_EQ(doc.Put(L"FileName", L"bracket"), S_OK);
    ASSERT_EQ(doc.Put(L"Ext", L"prt"), S_OK);
    ASSERT_EQ(doc.Put(L"PhyUrl", L""), S_OK);
    ASSERT_EQ(doc.Put(L"CreById", 1), S_OK);
    ASSERT_EQ(doc.Long(L"Add", {local.wstring()}), 0);
    const LONG docId = doc.Long(L"Id");
    ASSERT_GT(docId, 0);
    const std::wstring firstVersion = doc.Text(L"CurrentVersion");
    EXPECT_FALSE(firstVersion.empty());

    DispatchClient editing = New(L"VaultAuto.CoDoc");
    editing.Call(r, L"setForDoc", {static_cast<int>(docId)});
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(editing.Text(L"FileName"), L"bracket");
    ASSERT_EQ(editing.Put(L"CheckOutById", 1), S_OK);
    ASSERT_EQ(editing.Put(L"CheckOutByName", L"system"), S_OK);
    const fs::path workDir = work_->path() / "checkout";
    fs::create_directories(workDir);
    ASSERT_EQ(editing.Long(L"CheckOut", {workDir.wstring()}), 0);
    EXPECT_EQ(ReadFile(workDir / "bracket.prt"), "bracket, rev A\n");
    DispatchClient observer = New(L"VaultAuto.CoDoc");
    observer.Call(r, L"setForDoc", {static_cast<int>(docId)});
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(observer.Long(L"State"), 1);

    WriteFile(workDir / "bracket.prt", "bracket, rev B\n");
    ASSERT_EQ(editing.Put(L"ModifyInfo", L"Bigger mounting hole"), S_OK);
    ASSERT_EQ(editing.Long(L"CheckInWithForm", {(workDir / "bracket.prt").wstring(), L"RC-7"}), 0);
    observer.Call(r, L"setForDoc", {static_cast<int>(docId)});
    EXPECT_EQ(observer.Long(L"State"), 0);
    EXPECT_NE(observer.Text(L"CurrentVersion"), firstVersion);

    // History.
    DispatchClient history = New(L"VaultAuto.CoDocHistorys");
    history.Call(r, L"GetAll", {static_cast<int>(docId), 0});
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(history.Long(L"Count"), 1);
    CallResult saved;
    history.Call(saved, L"item", {0});
    ASSERT_EQ(saved.hr, S_OK);
    DispatchClient version(saved.Object());
    EXPECT_EQ(version.Long(L"DocId"), docId);
    EXPECT_EQ(version.Text(L"OperateInfo"), L"Bigger mounting hole");
    const fs::path old = work_->path() / "old";
    fs::create_directories(old);
    ASSERT_EQ(editing.Long(L"GetHistory", {firstVersion, old.wstring()}), 0);
    EXPECT_EQ(ReadFile(old / "bracket.prt"), "bracket, rev A\n");

    // Baseline.
    DispatchClient baseline = New(L"VaultAuto.CoBaseLine");
    ASSERT_EQ(baseline.Put(L"DocRepoId", static_cast<int>(repoId)), S_OK);
    ASSERT_EQ(baseline.Put(L"Name", L"release-1"), S_OK);
    ASSERT_EQ(baseline.Put(L"Desc", L"First release"), S_OK);
    ASSERT_EQ(baseline.Long(L"Create"), 0);
    DispatchClient baselines = New(L"VaultAuto.CoBaseLines");
    baselines.Call(r, L"GetAll", {static_cast<int>(repoId)});
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(baselines.Long(L"Count"), 1);
    const fs::path frozen = work_->path() / "frozen";
    fs::create_directories(frozen);
    ASSERT_EQ(baseline.Long(L"DownLoad", {frozen.wstring()}), 0);
    bool found = false;
    for (const auto& entry : fs::recursive_directory_iterator(frozen))
        found = found || entry.path().filename() == "bracket.prt";
    EXPECT_TRUE(found);

    // Listing and deletion.
    DispatchClient docs = New(L"VaultAuto.CoDocs");
    ASSERT_EQ(docs.Long(L"GetAll", {static_cast<int>(repoId), 0}), 0);
    ASSERT_EQ(docs.Long(L"Count"), 1);
    ASSERT_EQ(editing.Long(L"Delete"), 0);
    DispatchClient after = New(L"VaultAuto.CoDocs");
    ASSERT_EQ(after.Long(L"GetAll", {static_cast<int>(repoId), 0}), 0);
    EXPECT_EQ(after.Long(L"Count"), 0);
}

TEST_F(LifeCycle, ASuccessAfterARefusedCallReportsNoError) {
    DispatchClient repo = New(L"VaultAuto.CoDocRepo");
    ASSERT_EQ(repo.Put(L"name", L"stale"), S_OK);
    ASSERT_EQ(repo.Put(L"nCreator", 1), S_OK);
    ASSERT_EQ(repo.Put(L"bsNfsServer", FileServer()), S_OK);
    ASSERT_EQ(repo.Put(L"bsNfsRootDir", L"\\repos\\stale\\"), S_OK);
    ASSERT_EQ(repo.Put(L"VersionStraId", 1), S_OK);
    ASSERT_EQ(repo.Long(L"Create"), 0);
    const LONG repoId = repo.Long(L"Id");
    const fs::path local = work_->path() / "local" / "plate.prt";
    WriteFile(local, "rev A\n");
    DispatchClient doc = New(L"VaultAuto.CoDoc");
    ASSERT_EQ(doc.Put(L"DocRepoId", static_cast<int>(repoId)), S_OK);
    ASSERT_EQ(doc.Put(L"FileName", L"plate"), S_OK);
    ASSERT_EQ(doc.Put(L"Ext", L"prt"), S_OK);
    ASSERT_EQ(doc.Put(L"CreById", 1), S_OK);
    ASSERT_EQ(doc.Long(L"Add", {local.wstring()}), 0);
    const LONG docId = doc.Long(L"Id");

    DispatchClient editing = New(L"VaultAuto.CoDoc");
    CallResult r;
    editing.Call(r, L"setForDoc", {static_cast<int>(docId)});
    ASSERT_EQ(r.hr, S_OK);
    // Not checked out: the check-in is refused, and the refusal stays on the object.
    editing.Call(r, L"CheckIn", {local.wstring()});
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_NE(r.Long(), 0);
    editing.Call(r, L"Delete");
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.Long(), 0);
    EXPECT_FALSE(TakeErrorRecord().present);
    DispatchClient docs = New(L"VaultAuto.CoDocs");
    ASSERT_EQ(docs.Long(L"GetAll", {static_cast<int>(repoId), 0}), 0);
    EXPECT_EQ(docs.Long(L"Count"), 0) << "the document is gone";
}

TEST_F(LifeCycle, ConnectingToAStoreThatDoesNotExistFails) {
    DispatchClient doc = New(L"VaultAuto.CoDoc", false);
    const std::wstring missing = L"sqlite:" + (work_->path() / "nothing-here").wstring();
    EXPECT_EQ(doc.Long(L"connect", {missing, 0, L"QVData", L""}), 49600);
    EXPECT_FALSE(fs::exists(work_->path() / "nothing-here"));
    EXPECT_EQ(doc.Long(L"connect", {Locator(), 0, L"QVData", L""}), 0);
}

TEST_F(LifeCycle, ErrorsArriveAsErrorRecords) {
    // A member of an object that was never connected.
    DispatchClient repo = New(L"VaultAuto.CoDocRepo", false);
    CallResult r;
    repo.Call(r, L"Delete");
    EXPECT_EQ(r.hr, MakeHr(0x8004C1C0));
    ErrorRecord rec = TakeErrorRecord();
    EXPECT_EQ(rec.description, L"远程数据库未连接");
    EXPECT_EQ(rec.source, L"VaultAuto.CoDocRepo.1");

    // A selection that finds nothing, then Count on the same collection.
    DispatchClient auths = New(L"VaultAuto.CoDocRepoAuths");
    auths.Call(r, L"initDocRepoAuths", {999});
    auths.Call(r, L"Select");
    EXPECT_EQ(r.hr, MakeHr(0x8004C1C8));
    EXPECT_EQ(TakeErrorRecord().description, L"条件无效");
    auths.Call(r, L"Count");
    EXPECT_EQ(r.hr, S_OK) << "the selection's failure is not Count's";
    EXPECT_FALSE(TakeErrorRecord().present);

    // An element past the end.
    DispatchClient docs = New(L"VaultAuto.CoDocs");
    docs.Call(r, L"item", {0});
    ASSERT_EQ(r.hr, S_OK);
    DispatchClient nothing(r.Object());
    ASSERT_TRUE(nothing);
    CallResult fileName;
    nothing.Call(fileName, L"FileName");
    EXPECT_EQ(fileName.hr, MakeHr(0x80040200));
    EXPECT_EQ(TakeErrorRecord().description, L"Object instance is nothing.");

    // With an EXCEPINFO the dispatch layer takes the record over.
    EXCEPINFO info{};
    nothing.Call(fileName, L"FileName", {}, DISPATCH_PROPERTYGET, &info);
    EXPECT_EQ(fileName.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, MakeHr(0x80040200));
    EXPECT_EQ(zub::com::BstrToWide(info.bstrDescription), L"Object instance is nothing.");
    EXPECT_EQ(zub::com::BstrToWide(info.bstrSource), L"VaultAuto.CoDoc.1");
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
}

}  // namespace
