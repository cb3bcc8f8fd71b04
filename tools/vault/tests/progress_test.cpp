// The progress line and when it is drawn.
#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "progress.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    return text;
}

}  // namespace

TEST(VaultProgress, TheLineShowsBarPercentAndSizes) {
    EXPECT_EQ(Progress::Line("Uploading a", 512, 1024, 10),
              "Uploading a  [#####-----]  50%  512 B/1.0 KiB");
    EXPECT_EQ(Progress::Line("x", 3u << 20, 3u << 20, 4), "x  [####] 100%  3.0 MiB/3.0 MiB");
    // Unknown total: bytes only; more than the total is shown as complete.
    EXPECT_EQ(Progress::Line("x", 2048, 0, 4), "x  2.0 KiB");
    EXPECT_EQ(Progress::Line("x", 10, 5, 2), "x  [##] 100%  5 B/5 B");
    EXPECT_EQ(Progress::Size(1536u << 20), "1.5 GiB");
}

TEST(VaultProgress, DrawsOnlyWhenEnabledAndLargeEnough) {
    std::unique_ptr<std::FILE, FileCloser> small(std::tmpfile());
    {
        Progress p("small", true, small.get(), 1000);
        p.Update(100, 500);
        p.Update(500, 500);
        EXPECT_FALSE(p.Drawn());
    }
    EXPECT_EQ(Contents(small.get()), "");

    std::unique_ptr<std::FILE, FileCloser> off(std::tmpfile());
    {
        Progress p("off", false, off.get(), 0);
        p.Update(5000, 5000);
    }
    EXPECT_EQ(Contents(off.get()), "");

    std::unique_ptr<std::FILE, FileCloser> big(std::tmpfile());
    {
        Progress p("big", true, big.get(), 1000);
        p.Update(0, 2000);
        p.Update(0, 2000);  // unchanged: not drawn twice
        p.Update(2000, 2000);
    }
    const std::string shown = Contents(big.get());
    EXPECT_EQ(shown, "\r" + Progress::Line("big", 0, 2000, 30) + "\r" +
                         Progress::Line("big", 2000, 2000, 30) + "\n");
}

TEST(VaultProgress, AShorterLineBlanksTheRestOfTheLongerOne) {
    std::unique_ptr<std::FILE, FileCloser> f(std::tmpfile());
    {
        Progress p("x", true, f.get(), 0);
        p.Update(1u << 20, 0);
        p.Update(5, 0);
    }
    const std::string longer = Progress::Line("x", 1u << 20, 0, 30);
    const std::string shorter = Progress::Line("x", 5, 0, 30);
    EXPECT_EQ(Contents(f.get()), "\r" + longer + "\r" + shorter +
                                     std::string(longer.size() - shorter.size(), ' ') + "\n");
}

TEST(VaultProgress, EachOperationDrawsALineOfItsOwn) {
    std::unique_ptr<std::FILE, FileCloser> f(std::tmpfile());
    {
        Progress p("Uploading a", true, f.get(), 1000);
        p.Label(L"copy", "Saving a 1.0 to history");
        p.Update(L"copy", 1500, 2000);
        p.Update(L"copy", 2000, 2000);
        p.Update(L"upload", 500, 3000);  // a new line, though under the threshold so far
        p.Update(L"upload", 3000, 3000);
        EXPECT_TRUE(p.Drawn());
    }
    EXPECT_EQ(Contents(f.get()), "\r" + Progress::Line("Saving a 1.0 to history", 1500, 2000, 30) +
                                     "\r" +
                                     Progress::Line("Saving a 1.0 to history", 2000, 2000, 30) +
                                     "\n\r" + Progress::Line("Uploading a", 500, 3000, 30) + "\r" +
                                     Progress::Line("Uploading a", 3000, 3000, 30) + "\n");
}

TEST(VaultProgress, TheThresholdHoldsForEachOperation) {
    // A small copy stays quiet before a large upload.
    std::unique_ptr<std::FILE, FileCloser> first(std::tmpfile());
    {
        Progress p("Uploading a", true, first.get(), 1000);
        p.Label(L"copy", "Saving a");
        p.Update(L"copy", 10, 10);
        p.Update(L"upload", 2000, 2000);
    }
    EXPECT_EQ(Contents(first.get()), "\r" + Progress::Line("Uploading a", 2000, 2000, 30) + "\n");

    // A large copy ends its line once; the small upload after it draws nothing.
    std::unique_ptr<std::FILE, FileCloser> second(std::tmpfile());
    {
        Progress p("Uploading a", true, second.get(), 1000);
        p.Update(L"copy", 2000, 2000);
        p.Update(L"upload", 10, 10);
        p.Update(L"upload", 20, 20);
    }
    EXPECT_EQ(Contents(second.get()), "\r" + Progress::Line("Uploading a", 2000, 2000, 30) + "\n");
}
