// Where an operation caught an exception reaches the error log entry it
// records; the description stays the exception's full text.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "docvault/baseline.h"
#include "docvault/baselines.h"
#include "docvault/bo.h"
#include "docvault/doc.h"
#include "docvault/dochistory.h"
#include "docvault/dochistorys.h"
#include "docvault/docrepo.h"
#include "docvault/docrepos.h"
#include "docvault/versionstra.h"
#include "docvault_tests_paths.h"
#include "probe_bo.h"
#include "recording_db.h"
#include "recording_nfs.h"
#include "throwing_accessor.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

struct Outcome {
    int status = 0;
    std::wstring desc;
    std::vector<BOErrorEntry> log;
};

// Runs op on a fresh object of T connected to an accessor that throws.
template <class T>
std::function<Outcome()> On(std::function<int(T&)> op) {
    return [op] {
        T obj;
        obj.Connect(L"recthrow:", 0, L"QVData", L"tok");
        Outcome out;
        out.status = op(obj);
        out.desc = obj.ErrDesc();
        out.log = obj.ErrorLog();
        return out;
    };
}

// Line `line` (1-based) of a library source named like a catch file.
std::string SourceLine(const std::wstring& catchFile, unsigned long line) {
    std::ifstream in(std::string(DOCVAULT_SOURCE_DIR) + "/" + zub::WideToUtf8(catchFile) + ".cpp");
    std::string text;
    for (unsigned long i = 0; i < line && std::getline(in, text); ++i) {}
    return in ? text : std::string();
}

class CatchLocation : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingDb::Install();
        RecordingNfs::Install();
    }
    void TearDown() override {
        ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"recthrow");
    }
};

TEST_F(CatchLocation, AnExceptionCaughtByAnOperationRecordsItsCatchPlace) {
    const struct {
        const char* what;
        const wchar_t* throwOn;
        std::function<Outcome()> run;
        int status;
        const wchar_t* file;
        const wchar_t* function;
    } cases[] = {
        // The check and the folders pass; the row's creator look-up throws.
        {"repository create", L"QV_User", On<DRM::DocRepo>([](DRM::DocRepo& r) {
             r.set_name(L"r1");
             r.set_nfsServer(L"recfs:");
             r.set_nfsRootDir(L"D:\\r1");
             return r.Create();
         }),
         DRM::DocRepo::kRowFailed, L"src/docrepo", L"DRM::DocRepo::Save"},
        {"repository listing", L"QV_DMRepo",
         On<DRM::DocRepos>([](DRM::DocRepos& r) { return r.GetAll(); }), -1, L"src/docrepos",
         L"DRM::DocRepos::GetAll"},
        {"repository listing of a user", L"QV_DMRepo",
         On<DRM::DocRepos>([](DRM::DocRepos& r) { return r.GetAll(4); }), -1, L"src/docrepos",
         L"DRM::DocRepos::GetAll"},
        {"strategy read", L"QV_DMVerStrategy",
         On<DRM::VersionStra>([](DRM::VersionStra& v) { return v.Read(1); }), -1,
         L"src/versionstra", L"DRM::VersionStra::Read"},
        {"document view", L"QV_DMRepo", On<DRM::Doc>([](DRM::Doc& d) {
             d.set_docRepoId(3);
             d.set_fileName(L"a");
             d.set_ext(L"prt");
             return d.View(L"/tmp");
         }),
         -1, L"src/doc", L"DRM::Doc::View"},
        {"history read", L"QV_DMDocVer",
         On<DRM::DocHistory>([](DRM::DocHistory& h) { return h.Read(1); }), -1, L"src/dochistory",
         L"DRM::DocHistory::Read"},
        {"history listing", L"QV_DMDocVer", On<DRM::DocHistorys>([](DRM::DocHistorys& h) {
             return h.GetAll(DRM::filterForDocHistory{12, 0});
         }),
         -1, L"src/dochistorys", L"DRM::DocHistorys::GetAll"},
        {"baseline listing", L"QV_DMBaseline",
         On<DRM::BaseLines>([](DRM::BaseLines& b) { return b.GetAll(DRM::filterForBaseLine{3}); }),
         -1, L"src/baselines", L"DRM::BaseLines::GetAll"},
        // The innermost boundary that caught it is the one named.
        {"baseline create", L"QV_DMRepo", On<DRM::BaseLine>([](DRM::BaseLine& b) {
             b.set_docRepoId(3);
             b.set_name(L"rel1");
             return b.Create();
         }),
         -1, L"src/baseline", L"DRM::BaseLine::CreateDirOnServer"},
        {"system id", L"GetNewId", On<ProbeBo>([](ProbeBo& b) { return b.GetSysId(5, 1); }), -1,
         L"src/bo", L"BO::GetSysId"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ThrowingAccessor::Register(c.throwOn);
        const Outcome out = c.run();
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.desc, L"boom\n");
        ASSERT_FALSE(out.log.empty());
        const BOErrorEntry& entry = out.log.back();
        EXPECT_EQ(entry.number, -1);
        EXPECT_EQ(entry.description, L"boom\n");
        EXPECT_EQ(entry.text2, c.file);
        EXPECT_EQ(entry.text3, c.function);
        // The line is the operation's own envelope call, which names it.
        const std::string function = '"' + zub::WideToUtf8(c.function) + '"';
        EXPECT_NE(SourceLine(c.file, entry.n).find(function), std::string::npos)
            << "line " << entry.n << ": " << SourceLine(c.file, entry.n);
    }
}

