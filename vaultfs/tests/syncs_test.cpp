// Which files and folders the local backend syncs for each operation. This
// program defines fsync itself: the backend's calls land here, are recorded
// by path, and go on to the kernel.
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "backendfixture.h"

namespace {

std::mutex syncLock;
std::set<std::string>* syncedPaths = nullptr;  // recording while set

std::string PathOf(int fd) {
    char buf[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

extern "C" int fsync(int fd) {
    {
        const std::lock_guard<std::mutex> lock(syncLock);
        if (syncedPaths != nullptr) syncedPaths->insert(PathOf(fd));
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Paths = std::set<std::string>;

class SyncTest : public BackendFixture {
protected:
    // The paths synced while `run` ran, relative to the root; a file synced
    // under a temporary name shows as "<folder>/~".
    Paths SyncedDuring(const std::function<void()>& run) {
        Paths raw;
        {
            const std::lock_guard<std::mutex> lock(syncLock);
            syncedPaths = &raw;
        }
        run();
        {
            const std::lock_guard<std::mutex> lock(syncLock);
            syncedPaths = nullptr;
        }
        const std::string base = fs::canonical(root).string();
        Paths shown;
        for (const std::string& p : raw) {
            std::string rel = p.compare(0, base.size(), base) == 0 ? p.substr(base.size()) : p;
            const fs::path relPath(rel);
            if (NFS::CNFS_Cmd::IsTemporaryName(relPath.filename().wstring()))
                rel = relPath.parent_path().string() + "/~";
            shown.insert(rel);
        }
        return shown;
    }
};

// A folder one operation works in is made and removed without a sync of its
// parent, and the file it writes there is synced alone; what must last is
// synced: an upload's data and its folder, a rename's target folder, unless
// a later synced rename carries it.
TEST_F(SyncTest, EachOperationSyncsWhatMustOutliveACrash) {
    struct Case {
        const char* name;
        std::function<long()> run;
        Paths synced;
    };
    tree.Write("local/in.txt", "data");
    tree.Write("root/D/keep/old.txt", "o");
    tree.Write("root/D/gone/x.txt", "x");
    tree.Write("root/D/work/y.txt", "y");
    tree.Write("root/D/from/a.txt", "a");
    tree.Write("root/D/from/b.txt", "b");
    fs::create_directories(root / "D/to");
    const Case cases[] = {
        {"mk", [&] { return cmd->mk(server, 0, L"D:\\made", false); }, {"/D"}},
        {"mkWork", [&] { return cmd->mkWork(server, 0, L"D:\\stage"); }, {}},
        {"rm", [&] { return cmd->rm(server, 0, L"D:\\gone"); }, {"/D"}},
        {"rmWork", [&] { return cmd->rmWork(server, 0, L"D:\\work"); }, {}},
        {"delFile", [&] { return cmd->delFile(server, 0, L"D:\\keep\\old.txt"); }, {"/D/keep"}},
        {"upload",
         [&] {
             return cmd->upload(server, 0, Local("local/in.txt"), L"D:\\stage\\c", count, false);
         },
         {"/D/stage", "/D/stage/~"}},
        {"uploadWork",
         [&] {
             NFS::ContentSum sum;
             return cmd->uploadWork(server, 0, Local("local/in.txt"), L"D:\\stage\\w", count, sum);
         },
         {"/D/stage/w"}},
        {"rename into another folder",
         [&] { return cmd->renameFile(server, 0, L"D:\\from\\a.txt", L"D:\\to\\a.txt"); },
         {"/D/to"}},
        {"rename left to a later sync",
         [&] { return cmd->renameFileUnsynced(server, 0, L"D:\\to\\a.txt", L"D:\\from\\a.txt"); },
         {}},
        {"rename in its folder",
         [&] { return cmd->renameFile(server, 0, L"D:\\from\\b.txt", L"D:\\from\\c.txt"); },
         {"/D/from"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long rc = -1;
        const Paths synced = SyncedDuring([&] { rc = c.run(); });
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(synced, c.synced);
    }
    // The work was done, synced or not.
    EXPECT_EQ(tree.Read("root/D/stage/c"), "data");
    EXPECT_FALSE(fs::exists(root / "D/work"));
    EXPECT_EQ(tree.Read("root/D/stage/w"), "data");
    EXPECT_EQ(tree.Read("root/D/from/a.txt"), "a");
}

}  // namespace

}  // namespace zub::vaultfs::test
