// Streaming transfers: progress, failures in the middle of a file, and memory
// that does not grow with the file.
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <tuple>

#include "backendfixture.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Error = std::pair<long, std::wstring>;
using Calls = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

constexpr std::uint64_t kMiB = 1 << 20;

// Both ways of moving bytes, on the same root: the kernel's copy and the
// bounded buffer, with small steps so a few MiB make several.
class TransferTest : public BackendFixture, public ::testing::WithParamInterface<bool> {
protected:
    TransferTest() {
        const NFS::LocalBackend::Options options{64 * 1024, GetParam()};
        const fs::path dir = root;
        cmd->RegisterBackend(L"steps", [dir, options](const std::wstring&, unsigned short) {
            return std::make_unique<NFS::LocalBackend>(dir, options);
        });
    }
    ~TransferTest() override {
        cmd->UnregisterBackend(L"steps");
        cmd->SetProgress({});
    }
    const std::wstring steps = L"steps:";
};

TEST_P(TransferTest, ProgressCountsUpToTheSize) {
    const std::uint64_t size = 200 * 1024 + 17;
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/big", size);
    Calls calls;
    cmd->SetProgress(
        [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
    ASSERT_EQ(cmd->upload(steps, 0, Local("local/big"), L"D:\\big", count, false), 0);
    EXPECT_EQ(count, size);
    ASSERT_EQ(calls.size(), 4u);  // three full steps and the tail
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, size);
        EXPECT_EQ(calls[i].first, std::min<std::uint64_t>((i + 1) * 64 * 1024, size));
    }
    EXPECT_EQ(Checksum(root / "D/big"), Checksum(tree / "local/big"));

    calls.clear();
    ASSERT_EQ(cmd->download(steps, 0, L"D:\\big", Local("back"), L"big", count, false), 0);
    EXPECT_EQ(count, size);
    EXPECT_EQ(calls.back(), std::make_pair(size, size));
    EXPECT_EQ(Checksum(tree / "back/big"), Checksum(tree / "local/big"));
}