TEST_F(CatchLocation, TwoOperationsOfOneNameAreToldApartByTheirLine) {
    ThrowingAccessor::Register(L"QV_DMRepo");
    const Outcome all = On<DRM::DocRepos>([](DRM::DocRepos& r) { return r.GetAll(); })();
    const Outcome ofUser = On<DRM::DocRepos>([](DRM::DocRepos& r) { return r.GetAll(4); })();
    ASSERT_FALSE(all.log.empty());
    ASSERT_FALSE(ofUser.log.empty());
    EXPECT_NE(all.log.back().n, ofUser.log.back().n);
}

TEST_F(CatchLocation, AComponentThatThrowsWhileConnectingIsCaughtByConnect) {
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"throwonconnect",
        [](const ZUBDB::QVSvrInfo&, const std::wstring&) -> std::unique_ptr<ZUBDB::CDBAccessor> {
            // The creator turns standard exceptions into a null accessor.
            throw 5;
        });
    DRM::DocRepo repo;
    EXPECT_EQ(repo.Connect(L"throwonconnect:", 0, L"QVData", L""), -1);
    ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"throwonconnect");
    EXPECT_EQ(repo.ErrDesc(), L"unknown exception\n");
    ASSERT_EQ(repo.ErrorLog().size(), 1u);
    const BOErrorEntry& entry = repo.ErrorLog().back();
    EXPECT_EQ(entry.text2, L"src/bo");
    EXPECT_EQ(entry.text3, L"BO::Connect");
    EXPECT_NE(SourceLine(L"src/bo", entry.n).find("\"BO::Connect\""), std::string::npos);
}

TEST_F(CatchLocation, ErrorsThatAreNoExceptionsCarryNoCatchPlace) {
    DRM::DocHistory unconnected;
    EXPECT_EQ(unconnected.Read(1), 49600);

    RecordingDb& db = RecordingDb::Get();
    db.FailOn(L"SelectRows", 1, 208, L"Invalid object name");
    DRM::DocHistory h;
    h.Connect(L"rec:", 0, L"QVData", L"tok");
    EXPECT_EQ(h.Read(1), 208);

    for (const BO* bo : {static_cast<const BO*>(&unconnected), static_cast<const BO*>(&h)}) {
        ASSERT_EQ(bo->ErrorLog().size(), 1u);
        EXPECT_EQ(bo->ErrorLog()[0].text2, L"");
        EXPECT_EQ(bo->ErrorLog()[0].text3, L"");
        EXPECT_EQ(bo->ErrorLog()[0].n, 0u);
    }
}

}  // namespace

}  // namespace zub::docvault::test
