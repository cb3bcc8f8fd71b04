// shareFolder: a tree whose files share the source's bytes where the file
// system lets them, and stay what they were whatever later replaces the source.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "backendfixture.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"

namespace zub::vaultfs::test {

namespace fs = std::filesystem;

namespace {

int RefuseLink(const char*, const char*) {
    errno = EXDEV;
    return -1;
}
int BreakLink(const char*, const char*) {
    errno = EIO;
    return -1;
}
int RefuseClone(int, int) {
    errno = EOPNOTSUPP;
    return -1;
}
// A clone that works, for a file system that has none here: copies the bytes.
int CopyAsClone(int in, int out) {
    while (true) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 20, 0);
        if (n < 0) return -1;
        if (n == 0) return 0;
    }
}

struct Way {
    const char* name;
    int (*hardLink)(const char*, const char*);
    int (*clone)(int, int);
    NFS::NfsShareCount expect;  // of the two files
    bool sameNode;              // the tree's files are the trunk's own
    bool summed;                // their bytes were read
};

const Way kWays[] = {
    {"link", nullptr, nullptr, {2, 0, 0}, true, false},
    {"clone", &RefuseLink, &CopyAsClone, {0, 2, 0}, false, false},
    {"copy", &RefuseLink, &RefuseClone, {0, 0, 2}, false, true},
    // What this machine's file system does without a hard link.
    {"system clone or copy", &RefuseLink, nullptr, {0, 0, 0}, false, false},
};

struct stat Stat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

class ShareTest : public BackendFixture, public ::testing::WithParamInterface<Way> {
protected:
    ShareTest() {
        NFS::LocalBackend::Options options;
        options.hardLink = GetParam().hardLink;
        options.clone = GetParam().clone;
        const fs::path dir = root;
        cmd->RegisterBackend(L"share", [dir, options](const std::wstring&, unsigned short) {
            return std::make_unique<NFS::LocalBackend>(dir, options);
        });
        tree.Write("local/a.prt", "first a");
        tree.Write("local/b.prt", "first b");
        EXPECT_EQ(cmd->upload(share, 0, Local("local/a.prt"), L"R\\trunk\\a.prt", count, false), 0);
        EXPECT_EQ(cmd->upload(share, 0, Local("local/b.prt"), L"R\\trunk\\s\\b.prt", count, false),
                  0);
    }
    ~ShareTest() override { cmd->UnregisterBackend(L"share"); }

    const std::wstring share = L"share:";
};

TEST_P(ShareTest, TheTreeKeepsItsBytesWhateverReplacesTheSource) {
    const Way& way = GetParam();
    std::vector<NFS::NfsFileSum> files;
    NFS::NfsShareCount how;
    ASSERT_EQ(cmd->shareFolder(share, 0, L"R\\trunk", L"R\\baseline\\b", files, how), 0)
        << LastError().second;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, L"a.prt");
    EXPECT_EQ(files[0].bytes, 7u);
    EXPECT_EQ(files[1].path, L"s\\b.prt");
    EXPECT_EQ(how.linked + how.cloned + how.copied, 2u);
    if (way.hardLink == nullptr || way.clone != nullptr) {
        EXPECT_EQ(how.linked, way.expect.linked);
        EXPECT_EQ(how.cloned, way.expect.cloned);
        EXPECT_EQ(how.copied, way.expect.copied);
    } else {
        EXPECT_EQ(how.linked, 0u);
    }
    // Sums only where the bytes passed through.
    EXPECT_EQ(files[0].sha256.empty(), how.copied == 0);
    if (way.summed) {
        EXPECT_EQ(files[0].sha256.size(), 64u);
    }

    const fs::path trunk = root / "R/trunk/a.prt";
    const fs::path frozen = root / "R/baseline/b/a.prt";
    EXPECT_EQ(Stat(trunk).st_ino == Stat(frozen).st_ino, way.sameNode);
    for (const fs::path& p : {trunk, frozen}) EXPECT_EQ(Stat(p).st_mode & 0222, 0u) << p;

    // A check-in replaces the trunk's file; a rename and a delete move it away.
    tree.Write("local/a2.prt", "second a, longer");
    ASSERT_EQ(cmd->upload(share, 0, Local("local/a2.prt"), L"R\\trunk\\a.prt", count, false), 0);
    ASSERT_EQ(cmd->renameFile(share, 0, L"R\\trunk\\s\\b.prt", L"R\\trunk\\c.prt"), 0);
    ASSERT_EQ(cmd->delFile(share, 0, L"R\\trunk\\c.prt"), 0);
    EXPECT_EQ(tree.Read("root/R/baseline/b/a.prt"), "first a");
    EXPECT_EQ(tree.Read("root/R/baseline/b/s/b.prt"), "first b");
    EXPECT_EQ(tree.Read("root/R/trunk/a.prt"), "second a, longer");
}

