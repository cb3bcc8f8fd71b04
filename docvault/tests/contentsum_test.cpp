// Content sums end to end: every stored file has the SHA-256 of its bytes in
// its row, a damaged file is never handed out, and the content check finds
// damage and fills in the sums of older stores.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "docvault/baseline.h"
#include "docvault/contentcheck.h"
#include "docvault/doc.h"
#include "embedded_store_fixture.h"
#include "internal/contentsums.h"
#include "internal/repofiles.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;

std::wstring Sha(const std::string& data) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
    std::wstring hex;
    for (unsigned char c : digest) {
        hex += L"0123456789abcdef"[c >> 4];
        hex += L"0123456789abcdef"[c & 0xf];
    }
    return hex;
}

class ContentSumTest : public EmbeddedStoreFixture {
protected:
    DRM::Doc ReadDoc(int id) {
        DRM::Doc doc;
        EXPECT_EQ(doc.Connect(DbServer(), 0, L"QVData", L""), 0);
        EXPECT_EQ(doc.Read(id), 0);
        doc.set_checkOutById(1);
        doc.set_checkOutByName(L"system");
        return doc;
    }
    int AddDoc(const std::string& content) {
        DRM::Doc doc;
        EXPECT_EQ(doc.Connect(DbServer(), 0, L"QVData", L""), 0);
        doc.set_docRepoId(repoId_);
        doc.set_fileName(L"part");
        doc.set_ext(L"prt");
        doc.set_creById(1);
        EXPECT_EQ(doc.Add(WriteLocal("in/part.prt", content).wstring()), 0) << doc.ErrNumber();
        return doc.id();
    }
    void CheckIn(int id, const std::string& content) {
        DRM::Doc doc = ReadDoc(id);
        ASSERT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0) << doc.ErrNumber();
        ASSERT_EQ(doc.CheckIn(WriteLocal("new/part.prt", content).wstring()), 0) << doc.ErrNumber();
    }
    // The recorded sum and size, as "sum size".
    std::wstring DocSum(int id) {
        auto rs = Query(L"QV_DMDoc", L"ContentSha256 || ' ' || ContentBytes", L"DocId", id);
        return rs->GetStringAt(0);
    }
    std::vector<std::wstring> HistorySums(int id) {
        std::vector<std::wstring> sums;
        for (auto rs = Query(L"QV_DMDocVer", L"ContentSha256 || ' ' || ContentBytes", L"DocId", id,
                             L"Revision");
             !rs->IsEOF(); rs->MoveNext())
            sums.push_back(rs->GetStringAt(0));
        return sums;
    }
    // What a store made before sums (sums) or sizes (sizes only) holds.
    void ClearSums(bool sums = true) {
        for (const wchar_t* table : {L"QV_DMDoc", L"QV_DMDocVer"}) {
            ZUBDB::QVParams v(false);
            if (sums) v.AddParam(0, L"ContentSha256", std::wstring(), false, false, L"=");
            v.AddParam(static_cast<long>(v.size()), L"ContentBytes", -1LL, false, L"=");
            ASSERT_EQ(raw_->UpdateRows(table, v, ZUBDB::QVParams(false), L"", L""), 0);
            ASSERT_EQ(raw_->CommitTrans(), 0);
        }
    }
    std::vector<DRM::ContentFinding> Check(bool readAll, bool fill) {
        DRM::ContentCheck check;
        EXPECT_EQ(check.Connect(DbServer(), 0, L"QVData", L""), 0);
        std::vector<DRM::ContentFinding> findings;
        EXPECT_EQ(check.Examine(repoId_, readAll, fill, findings), 0) << check.ErrNumber();
        return findings;
    }
};

std::vector<std::string> Kinds(const std::vector<DRM::ContentFinding>& findings) {
    std::vector<std::string> kinds;
    for (const auto& f : findings)
        kinds.push_back(std::to_string(static_cast<int>(f.kind)) + " " + std::to_string(f.docId) +
                        " " + zub::WideToUtf8(f.version) + (f.repaired ? " repaired" : ""));
    return kinds;
}

// "sum size" as the rows record them.
std::wstring Rec(const std::string& data) {
    return Sha(data) + L" " + std::to_wstring(data.size());
}

