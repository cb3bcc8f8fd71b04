// Baselines share the trunk's stored files instead of copying them. That is
// safe only while no stored file is ever changed in place: what a baseline
// froze stays as its recorded sums say, whatever happens to the documents,
// to the files handed to users, or to a copy of the store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "dbcore/embeddedstore.h"
#include "docvault/baseline.h"
#include "docvault/contentcheck.h"
#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/repocheck.h"
#include "embedded_store_fixture.h"
#include "vaultfs/localbackend.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

namespace fs = std::filesystem;

int RefuseLink(const char*, const char*) {
    errno = EXDEV;
    return -1;
}
int RefuseClone(int, int) {
    errno = EOPNOTSUPP;
    return -1;
}

// The local file server made with other options for the test's length.
class LocalServerOptions {
public:
    explicit LocalServerOptions(NFS::LocalBackend::Options options) {
        NFS::CNFS_Cmd::Instance()->RegisterBackend(
            L"file", [options](const std::wstring& server, unsigned short) {
                return std::make_unique<NFS::LocalBackend>(Dir(server), options);
            });
    }
    ~LocalServerOptions() {
        NFS::CNFS_Cmd::Instance()->RegisterBackend(
            L"file", [](const std::wstring& server, unsigned short) {
                return std::make_unique<NFS::LocalBackend>(Dir(server));
            });
    }

private:
    static fs::path Dir(const std::wstring& server) {
        return fs::path(zub::WideToUtf8(server.substr(server.find(L':') + 1)));
    }
};

ino_t Node(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_ino;
}

class SharedStorage : public EmbeddedStoreFixture {
protected:
    template <class T>
    void Open(T& bo, const std::wstring& db) {
        ASSERT_EQ(bo.Connect(db, 0, L"QVData", L""), 0);
    }
    template <class T>
    void Open(T& bo) {
        Open(bo, DbServer());
    }

    int AddDoc(const std::wstring& db, int repo, const std::string& name,
               const std::string& content) {
        DRM::Doc doc;
        Open(doc, db);
        doc.set_docRepoId(repo);
        doc.set_fileName(zub::Utf8ToWide(name));
        doc.set_ext(L"prt");
        doc.set_creById(1);
        EXPECT_EQ(doc.Add(WriteLocal("in/" + name + ".prt", content).wstring()), 0)
            << doc.ErrNumber();
        return doc.id();
    }
    int AddDoc(const std::string& name, const std::string& content) {
        return AddDoc(DbServer(), repoId_, name, content);
    }

    void CheckIn(const std::wstring& db, int id, const std::string& content) {
        DRM::Doc doc;
        Open(doc, db);
        ASSERT_EQ(doc.Read(id), 0);
        doc.set_checkOutById(1);
        doc.set_checkOutByName(L"system");
        ASSERT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0) << doc.ErrNumber();
        ASSERT_EQ(doc.CheckIn(WriteLocal("new/" + std::to_string(id) + ".prt", content).wstring()),
                  0)
            << doc.ErrNumber();
    }

    DRM::BaseLine Baseline(const std::wstring& db, int repo, const std::wstring& name) {
        DRM::BaseLine b;
        Open(b, db);
        b.set_docRepoId(repo);
        b.set_name(name);
        EXPECT_EQ(b.Create(), 0) << b.ErrNumber() << " " << zub::WideToUtf8(b.ErrDesc());
        return b;
    }

    // Every stored file read and compared with its recorded sum and size.
    std::vector<std::wstring> Differences(const std::wstring& db, int repo) {
        DRM::ContentCheck check;
        Open(check, db);
        std::vector<DRM::ContentFinding> findings;
        EXPECT_EQ(check.Examine(repo, true, false, findings), 0) << check.ErrNumber();
        std::vector<std::wstring> texts;
        for (const auto& f : findings) texts.push_back(f.path + L": " + f.text);
        return texts;
    }
    std::vector<std::wstring> Differences() { return Differences(DbServer(), repoId_); }
};

