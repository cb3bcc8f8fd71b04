// A check-in and a check-out of a 1 GiB document: the content arrives intact
// while the process's peak resident size stays far below the file's size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "docvault/doc.h"
#include "embedded_store_fixture.h"

namespace zub::docvault::test {

namespace {

constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
constexpr std::uint64_t kBlocks = 1024;  // 1 GiB

// Peak resident set size of this process so far, in KiB.
long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// Block b of the content: distinct words, so a lost, doubled or misplaced
// block changes the checksum.
void FillBlock(std::vector<std::uint64_t>& words, std::uint64_t b) {
    for (std::uint64_t i = 0; i < words.size(); ++i)
        words[i] = (b * words.size() + i) * 0x9E3779B97F4A7C15ull;
}

std::uint64_t Mix(std::uint64_t h, const std::uint64_t* words, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ words[i]) * 0x100000001B3ull;
    return h;
}

// Streams the file through the checksum; `size` receives its length.
std::uint64_t Checksum(const fs::path& p, std::uint64_t& size) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return 0;
    std::vector<std::uint64_t> words(kBlock / 8);
    std::uint64_t h = 0xCBF29CE484222325ull;
    size = 0;
    std::size_t got = 0;
    while ((got = std::fread(words.data(), 1, kBlock, f)) > 0) {
        size += got;
        h = Mix(h, words.data(), got / 8);
    }
    std::fclose(f);
    return h;
}

class LargeFile : public EmbeddedStoreFixture {};

TEST_F(LargeFile, CheckInAndCheckOutOfOneGibibyteStreams) {
    // The document starts small; the check-in brings the large content.
    DRM::Doc doc;
    ASSERT_EQ(doc.Connect(DbServer(), 0, L"QVData", L""), 0);
    doc.set_docRepoId(repoId_);
    doc.set_fileName(L"huge");
    doc.set_ext(L"bin");
    doc.set_creById(1);
    ASSERT_EQ(doc.Add(WriteLocal("small/huge.bin", "seed").wstring()), 0);

    const fs::path source = LocalDir("big") / "huge.bin";
    std::uint64_t expected = 0xCBF29CE484222325ull;
    {
        std::FILE* f = std::fopen(source.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::vector<std::uint64_t> words(kBlock / 8);
        for (std::uint64_t b = 0; b < kBlocks; ++b) {
            FillBlock(words, b);
            expected = Mix(expected, words.data(), words.size());
            ASSERT_EQ(std::fwrite(words.data(), 1, kBlock, f), kBlock);
        }
        ASSERT_EQ(std::fclose(f), 0);
    }
    const long before = PeakRssKiB();

    doc.set_checkOutById(1);
    doc.set_checkOutByName(L"system");
    ASSERT_EQ(doc.CheckOut(LocalDir("seed").wstring()), 0) << doc.ErrNumber();
    ASSERT_EQ(doc.CheckIn(source.wstring()), 0) << doc.ErrNumber();
    fs::remove(source);
    const auto out = LocalDir("out");
    ASSERT_EQ(doc.CheckOut(out.wstring()), 0) << doc.ErrNumber();

    const long after = PeakRssKiB();
    std::printf("peak resident size: %ld KiB before the transfers, %ld KiB after (file %llu KiB)\n",
                before, after, static_cast<unsigned long long>(kBlock * kBlocks / 1024));
    ASSERT_GT(before, 0);
    // Holding the file, or any large part of it, would show here.
    EXPECT_LT(after - before, 128L * 1024);

    std::uint64_t size = 0;
    EXPECT_EQ(Checksum(out / "huge.bin", size), expected);
    EXPECT_EQ(size, kBlock * kBlocks);
    std::uint64_t serverSize = 0;
    EXPECT_EQ(Checksum(OnServer("trunk/huge.bin"), serverSize), expected);
    EXPECT_EQ(serverSize, kBlock * kBlocks);
    EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(doc.id()) + "_1.0.bin")), "seed");
}

}  // namespace

}  // namespace zub::docvault::test
