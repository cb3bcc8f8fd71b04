// The progress line and when it is drawn.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "progress.h"

namespace zub::vault::test {

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

// A clock the test moves by hand.
struct FakeClock {
    double now = 100;
    Progress::Clock Get() {
        return [this] { return now; };
    }
};

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
        FakeClock clock;
        p.SetClock(clock.Get());
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
        FakeClock clock;
        p.SetClock(clock.Get());
        p.Update(1u << 20, 0);
        clock.now += 0.2;
        p.Update(5, 0);
    }
    const std::string longer = Progress::Line("x", 1u << 20, 0, 30);
    const std::string shorter = Progress::Line("x", 5, 0, 30, 0.2);
    EXPECT_EQ(Contents(f.get()), "\r" + longer + "\r" + shorter +
                                     std::string(longer.size() - shorter.size(), ' ') + "\n");
}

TEST(VaultProgress, EachOperationDrawsALineOfItsOwn) {
    std::unique_ptr<std::FILE, FileCloser> f(std::tmpfile());
    {
        Progress p("Uploading a", true, f.get(), 1000);
        FakeClock clock;
        p.SetClock(clock.Get());
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
        FakeClock clock;
        p.SetClock(clock.Get());
        p.Label(L"copy", "Saving a");
        p.Update(L"copy", 10, 10);
        p.Update(L"upload", 2000, 2000);
    }
    EXPECT_EQ(Contents(first.get()), "\r" + Progress::Line("Uploading a", 2000, 2000, 30) + "\n");

    // A large copy ends its line once; the small upload after it draws nothing.
    std::unique_ptr<std::FILE, FileCloser> second(std::tmpfile());
    {
        Progress p("Uploading a", true, second.get(), 1000);
        FakeClock clock;
        p.SetClock(clock.Get());
        p.Update(L"copy", 2000, 2000);
        p.Update(L"upload", 10, 10);
        p.Update(L"upload", 20, 20);
    }
    EXPECT_EQ(Contents(second.get()), "\r" + Progress::Line("Uploading a", 2000, 2000, 30) + "\n");
}

TEST(VaultProgress, TheLineAddsRateAndTimeLeftOnceMeasured) {
    const struct {
        std::uint64_t done, total;
        double seconds;
        const char* tail;
    } rows[] = {
        {1u << 20, 4u << 20, 0.4, "1.0 MiB/4.0 MiB"},  // too early to tell
        {1u << 20, 4u << 20, 1.0, "1.0 MiB/4.0 MiB  1.0 MiB/s  0:03 left"},
        {4u << 20, 4u << 20, 2.0, "4.0 MiB/4.0 MiB  2.0 MiB/s"},  // done: no time left
        {3u << 20, 0, 2.0, "3.0 MiB  1.5 MiB/s"},                 // unknown total
        {1u << 20, 3601u << 20, 1.0, "1.0 MiB/3.5 GiB  1.0 MiB/s  1:00:00 left"},
    };
    for (const auto& r : rows) {
        const std::string line = Progress::Line("x", r.done, r.total, 2, r.seconds);
        const std::string tail = r.tail;
        EXPECT_TRUE(line.size() > tail.size() &&
                    line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
                    line[line.size() - tail.size() - 1] == ' ')
            << line;
    }
}

TEST(VaultProgress, RedrawsAtMostTenTimesASecondAndAlwaysTheEnd) {
    std::unique_ptr<std::FILE, FileCloser> f(std::tmpfile());
    const std::uint64_t total = 1u << 30;
    {
        Progress p("big", true, f.get(), 0);
        FakeClock clock;
        p.SetClock(clock.Get());
        // 1,024 blocks of 1 MiB over 2 seconds.
        for (std::uint64_t block = 1; block <= 1024; ++block) {
            p.Update(block << 20, total);
            clock.now += 2.0 / 1024;
        }
    }
    const std::string shown = Contents(f.get());
    const auto draws = std::count(shown.begin(), shown.end(), '\r');
    EXPECT_GE(draws, 20);
    EXPECT_LE(draws, 22);
    EXPECT_NE(shown.find("1.0 GiB/1.0 GiB"), std::string::npos);
}

}  // namespace zub::vault::test