TEST_F(SharedStorage, ABaselineKeepsItsBytesThroughCheckInsRenamesAndDeletes) {
    const int a = AddDoc("a", "A one");
    const int b = AddDoc("b", "B one");
    const int c = AddDoc("c", "C one");
    const DRM::BaseLine rel = Baseline(DbServer(), repoId_, L"rel1");
    EXPECT_EQ(rel.storage().linked, 3);
    EXPECT_EQ(rel.storage().cloned + rel.storage().copied, 0);
    EXPECT_EQ(Node(OnServer("baseline/rel1/a.prt")), Node(OnServer("trunk/a.prt")));
    EXPECT_EQ(Differences(), std::vector<std::wstring>());

    CheckIn(DbServer(), a, "A two, longer");
    CheckIn(DbServer(), a, "A three");
    DRM::Doc renamed;
    Open(renamed);
    ASSERT_EQ(renamed.Read(b), 0);
    ASSERT_EQ(renamed.ReName(L"bb.prt"), 0) << renamed.ErrNumber();
    DRM::Doc deleted;
    Open(deleted);
    ASSERT_EQ(deleted.Read(c), 0);
    ASSERT_EQ(deleted.Delete(), 0) << deleted.ErrNumber();

    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/a.prt")), "A one");
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/b.prt")), "B one");
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/c.prt")), "C one");
    EXPECT_EQ(ReadFile(OnServer("trunk/a.prt")), "A three");
    // The sums recorded when the baseline was made still hold, as do the
    // history's and the trunk's.
    EXPECT_EQ(Differences(), std::vector<std::wstring>());
    // The first version went to the history by rename: the baseline shares it.
    int sharing = 0;
    for (const auto& e : fs::directory_iterator(OnServer("history")))
        sharing += Node(e.path()) == Node(OnServer("baseline/rel1/a.prt"));
    EXPECT_EQ(sharing, 1);
}

TEST_F(SharedStorage, AViewedFileIsTheUsersToEdit) {
    const int a = AddDoc("a", "A one");
    Baseline(DbServer(), repoId_, L"rel1");
    DRM::Doc doc;
    Open(doc);
    ASSERT_EQ(doc.Read(a), 0);
    const fs::path dir = LocalDir("view");
    ASSERT_EQ(doc.View(dir.wstring()), 0) << doc.ErrNumber();
    DRM::BaseLine rel;
    Open(rel);
    rel.set_docRepoId(repoId_);
    rel.set_name(L"rel1");
    const fs::path down = LocalDir("down");
    ASSERT_EQ(rel.DownLoad(down.wstring()), 0) << rel.ErrNumber();
    for (const fs::path& got : {dir / "a.prt", down / "a.prt"}) {
        struct stat st {};
        ASSERT_EQ(::stat(got.c_str(), &st), 0);
        EXPECT_NE(st.st_mode & S_IWUSR, 0u) << got;
        EXPECT_EQ(st.st_nlink, 1u) << got;
        // Written in place, as an editor may.
        std::ofstream(got, std::ios::binary | std::ios::in) << "X";
        EXPECT_EQ(ReadFile(got), "X one");
    }
    EXPECT_EQ(ReadFile(OnServer("trunk/a.prt")), "A one");
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/a.prt")), "A one");
    EXPECT_EQ(Differences(), std::vector<std::wstring>());
}

