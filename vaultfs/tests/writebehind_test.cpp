// A long write is made durable in steps by a second thread; a failure of one
// of those steps must reach the writer, since the final fsync no longer sees it.
#include "writebehind.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>

#include "zub/uniquefd.h"
#include "zubtest/tempdir.h"

namespace zub::vaultfs::test {

namespace {

constexpr std::size_t kChunk = 4096;

std::atomic<int> gFlushes{0};

int CountedSync(int fd) {
    ++gFlushes;
    return ::fdatasync(fd);
}

int FailingSync(int) {
    ++gFlushes;
    errno = EIO;
    return -1;
}

// A file written chunk by chunk through a write-behind with a two-chunk lag
// and four-chunk flush steps: the first flush is asked for by the sixth chunk.
struct Target {
    explicit Target(NFS::WriteBehind::DataSync sync)
        : behind((gFlushes = 0, fd.get()), path, kChunk, {2 * kChunk, 4 * kChunk, sync}) {}

    void Write(std::size_t chunks) {
        const std::string chunk(kChunk, 'x');
        for (std::size_t i = 0; i < chunks; ++i) {
            ASSERT_EQ(::write(fd.get(), chunk.data(), kChunk), static_cast<ssize_t>(kChunk));
            behind.Written(kChunk);
        }
    }

    zub::testsupport::TempDir dir;
    std::filesystem::path path = dir.path() / "file";
    zub::UniqueFd fd{::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
    NFS::WriteBehind behind;
};

struct Case {
    const char* name;
    std::size_t chunks;
    NFS::WriteBehind::DataSync sync;
    bool flushes;  // the second thread flushes at least once
    bool fails;    // the write reports an error
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class WriteBehindFlush : public ::testing::TestWithParam<Case> {};

TEST_P(WriteBehindFlush, FlushesLongWritesAndReportsTheirFailure) {
    const Case& c = GetParam();
    Target target(c.sync);
    ASSERT_TRUE(target.fd);
    bool failed = false;
    try {
        target.Write(c.chunks);
        target.behind.Finish();
    } catch (const std::system_error& e) {
        failed = true;
        EXPECT_EQ(e.code().value(), EIO);
        EXPECT_NE(std::string(e.what()).find(target.path.native()), std::string::npos) << e.what();
    }
    EXPECT_EQ(failed, c.fails);
    EXPECT_EQ(gFlushes > 0, c.flushes) << gFlushes;
}

INSTANTIATE_TEST_SUITE_P(Writes, WriteBehindFlush,
                         // Six chunks: the failed flush can only be reported by Finish.
                         ::testing::Values(Case{"ShorterThanAStep", 5, &CountedSync, false, false},
                                           Case{"ManySteps", 64, &CountedSync, true, false},
                                           Case{"AFailedLastFlush", 6, &FailingSync, true, true}),
                         [](const ::testing::TestParamInfo<Case>& c) {
                             return std::string(c.param.name);
                         });

// A failed flush stops the write at its next step instead of at the end.
TEST(WriteBehind, AFailedFlushFailsTheNextStep) {
    Target target(&FailingSync);
    ASSERT_TRUE(target.fd);
    target.Write(6);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool thrown = false;
    while (!thrown && std::chrono::steady_clock::now() < until) {
        try {
            target.behind.Written(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } catch (const std::system_error& e) {
            thrown = e.code().value() == EIO;
        }
    }
    EXPECT_TRUE(thrown);
}

// Dropped without Finish (the copy failed elsewhere): the thread is stopped,
// nothing is thrown from the destructor.
TEST(WriteBehind, DroppedMidWriteStopsItsFlusher) {
    {
        Target target(&FailingSync);
        ASSERT_TRUE(target.fd);
        try {
            target.Write(16);
        } catch (const std::system_error&) {}
    }
    EXPECT_GT(gFlushes, 0);
}

}  // namespace

}  // namespace zub::vaultfs::test