TEST_F(ContentSumTest, EveryStoredFileHasTheSumAndSizeOfItsBytes) {
    const int id = AddDoc("one");
    EXPECT_EQ(DocSum(id), Rec("one"));
    CheckIn(id, "two!");
    EXPECT_EQ(DocSum(id), Rec("two!"));
    EXPECT_EQ(HistorySums(id), std::vector<std::wstring>{Rec("one")});
    DRM::Doc doc = ReadDoc(id);
    ASSERT_EQ(doc.SaveToHistory(L""), 0) << doc.ErrNumber();
    EXPECT_EQ(HistorySums(id), (std::vector<std::wstring>{Rec("one"), Rec("two!")}));
    ASSERT_EQ(ReadDoc(id).UpLoadDoc(WriteLocal("up/part.prt", "three").wstring()), 0);
    EXPECT_EQ(DocSum(id), Rec("three"));
    EXPECT_EQ(ReadDoc(id).View(LocalDir("view").wstring()), 0);
    EXPECT_EQ(ReadFile(local_ / "view/part.prt"), "three");
}

// A file changed on the server after its sum was recorded is handed out by
// no operation, and nothing lands in the local folder.
TEST_F(ContentSumTest, ADamagedFileIsNeverHandedOut) {
    struct Case {
        const char* name;
        const char* damaged;  // below the repository folder
        std::string content;  // written over it
        std::function<int(DRM::Doc&, const std::wstring&)> op;
    };
    const std::vector<Case> cases = {
        {"view, overwritten", "trunk/part.prt", "twO",
         [](DRM::Doc& d, const std::wstring& dir) { return d.View(dir); }},
        {"view, truncated", "trunk/part.prt", "",
         [](DRM::Doc& d, const std::wstring& dir) { return d.View(dir); }},
        {"check-out", "trunk/part.prt", "tw",
         [](DRM::Doc& d, const std::wstring& dir) { return d.CheckOut(dir); }},
        {"saved version", "history/1_1.0.prt", "onE",
         [](DRM::Doc& d, const std::wstring& dir) { return d.GetHistory(L"1.0", dir); }},
        {"saved from a damaged file", "trunk/part.prt", "tw0",
         [](DRM::Doc& d, const std::wstring&) { return d.SaveToHistory(L""); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const int id = AddDoc("one");
        CheckIn(id, "two");
        const long versions = Count(L"QV_DMDocVer");
        std::ofstream(OnServer(c.damaged), std::ios::binary | std::ios::trunc) << c.content;
        const fs::path dir = base_ / "out";
        DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(c.op(doc, dir.wstring()), NFS::NFS_E_CONTENT);
        EXPECT_NE(doc.ErrDesc().find(c.content.size() == 3 ? L"does not match its recorded SHA-256"
                                                           : L"differs from its recorded size"),
                  std::wstring::npos)
            << zub::WideToUtf8(doc.ErrDesc());
        EXPECT_FALSE(fs::exists(dir / "part.prt"));
        // No check-out kept without a copy, no history row without a good file.
        EXPECT_EQ(Query(L"QV_DMDoc", L"CurrentState", L"DocId", id)->GetIntAt(0), 0);
        EXPECT_EQ(Count(L"QV_DMDocVer"), versions);
    }
}

// A reader that looked up the sum just before a check-in published its file
// reads the new file: the sum it then finds recorded decides.
TEST_F(ContentSumTest, ADownloadRetriesOnlyWhileTheRecordedSumChanges) {
    const int id = AddDoc("one");
    struct Case {
        const char* name;
        std::vector<std::wstring> recorded;  // what each look-up answers
        int status;
    };
    const std::vector<Case> cases = {
        {"stale, then current", {Sha("older"), Sha("one")}, 0},
        {"the same wrong sum twice", {Sha("older"), Sha("older")}, NFS::NFS_E_CONTENT},
        {"always changing", {Sha("a"), Sha("b"), Sha("c"), Sha("d")}, NFS::NFS_E_CONTENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DRM::Doc doc = ReadDoc(id);
        DRM::RepoFiles files(doc);
        ASSERT_EQ(files.Open(repoId_), 0);
        std::size_t asked = 0;
        const fs::path dir = LocalDir(std::string("retry-") + c.name);
        const int rc =
            DRM::ContentSums::Download(files, files.Path(L"\\trunk\\part.prt"), dir.wstring(),
                                       L"part.prt", [&](NFS::ContentSum& sum) {
                                           sum.expect = c.recorded.at(asked++);
                                           return 0;
                                       });
        EXPECT_EQ(rc, c.status);
        EXPECT_EQ(fs::exists(dir / "part.prt"), c.status == 0);
        EXPECT_LE(asked, 3u);
    }
}

TEST_F(ContentSumTest, TheCheckFindsDamageAndFillsInMissingSums) {
    struct Case {
        const char* name;
        bool clearSums;
        const char* damaged;  // nullptr: none
        bool readAll;
        bool fill;
        std::vector<std::string> kinds;
        const char* with = "bad";  // the damaged file's new content
        bool sizesOnly = false;    // clearSums: only the sizes are missing
    };
    // Kinds: 0 missing sum, 1 mismatch.
    const std::vector<Case> cases = {
        {"a whole store", false, nullptr, true, false, {}},
        {"damage of the same size is not seen without reading",
         false,
         "trunk/part.prt",
         false,
         false,
         {}},
        {"a truncated file is seen without reading",
         false,
         "trunk/part.prt",
         false,
         false,
         {"1 1 "},
         ""},
        {"a grown saved version is seen without reading",
         false,
         "history/1_1.0.prt",
         false,
         false,
         {"1 1 1.0"},
         "grown"},
        {"sizes missing", true, nullptr, false, false, {"0 1 ", "0 1 1.0"}, "", true},
        {"sizes missing of a damaged file are not filled",
         true,
         "trunk/part.prt",
         false,
         true,
         {"1 1 ", "0 1 1.0 repaired"},
         "bad",
         true},
        {"damaged current file", false, "trunk/part.prt", true, false, {"1 1 "}},
        {"damaged saved version", false, "history/1_1.0.prt", true, true, {"1 1 1.0"}},
        {"an older store", true, nullptr, false, false, {"0 1 ", "0 1 1.0"}},
        {"an older store repaired",
         true,
         nullptr,
         false,
         true,
         {"0 1  repaired", "0 1 1.0 repaired"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const int id = AddDoc("one");
        CheckIn(id, "two");
        if (c.clearSums) ClearSums(!c.sizesOnly);
        if (c.damaged) std::ofstream(OnServer(c.damaged), std::ios::trunc) << c.with;
        EXPECT_EQ(Kinds(Check(c.readAll, c.fill)), c.kinds);
        if (c.fill && c.clearSums && !c.damaged) {
            EXPECT_EQ(DocSum(id), Rec("two"));
            EXPECT_EQ(HistorySums(id), std::vector<std::wstring>{Rec("one")});
            EXPECT_THAT(Kinds(Check(true, false)), IsEmpty());
        }
        if (c.fill && c.damaged && c.clearSums) {
            EXPECT_EQ(DocSum(id), Sha("two") + L" -1");
        }
    }
}

}  // namespace

namespace {

class BaselineSumTest : public ContentSumTest {
protected:
    DRM::BaseLine Baseline(const std::wstring& name) {
        DRM::BaseLine b;
        EXPECT_EQ(b.Connect(DbServer(), 0, L"QVData", L""), 0);
        b.set_docRepoId(repoId_);
        b.set_name(name);
        return b;
    }
    std::vector<std::wstring> Listed() {
        std::vector<std::wstring> rows;
        for (auto rs = Query(L"ZUB_DMBaselineFile",
                             L"Path || ' ' || ContentSha256 || ' ' || ContentBytes");
             !rs->IsEOF(); rs->MoveNext())
            rows.push_back(rs->GetStringAt(0));
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

std::vector<std::string> BaselineKinds(const std::vector<DRM::ContentFinding>& findings) {
    std::vector<std::string> kinds;
    for (const auto& f : findings)
        kinds.push_back(std::to_string(static_cast<int>(f.kind)) + " " +
                        zub::WideToUtf8(f.baseline) + (f.repaired ? " repaired" : ""));
    return kinds;
}

}  // namespace

TEST_F(BaselineSumTest, ABaselineRecordsWhatItFrozeAsTheBytesStreamed) {
    AddDoc("one");
    fs::create_directories(OnServer("trunk/sub"));
    std::ofstream(OnServer("trunk/sub/loose.txt"), std::ios::binary) << "loose!";
    DRM::BaseLine b = Baseline(L"rel");
    ASSERT_EQ(b.Create(), 0) << zub::WideToUtf8(b.ErrDesc());
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"part.prt " + Rec("one"),
                                                   L"sub\\loose.txt " + Rec("loose!")}));
    EXPECT_EQ(b.DownLoad(LocalDir("bl").wstring()), 0) << zub::WideToUtf8(b.ErrDesc());
    EXPECT_EQ(ReadFile(local_ / "bl/sub/loose.txt"), "loose!");
    EXPECT_THAT(BaselineKinds(Check(true, false)), IsEmpty());
}

// A current file that no longer has the size its row records is not
// frozen. (The baseline shares the trunk's bytes without reading them: a
// change that keeps the size is found by reading, as below.)
TEST_F(BaselineSumTest, ADamagedCurrentFileIsNotFrozen) {
    AddDoc("one");
    std::ofstream(OnServer("trunk/part.prt"), std::ios::trunc) << "broken";
    DRM::BaseLine b = Baseline(L"rel");
    EXPECT_EQ(b.Create(), NFS::NFS_E_CONTENT);
    EXPECT_NE(b.ErrDesc().find(L"part.prt"), std::wstring::npos) << zub::WideToUtf8(b.ErrDesc());
    EXPECT_EQ(Count(L"QV_DMBaseline"), 0);
    EXPECT_THAT(Listed(), IsEmpty());
    EXPECT_FALSE(fs::exists(OnServer("baseline/rel")));
}

TEST_F(BaselineSumTest, ADamagedBaselineIsFoundAndNeverHandedOut) {
    struct Case {
        const char* name;
        const char* file;                      // below baseline/rel
        const char* with;                      // nullptr: removed
        long download;                         // what DownLoad answers
        std::vector<std::string> plain, full;  // findings without and with reading
    };
    // Kinds: 1 mismatch, 2 missing, 3 not listed, 5 writable. The baseline's file is the
    // trunk's own: a change in place shows in both.
    const std::vector<Case> cases = {
        {"overwritten", "part.prt", "onE", NFS::NFS_E_CONTENT, {}, {"1 ", "1 rel"}},
        {"truncated", "part.prt", "", NFS::NFS_E_CONTENT, {"1 ", "1 rel"}, {"1 ", "1 rel"}},
        {"removed", "part.prt", nullptr, NFS::NFS_E_NOT_FOUND, {"2 rel"}, {"2 rel"}},
        // Put there by hand, so it can be written too (5), until repaired.
        {"a file put there",
         "extra.prt",
         "x",
         NFS::NFS_E_CONTENT,
         {"3 rel", "5 "},
         {"3 rel", "5  repaired"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        AddDoc("one");
        ASSERT_EQ(Baseline(L"rel").Create(), 0);
        const fs::path file = OnServer(std::string("baseline/rel/") + c.file);
        if (c.with)
            std::ofstream(file, std::ios::trunc) << c.with;
        else
            fs::remove(file);
        DRM::BaseLine b = Baseline(L"rel");
        const fs::path dir = base_ / "out";
        EXPECT_EQ(b.DownLoad(dir.wstring()), c.download) << zub::WideToUtf8(b.ErrDesc());
        EXPECT_FALSE(fs::exists(dir / "part.prt"));
        EXPECT_EQ(BaselineKinds(Check(false, false)), c.plain);
        EXPECT_EQ(BaselineKinds(Check(true, true)), c.full);
    }
}

// A baseline of a store made before its files were recorded is reported,
// then filled in by repair, and then checked like any other.
TEST_F(BaselineSumTest, RepairRecordsTheFilesOfAnOlderBaseline) {
    AddDoc("one");
    ASSERT_EQ(Baseline(L"rel").Create(), 0);
    ASSERT_EQ(raw_->DeleteRows(L"ZUB_DMBaselineFile", ZUBDB::QVParams(false), L"", L""), 0);
    ASSERT_EQ(raw_->CommitTrans(), 0);
    EXPECT_EQ(BaselineKinds(Check(false, false)), std::vector<std::string>{"0 rel"});
    EXPECT_EQ(BaselineKinds(Check(true, true)), std::vector<std::string>{"0 rel repaired"});
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"part.prt " + Rec("one")});
    EXPECT_THAT(BaselineKinds(Check(true, false)), IsEmpty());
    std::ofstream(OnServer("baseline/rel/part.prt"), std::ios::trunc) << "onE";
    EXPECT_EQ(BaselineKinds(Check(true, false)), (std::vector<std::string>{"1 ", "1 rel"}));
}

}  // namespace zub::docvault::test
