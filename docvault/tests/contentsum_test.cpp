// Content sums end to end: every stored file has the SHA-256 of its bytes in
// its row, a damaged file is never handed out, and the content check finds
// damage and fills in the sums of older stores.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <functional>
#include <string>
#include <vector>

#include "docvault/contentcheck.h"
#include "docvault/doc.h"
#include "embedded_store_fixture.h"
#include "internal/contentsums.h"
#include "internal/repofiles.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

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

class ContentSumTest : public doctest::EmbeddedStoreFixture {
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
    std::wstring DocSum(int id) {
        return Query(L"QV_DMDoc", L"ContentSha256", L"DocId", id)->GetStringAt(0);
    }
    std::vector<std::wstring> HistorySums(int id) {
        std::vector<std::wstring> sums;
        for (auto rs = Query(L"QV_DMDocVer", L"ContentSha256", L"DocId", id, L"Revision");
             !rs->IsEOF(); rs->MoveNext())
            sums.push_back(rs->GetStringAt(0));
        return sums;
    }
    void ClearSums() {
        for (const wchar_t* table : {L"QV_DMDoc", L"QV_DMDocVer"}) {
            ZUBDB::QVParams v(false);
            v.AddParam(0, L"ContentSha256", std::wstring(), false, false, L"=");
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

TEST_F(ContentSumTest, EveryStoredFileHasTheSumOfItsBytes) {
    const int id = AddDoc("one");
    EXPECT_EQ(DocSum(id), Sha("one"));
    CheckIn(id, "two");
    EXPECT_EQ(DocSum(id), Sha("two"));
    EXPECT_EQ(HistorySums(id), std::vector<std::wstring>{Sha("one")});
    DRM::Doc doc = ReadDoc(id);
    ASSERT_EQ(doc.SaveToHistory(L""), 0) << doc.ErrNumber();
    EXPECT_EQ(HistorySums(id), (std::vector<std::wstring>{Sha("one"), Sha("two")}));
    ASSERT_EQ(ReadDoc(id).UpLoadDoc(WriteLocal("up/part.prt", "three").wstring()), 0);
    EXPECT_EQ(DocSum(id), Sha("three"));
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
        EXPECT_NE(doc.ErrDesc().find(L"does not match its recorded SHA-256"), std::wstring::npos)
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
                                       L"part.prt", [&](std::wstring& sum) {
                                           sum = c.recorded.at(asked++);
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
    };
    // Kinds: 0 missing sum, 1 mismatch.
    const std::vector<Case> cases = {
        {"a whole store", false, nullptr, true, false, {}},
        {"damage is not seen without reading", false, "trunk/part.prt", false, false, {}},
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
        if (c.clearSums) ClearSums();
        if (c.damaged) std::ofstream(OnServer(c.damaged), std::ios::trunc) << "bad";
        EXPECT_EQ(Kinds(Check(c.readAll, c.fill)), c.kinds);
        if (c.fill && c.clearSums) {
            EXPECT_EQ(DocSum(id), Sha("two"));
            EXPECT_EQ(HistorySums(id), std::vector<std::wstring>{Sha("one")});
            EXPECT_THAT(Kinds(Check(true, false)), IsEmpty());
        }
    }
}

}  // namespace
