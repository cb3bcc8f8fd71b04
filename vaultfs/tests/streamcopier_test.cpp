// The sum a copy reports must be the sum of the bytes that landed, in every
// way the copier can move them.
#include "streamcopier.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sumdata.h"
#include "zub/uniquefd.h"
#include "zubtest/tempdir.h"

namespace zub::vaultfs::test {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 4096;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Case {
    const char* name;
    std::size_t size;
    bool kernel;
    bool writeBehind;
    int outAccess;
    std::size_t skipped;  // bytes already in the target before the copy
};

class StreamCopierSum : public ::testing::TestWithParam<Case> {};

TEST_P(StreamCopierSum, IsTheSumOfWhatLanded) {
    const Case& c = GetParam();
    zub::testsupport::TempDir dir;
    const std::string data = Pattern(c.size);
    const fs::path from = dir.path() / "from";
    const fs::path to = dir.path() / "to";
    std::ofstream(from, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    const std::string head(c.skipped, 'h');
    std::ofstream(to, std::ios::binary)
        .write(head.data(), static_cast<std::streamsize>(head.size()));

    zub::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    zub::UniqueFd out(::open(to.c_str(), c.outAccess | O_CLOEXEC));
    ASSERT_TRUE(in && out);
    ASSERT_EQ(::lseek(out.get(), static_cast<off_t>(c.skipped), SEEK_SET),
              static_cast<off_t>(c.skipped));
    std::uint64_t lastStep = 0;
    std::wstring sum;
    const NFS::StreamCopier copier(kChunk, c.kernel, c.writeBehind);
    const std::uint64_t moved = copier.Copy(
        in.get(), from, out.get(), to, [&](std::uint64_t done) { lastStep = done; }, &sum);
    ASSERT_EQ(::fsync(out.get()), 0);

    EXPECT_EQ(moved, c.size);
    EXPECT_EQ(lastStep, c.size);
    EXPECT_EQ(sum, SumOf(data));
    EXPECT_EQ(ReadAll(to), head + data);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, StreamCopierSum,
    ::testing::Values(Case{"Empty", 0, true, true, O_RDWR, 0},
                      Case{"LessThanAChunk", 100, true, false, O_RDWR, 0},
                      Case{"ExactChunks", 3 * kChunk, true, true, O_RDWR, 0},
                      Case{"ManyChunksAndARest", 37 * kChunk + 123, true, true, O_RDWR, 0},
                      Case{"AfterAnOddOffset", 9 * kChunk + 5, true, true, O_RDWR, 1001},
                      Case{"WriteOnlyTarget", 9 * kChunk + 5, true, true, O_WRONLY, 0},
                      Case{"Buffered", 9 * kChunk + 5, false, true, O_RDWR, 0},
                      Case{"BufferedNoWriteBehind", 9 * kChunk + 5, false, false, O_RDWR, 0}),
    [](const ::testing::TestParamInfo<Case>& c) { return std::string(c.param.name); });

}  // namespace

}  // namespace zub::vaultfs::test
