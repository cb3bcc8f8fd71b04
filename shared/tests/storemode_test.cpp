#include "zub/storemode.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "zub/uniquefd.h"
#include "zubtest/tempdir.h"

namespace {

mode_t ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

// Sets the process umask for a scope: the modes must not depend on it.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

}  // namespace

TEST(StoreMode, TheFolderSaysPrivateOrGroup) {
    const struct {
        mode_t folder;
        mode_t file;
        mode_t made;
    } rows[] = {
        {0700, 0600, 0700},  {0755, 0600, 0700},   {0750, 0600, 0700},
        {0770, 0660, 02770}, {02770, 0660, 02770}, {0777, 0660, 02770},
    };
    for (const auto& r : rows) {
        const auto mode = zub::StoreMode::ForFolderMode(S_IFDIR | r.folder);
        EXPECT_EQ(mode.file(), r.file) << std::oct << r.folder;
        EXPECT_EQ(mode.folder(), r.made) << std::oct << r.folder;
    }
}

TEST(StoreMode, ExcessNamesWhatThePolicyDoesNotGrant) {
    const auto priv = zub::StoreMode::ForFolderMode(0700);
    const auto group = zub::StoreMode::ForFolderMode(02770);
    const struct {
        const zub::StoreMode* policy;
        mode_t mode;
        bool folder;
        mode_t excess;
    } rows[] = {
        {&priv, 0600, false, 0},   {&priv, 0644, false, 0044}, {&priv, 0700, true, 0},
        {&priv, 0755, true, 0055}, {&group, 0660, false, 0},   {&group, 0664, false, 0004},
        {&group, 02770, true, 0},  {&group, 0775, true, 0005}, {&group, S_IFREG | 0600, false, 0},
        {&priv, 02700, true, 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.policy->Excess(r.mode, r.folder), r.excess) << std::oct << r.mode;
}

TEST(StoreMode, MadeFoldersAndSetFilesIgnoreTheUmask) {
    zub::testsupport::TempDir tmp;
    const Umask open(0);
    for (const mode_t root : {mode_t{0700}, mode_t{0770}}) {
        const auto dir = tmp.path() / std::to_string(root);
        ASSERT_EQ(::mkdir(dir.c_str(), root), 0);
        ASSERT_EQ(::chmod(dir.c_str(), root), 0);
        const auto policy = zub::StoreMode::Of(dir);
        policy.MakeFolders(dir / "a" / "b");
        EXPECT_EQ(ModeOf(dir / "a"), policy.folder());
        EXPECT_EQ(ModeOf(dir / "a" / "b"), policy.folder());
        EXPECT_EQ(ModeOf(dir), root) << "an existing folder stays as it is";

        const auto file = dir / "a" / "f";
        zub::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
        ASSERT_TRUE(fd);
        policy.SetFile(fd.get(), file);
        EXPECT_EQ(ModeOf(file), policy.file());
    }
}