// Stored files are written once: one that can be written is reported, and
// repair takes the permission away (mode bits: root writes regardless).
TEST_F(SharedStorage, AWritableStoredFileIsReportedAndRepairSealsIt) {
    AddDoc("a", "A one");
    struct stat st {};
    ASSERT_EQ(::stat(OnServer("trunk/a.prt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_EQ(::chmod(OnServer("trunk/a.prt").c_str(), 0600), 0);
    for (const bool repair : {false, true}) {
        SCOPED_TRACE(repair);
        DRM::ContentCheck check;
        Open(check);
        std::vector<DRM::ContentFinding> findings;
        ASSERT_EQ(check.Examine(repoId_, false, repair, findings), 0) << check.ErrNumber();
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].kind, DRM::ContentFinding::Kind::Writable);
        EXPECT_EQ(findings[0].path, L"D:\\repo1\\trunk\\a.prt");
        EXPECT_EQ(findings[0].repaired, repair);
    }
    ASSERT_EQ(::stat(OnServer("trunk/a.prt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0400u);
    EXPECT_EQ(Differences(), std::vector<std::wstring>());
}

// (hard link, clone) the file server is given; what the baseline must say.
struct Fallback {
    int (*hardLink)(const char*, const char*);
    int (*clone)(int, int);
    bool copied;  // the clone was refused too: every file copied
};

class SharedStorageFallback : public SharedStorage,
                              public ::testing::WithParamInterface<Fallback> {};

TEST_P(SharedStorageFallback, AnotherFileSystemGetsClonesOrCopies) {
    const int a = AddDoc("a", "A one");
    AddDoc("b", "B one");
    NFS::LocalBackend::Options options;
    options.hardLink = GetParam().hardLink;
    options.clone = GetParam().clone;
    const LocalServerOptions other(options);
    const DRM::BaseLine rel = Baseline(DbServer(), repoId_, L"rel1");
    EXPECT_EQ(rel.storage().linked, 0);
    EXPECT_EQ(rel.storage().cloned + rel.storage().copied, 2);
    if (GetParam().copied) {
        EXPECT_EQ(rel.storage().copied, 2);
    }
    EXPECT_NE(Node(OnServer("baseline/rel1/a.prt")), Node(OnServer("trunk/a.prt")));
    CheckIn(DbServer(), a, "A two");
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/a.prt")), "A one");
    EXPECT_EQ(Differences(), std::vector<std::wstring>());
}

INSTANTIATE_TEST_SUITE_P(Ways, SharedStorageFallback,
                         ::testing::Values(Fallback{&RefuseLink, &RefuseClone, true},
                                           Fallback{&RefuseLink, nullptr, false}));

// A store copied with cp -a keeps its hard links within the copy: check-ins,
// deletes and repairs there leave the original's baselines as they were.
TEST_F(SharedStorage, AStoreCopiedWithCpAStaysIndependent) {
    const fs::path original = base_ / "s";
    const fs::path copy = base_ / "s2";
    std::wstring error;
    ASSERT_EQ(zub::vaultschema::ProductStore::Create(original.string(), "QVData", error), 0);
    const std::wstring db = ZUBDB::EmbeddedLocator(original.string());
    DRM::DocRepo repo;
    Open(repo, db);
    repo.set_name(L"r");
    repo.set_nfsServer(ZUBDB::EmbeddedFileServer());
    repo.set_nfsRootDir(L"\\repos\\r\\");
    ASSERT_EQ(repo.Create(), DRM::DocRepo::kCreated) << repo.ErrNumber();
    const int a = AddDoc(db, repo.id(), "a", "A one");
    const int b = AddDoc(db, repo.id(), "b", "B one");
    Baseline(db, repo.id(), L"rel1");
    const fs::path frozen = original / "files/repos/r/baseline/rel1/a.prt";
    ASSERT_EQ(Node(frozen), Node(original / "files/repos/r/trunk/a.prt"));

    ASSERT_EQ(std::system(("cp -a '" + original.string() + "' '" + copy.string() + "'").c_str()),
              0);
    const std::wstring copied = ZUBDB::EmbeddedLocator(copy.string());
    EXPECT_NE(Node(copy / "files/repos/r/baseline/rel1/a.prt"), Node(frozen));
    CheckIn(copied, a, "A two in the copy");
    DRM::Doc gone;
    Open(gone, copied);
    ASSERT_EQ(gone.Read(b), 0);
    ASSERT_EQ(gone.Delete(), 0) << gone.ErrNumber();
    Baseline(copied, repo.id(), L"rel2");
    DRM::RepoCheck check;
    Open(check, copied);
    std::vector<DRM::RepoFinding> found;
    EXPECT_EQ(check.Examine(repo.id(), true, found, 0), 0);
    DRM::ContentCheck content;
    Open(content, copied);
    std::vector<DRM::ContentFinding> sums;
    EXPECT_EQ(content.Examine(repo.id(), true, true, sums), 0);

    EXPECT_EQ(ReadFile(copy / "files/repos/r/trunk/a.prt"), "A two in the copy");
    EXPECT_EQ(ReadFile(frozen), "A one");
    EXPECT_EQ(ReadFile(original / "files/repos/r/trunk/a.prt"), "A one");
    EXPECT_EQ(ReadFile(original / "files/repos/r/trunk/b.prt"), "B one");
    EXPECT_FALSE(fs::exists(original / "files/repos/r/baseline/rel2"));
    EXPECT_EQ(Differences(db, repo.id()), std::vector<std::wstring>());
    EXPECT_EQ(Differences(copied, repo.id()), std::vector<std::wstring>());
}

}  // namespace

}  // namespace zub::docvault::test
