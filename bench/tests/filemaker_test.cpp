#include "filemaker.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

#include "zubtest/tempdir.h"

namespace zub::bench::test {

namespace {

std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileMaker, WritesExactlyTheSizeAskedFor) {
    zub::testsupport::TempDir dir;
    for (std::uint64_t size :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{4095}, FileMaker::kChunk + 3}) {
        const auto f = dir.path() / ("f" + std::to_string(size));
        FileMaker::Write(f, size, 7);
        EXPECT_EQ(std::filesystem::file_size(f), size);
    }
}

TEST(FileMaker, SameSeedSameContentOtherSeedOtherContent) {
    zub::testsupport::TempDir dir;
    FileMaker::Write(dir.path() / "a", 10000, 1);
    FileMaker::Write(dir.path() / "b", 10000, 1);
    FileMaker::Write(dir.path() / "c", 10000, 2);
    EXPECT_EQ(Read(dir.path() / "a"), Read(dir.path() / "b"));
    EXPECT_NE(Read(dir.path() / "a"), Read(dir.path() / "c"));
}

TEST(FileMaker, ANewVersionDiffersInTheChangedChunkOnly) {
    zub::testsupport::TempDir dir;
    const std::uint64_t size = 3 * FileMaker::kChunk;
    FileMaker::Write(dir.path() / "old", size, 5);
    FileMaker::Write(dir.path() / "new", size, 5, 1, 1);
    const std::string a = Read(dir.path() / "old");
    const std::string b = Read(dir.path() / "new");
    const std::size_t chunk = static_cast<std::size_t>(FileMaker::kChunk);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.compare(0, chunk, b, 0, chunk), 0);
    EXPECT_NE(a.compare(chunk, chunk, b, chunk, chunk), 0);
    EXPECT_EQ(a.compare(2 * chunk, chunk, b, 2 * chunk, chunk), 0);
}

TEST(FileMaker, ContentDoesNotCompress) {
    // svn and the disk get no free ride from repeated bytes: no 16-byte
    // block of a 64 KiB file repeats.
    zub::testsupport::TempDir dir;
    FileMaker::Write(dir.path() / "r", 65536, 3);
    const std::string s = Read(dir.path() / "r");
    std::set<std::string> blocks;
    for (std::size_t i = 0; i + 16 <= s.size(); i += 16) blocks.insert(s.substr(i, 16));
    EXPECT_EQ(blocks.size(), s.size() / 16);
}

TEST(FileMaker, AnUnwritablePathThrows) {
    zub::testsupport::TempDir dir;
    EXPECT_THROW(FileMaker::Write(dir.path() / "missing" / "f", 10, 1), std::runtime_error);
}

}  // namespace

}  // namespace zub::bench::test