TEST_P(TransferTest, DownLoadFolderProgressRunsOverTheWholeTree) {
    fs::create_directories(root / "D/trunk/sub");
    WritePattern(root / "D/trunk/a", 100 * 1024);
    WritePattern(root / "D/trunk/sub/b", 30 * 1024);
    Calls calls;
    cmd->SetProgress(
        [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
    ASSERT_EQ(cmd->downLoadFolder(steps, 0, L"D:\\trunk", Local("out"), count, false), 0);
    EXPECT_EQ(count, 130u * 1024);
    EXPECT_EQ(calls,
              (Calls{{64 * 1024, 130 * 1024}, {100 * 1024, 130 * 1024}, {130 * 1024, 130 * 1024}}));
    EXPECT_EQ(Checksum(tree / "out/sub/b"), Checksum(root / "D/trunk/sub/b"));
}

TEST_P(TransferTest, CopiesCountUpToTheSizeOfTheFileOrTree) {
    const std::uint64_t size = 200 * 1024 + 17;
    fs::create_directories(root / "D/trunk/sub/deeper");
    WritePattern(root / "D/trunk/big.prt", size);
    tree.Write("root/D/history/big.prt", "previous version");
    using Named = std::vector<std::tuple<std::wstring, std::uint64_t, std::uint64_t>>;
    Named seen;
    cmd->SetOperationProgress(
        [&](std::wstring_view operation, std::uint64_t done, std::uint64_t total) {
            seen.emplace_back(std::wstring(operation), done, total);
        });
    ASSERT_EQ(cmd->copy(steps, 0, L"D:\\trunk\\big.prt", L"D:\\history\\big.prt"), 0);
    EXPECT_EQ(seen, (Named{{L"copy", 64 * 1024, size},
                           {L"copy", 128 * 1024, size},
                           {L"copy", 192 * 1024, size},
                           {L"copy", size, size}}));
    EXPECT_EQ(Checksum(root / "D/history/big.prt"), Checksum(root / "D/trunk/big.prt"));

    // Several files, an empty one and nested folders: one count over the tree.
    fs::remove(root / "D/trunk/big.prt");
    WritePattern(root / "D/trunk/a.prt", 100 * 1024);
    tree.Write("root/D/trunk/empty.txt", "");
    WritePattern(root / "D/trunk/sub/b.prt", 30 * 1024);
    WritePattern(root / "D/trunk/sub/deeper/c.prt", 150 * 1024 + 3);
    const std::uint64_t total = 280 * 1024 + 3;
    fs::create_directories(root / "D/baseline");
    Calls calls;
    cmd->SetProgress([&](std::uint64_t done, std::uint64_t all) { calls.emplace_back(done, all); });
    ASSERT_EQ(cmd->copyFolder(steps, 0, L"D:\\trunk", L"D:\\baseline"), 0);
    EXPECT_EQ(calls, (Calls{{64 * 1024, total},
                            {100 * 1024, total},
                            {130 * 1024, total},
                            {194 * 1024, total},
                            {258 * 1024, total},
                            {total, total}}));
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_LT(calls[i - 1].first, calls[i].first) << "report " << i;
    EXPECT_EQ(Checksum(root / "D/baseline/trunk/sub/deeper/c.prt"),
              Checksum(root / "D/trunk/sub/deeper/c.prt"));
    EXPECT_EQ(tree.Read("root/D/baseline/trunk/empty.txt"), "");

    // Nothing to count, nothing reported.
    calls.clear();
    fs::create_directories(root / "D/hollow/inner");
    ASSERT_EQ(cmd->copyFolder(steps, 0, L"D:\\hollow", L"D:\\baseline"), 0);
    EXPECT_EQ(calls, Calls{});
    EXPECT_TRUE(fs::is_directory(root / "D/baseline/hollow/inner"));
}

TEST_P(TransferTest, CopiesAbortedMidwayLeaveNoTrace) {
    fs::create_directories(root / "D/trunk/sub");
    WritePattern(root / "D/trunk/a.prt", 100 * 1024);
    WritePattern(root / "D/trunk/sub/b.prt", 200 * 1024);
    tree.Write("root/D/history/a.prt", "previous version");
    fs::create_directories(root / "D/baseline");
    int reports = 0;
    cmd->SetProgress([&](std::uint64_t, std::uint64_t) {
        // By now part of the copy sits under a temporary name.
        if (++reports == 3) throw std::runtime_error("cancelled by the user");
    });
    EXPECT_EQ(cmd->copyFolder(steps, 0, L"D:\\trunk", L"D:\\baseline"), NFS::NFS_E_INTERNAL);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_INTERNAL, L"copyFolder: \"D:\\trunk\": cancelled by the user"));
    EXPECT_EQ(reports, 3);

    reports = 1;
    EXPECT_EQ(cmd->copy(steps, 0, L"D:\\trunk\\a.prt", L"D:\\history\\a.prt"), NFS::NFS_E_INTERNAL);
    EXPECT_EQ(reports, 3);
    EXPECT_EQ(tree.Read("root/D/history/a.prt"), "previous version");
    EXPECT_EQ(tree.List("root/D"), (Strings{"baseline/", "history/", "history/a.prt", "trunk/",
                                            "trunk/a.prt", "trunk/sub/", "trunk/sub/b.prt"}));
}

TEST_P(TransferTest, AnUploadAbortedMidwayLeavesThePreviousFile) {
    tree.Write("root/D/trunk/a.prt", "previous version");
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/a.prt", 3 * kMiB);
    int steps_seen = 0;
    cmd->SetProgress([&](std::uint64_t, std::uint64_t) {
        // By now part of the new content sits in the temporary file.
        if (++steps_seen == 2) throw std::runtime_error("cancelled by the user");
    });
    EXPECT_EQ(cmd->upload(steps, 0, Local("local/a.prt"), L"D:\\trunk\\a.prt", count, false),
              NFS::NFS_E_INTERNAL);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_INTERNAL, L"upload: \"D:\\trunk\\a.prt\": cancelled by the user"));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(steps_seen, 2);
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "previous version");
    EXPECT_EQ(tree.List("root/D/trunk"), (Strings{"a.prt"}));
}