TEST_P(ShareTest, ADownloadIsACopyOfItsOwn) {
    std::vector<NFS::NfsFileSum> files;
    NFS::NfsShareCount how;
    ASSERT_EQ(cmd->shareFolder(share, 0, L"R\\trunk", L"R\\baseline\\b", files, how), 0);
    ASSERT_EQ(cmd->downLoadFolder(share, 0, L"R\\baseline\\b", Local("out"), count, false), 0);
    ASSERT_EQ(cmd->download(share, 0, L"R\\trunk\\a.prt", Local("view"), L"a.prt", count, false),
              0);
    for (const char* got : {"out/a.prt", "view/a.prt"}) {
        const struct stat st = Stat(tree / got);
        EXPECT_NE(st.st_ino, Stat(root / "R/trunk/a.prt").st_ino) << got;
        EXPECT_EQ(st.st_nlink, 1u) << got;
        EXPECT_NE(st.st_mode & S_IWUSR, 0u) << got;
        tree.Write(got, "edited by the user");
    }
    EXPECT_EQ(tree.Read("root/R/trunk/a.prt"), "first a");
    EXPECT_EQ(tree.Read("root/R/baseline/b/a.prt"), "first a");
}

INSTANTIATE_TEST_SUITE_P(Ways, ShareTest, ::testing::ValuesIn(kWays),
                         [](const ::testing::TestParamInfo<Way>& way) {
                             std::string name = way.param.name;
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

class ShareFailureTest : public BackendFixture {};

// A link that fails for another reason than the file system's refusal is an
// error, and leaves no part of the tree.
TEST_F(ShareFailureTest, AFailedLinkLeavesNoTree) {
    NFS::LocalBackend::Options options;
    options.hardLink = &BreakLink;
    const fs::path dir = root;
    cmd->RegisterBackend(L"broken", [dir, options](const std::wstring&, unsigned short) {
        return std::make_unique<NFS::LocalBackend>(dir, options);
    });
    tree.Write("local/a.prt", "a");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/a.prt"), L"R\\trunk\\a.prt", count, false), 0);
    std::vector<NFS::NfsFileSum> files;
    NFS::NfsShareCount how;
    EXPECT_EQ(cmd->shareFolder(L"broken:", 0, L"R\\trunk", L"R\\baseline\\b", files, how),
              NFS::NFS_E_IO);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(tree.List("root/R"),
              (std::vector<std::string>{"baseline/", "trunk/", "trunk/a.prt"}));
    cmd->UnregisterBackend(L"broken");
}

// The listing tells which files share their bytes and which can be written;
// seal takes the write permission away.
TEST_F(ShareFailureTest, ListingShowsSharedAndWritableFiles) {
    tree.Write("local/a.prt", "a");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/a.prt"), L"R\\trunk\\a.prt", count, false), 0);
    std::vector<NFS::NfsFileSum> files;
    NFS::NfsShareCount how;
    ASSERT_EQ(cmd->shareFolder(server, 0, L"R\\trunk", L"R\\baseline\\b", files, how), 0);
    tree.Write("root/R/trunk/hand.prt", "put there by hand");
    std::vector<NFS::NfsEntry> entries;
    ASSERT_EQ(cmd->listFolder(server, 0, L"R", entries), 0);
    std::map<std::wstring, NFS::NfsEntry> by;
    for (const auto& e : entries) by[e.path] = e;
    EXPECT_EQ(by[L"trunk\\a.prt"].node, by[L"baseline\\b\\a.prt"].node);
    EXPECT_NE(by[L"trunk\\a.prt"].node, by[L"trunk\\hand.prt"].node);
    EXPECT_NE(by[L"trunk\\a.prt"].device, 0u);
    EXPECT_FALSE(by[L"trunk\\a.prt"].writable);
    EXPECT_TRUE(by[L"trunk\\hand.prt"].writable);

    ASSERT_EQ(cmd->seal(server, 0, L"R\\trunk\\hand.prt"), 0);
    EXPECT_EQ(Stat(root / "R/trunk/hand.prt").st_mode & 0222, 0u);
    EXPECT_EQ(cmd->seal(server, 0, L"R\\trunk\\gone.prt"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(cmd->seal(server, 0, L"R\\trunk"), NFS::NFS_E_WRONG_KIND);
}

}  // namespace

}  // namespace zub::vaultfs::test