TEST_P(TransferTest, ADownloadAbortedMidwayLeavesTheLocalFile) {
    fs::create_directories(root / "D");
    WritePattern(root / "D/a.prt", kMiB);
    tree.Write("out/a.prt", "local copy");
    cmd->SetProgress([](std::uint64_t, std::uint64_t) { throw std::runtime_error("stop"); });
    EXPECT_EQ(cmd->download(steps, 0, L"D:\\a.prt", Local("out"), L"a.prt", count, false),
              NFS::NFS_E_INTERNAL);
    EXPECT_EQ(tree.Read("out/a.prt"), "local copy");
    EXPECT_EQ(tree.List("out"), (Strings{"a.prt"}));
}

// A real write failure: the file-size limit makes the kernel refuse the
// write after 1 MiB. Run in a child so the limit stays there.
TEST_P(TransferTest, WriteFailuresLeaveTargetsIntactAndNoTemporaries) {
    tree.Write("root/D/trunk/a.prt", "previous version");
    tree.Write("out/a.prt", "local copy");
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/a.prt", 3 * kMiB);
    WritePattern(root / "D/trunk/big.prt", 3 * kMiB);
    fs::create_directories(root / "D/baseline");

    const std::string answer = RunInChild([&]() -> std::string {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kMiB, kMiB};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
        std::string report;
        auto check = [&](const char* what, int rc) {
            const Error e = LastError();
            if (rc != NFS::NFS_E_IO || e.first != NFS::NFS_E_IO)
                report += std::string(what) + " gave " + std::to_string(rc) + "; ";
        };
        check("upload",
              cmd->upload(steps, 0, Local("local/a.prt"), L"D:\\trunk\\a.prt", count, false));
        if (LastError().second.find(L"upload: \"D:\\trunk\\a.prt\": cannot write") != 0)
            report +=
                "upload text: " + std::string(LastError().second.begin(), LastError().second.end());
        check("download",
              cmd->download(steps, 0, L"D:\\trunk\\big.prt", Local("out"), L"a.prt", count, false));
        check("copy", cmd->copy(steps, 0, L"D:\\trunk\\big.prt", L"D:\\trunk\\a.prt"));
        check("copyFolder", cmd->copyFolder(steps, 0, L"D:\\trunk", L"D:\\baseline"));
        check("downLoadFolder",
              cmd->downLoadFolder(steps, 0, L"D:\\trunk", Local("tree"), count, false));
        return report;
    });
    EXPECT_EQ(answer, "");
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "previous version");
    EXPECT_EQ(tree.Read("out/a.prt"), "local copy");
    EXPECT_EQ(tree.List("root/D"),
              (Strings{"baseline/", "trunk/", "trunk/a.prt", "trunk/big.prt"}));
    EXPECT_EQ(tree.List("out"), (Strings{"a.prt"}));
    // Files before the failing one arrived whole; the failing one not at all.
    EXPECT_EQ(tree.List("tree"), (Strings{"a.prt"}));
    EXPECT_EQ(tree.Read("tree/a.prt"), "previous version");
}

// Pages of the first `bytes` of a file that are in the page cache.
std::size_t Cached(const fs::path& file, std::size_t bytes) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SIZE_MAX;
    void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return SIZE_MAX;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((bytes + page - 1) / page);
    std::size_t n = SIZE_MAX;
    if (::mincore(map, bytes, in.data()) == 0)
        n = static_cast<std::size_t>(
            std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
    ::munmap(map, bytes);
    return n;
}

// What a transfer writes is on the disk and out of the cache as it goes.
TEST_P(TransferTest, WrittenFilesLeaveThePageCacheOnceOnDisk) {
    struct statfs fsInfo {};
    if (::statfs(root.c_str(), &fsInfo) == 0 && fsInfo.f_type == TMPFS_MAGIC)
        GTEST_SKIP() << "a memory file system has no disk to write behind to";
    fs::create_directories(tree / "local");
    // Past the 32 chunks (2 MiB) kept in flight, so the first MiB is settled.
    WritePattern(tree / "local/big", 4 * kMiB);
    ASSERT_EQ(cmd->upload(steps, 0, Local("local/big"), L"D:\\big", count, false), 0);
    EXPECT_EQ(Cached(root / "D/big", kMiB), 0u);
    ASSERT_EQ(cmd->copy(steps, 0, L"D:\\big", L"D:\\copy"), 0);
    EXPECT_EQ(Cached(root / "D/copy", kMiB), 0u);
    ASSERT_EQ(cmd->download(steps, 0, L"D:\\big", Local("out"), L"big", count, false), 0);
    EXPECT_EQ(Cached(tree / "out/big", kMiB), 0u);
    EXPECT_EQ(Checksum(root / "D/big"), Checksum(tree / "local/big"));
    EXPECT_EQ(Checksum(root / "D/copy"), Checksum(tree / "local/big"));
}

INSTANTIATE_TEST_SUITE_P(KernelAndBuffer, TransferTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "KernelCopy" : "Buffered"; });

class ConcurrentTransferTest : public BackendFixture {};

// Readers see the old file or the new one whole, never a mix, while two
// writers keep replacing it.
TEST_F(ConcurrentTransferTest, ReadersNeverSeeAPartialFile) {
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/one", 2 * kMiB);
    tree.Write("local/two", std::string(3 * kMiB, 'x'));
    const std::uint64_t one = Checksum(tree / "local/one");
    const std::uint64_t two = Checksum(tree / "local/two");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/one"), L"D:\\a.prt", count, false), 0);

    std::atomic<int> failures{0};
    auto writer = [&](const char* source) {
        std::uint64_t n = 0;
        for (int i = 0; i < 10; ++i)
            if (cmd->upload(server, 0, Local(source), L"D:\\a.prt", n, false) != 0) ++failures;
    };
    std::vector<std::uint64_t> seen;
    auto reader = [&] {
        std::uint64_t n = 0;
        for (int i = 0; i < 20; ++i) {
            if (cmd->download(server, 0, L"D:\\a.prt", Local("read"), L"a.prt", n, false) != 0)
                ++failures;
            else
                seen.push_back(Checksum(tree / "read/a.prt"));
        }
    };
    std::thread w1(writer, "local/one");
    std::thread w2(writer, "local/two");
    std::thread r(reader);
    w1.join();
    w2.join();
    r.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_EQ(seen.size(), 20u);
    for (const std::uint64_t sum : seen) EXPECT_TRUE(sum == one || sum == two);
    const std::uint64_t last = Checksum(root / "D/a.prt");
    EXPECT_TRUE(last == one || last == two);
    EXPECT_EQ(tree.List("root/D"), (Strings{"a.prt"}));
    EXPECT_EQ(tree.List("read"), (Strings{"a.prt"}));
}

// 256 MiB up and down again, in a child whose peak memory is measured.
TEST_F(BackendFixture, LargeFilesMoveWithBoundedMemory) {
    const std::uint64_t size = 256 * kMiB;
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/large.bin", size);
    const std::uint64_t sum = Checksum(tree / "local/large.bin");
    const fs::path dir = root;
    cmd->RegisterBackend(L"buffered", [dir](const std::wstring&, unsigned short) {
        return std::make_unique<NFS::LocalBackend>(
            dir, NFS::LocalBackend::Options{std::size_t{1} << 20, false});
    });

    const std::string answer = RunInChild([&]() -> std::string {
        ResetPeakRss();
        const long before = PeakRssKib();
        std::uint64_t up = 0;
        std::uint64_t down = 0;
        std::uint64_t again = 0;
        if (cmd->upload(server, 0, Local("local/large.bin"), L"D:\\large.bin", up, false) != 0)
            return "upload failed";
        if (cmd->download(L"buffered:", 0, L"D:\\large.bin", Local("back"), L"large.bin", down,
                          false) != 0)
            return "download failed";
        if (cmd->upload(L"buffered:", 0, Local("back/large.bin"), L"D:\\again.bin", again, false) !=
            0)
            return "buffered upload failed";
        const long growth = PeakRssKib() - before;
        if (up != size || down != size || again != size)
            return "counts " + std::to_string(up) + " " + std::to_string(down) + " " +
                   std::to_string(again);
        if (before < 0 || growth > 64 * 1024)
            return "peak memory grew by " + std::to_string(growth) + " KiB";
        return "";
    });
    cmd->UnregisterBackend(L"buffered");
    EXPECT_EQ(answer, "");
    EXPECT_EQ(fs::file_size(root / "D/large.bin"), size);
    EXPECT_EQ(Checksum(root / "D/large.bin"), sum);
    EXPECT_EQ(Checksum(tree / "back/large.bin"), sum);
    EXPECT_EQ(Checksum(root / "D/again.bin"), sum);
}

}  // namespace

}  // namespace zub::vaultfs::test
