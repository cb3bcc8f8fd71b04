#include "kernelcounters.h"

#include <gtest/gtest.h>

namespace zub::bench::test {

namespace {

KernelCounters At(long long scanned, long long stalls, long long steal, long long ioSome) {
    const std::string vmstat = "nr_dirty 8852\npgscan_kswapd " + std::to_string(scanned) +
                               "\npgscan_direct 3\nallocstall_normal " + std::to_string(stalls) +
                               "\nallocstall_movable 1\n";
    // Steal is the eighth number of the cpu line, in ticks.
    const std::string stat =
        "cpu  10 0 20 30 4 0 1 " + std::to_string(steal) + " 0 0\ncpu0 1 0 2 3 0 0 0 0 0 0\n";
    const std::string io =
        "some avg10=0.32 avg60=1.07 avg300=0.56 total=" + std::to_string(ioSome) +
        "\nfull avg10=0.17 avg60=0.96 avg300=0.51 total=7000\n";
    return KernelCounters::Parse(vmstat, stat, "some avg10=5.06 total=6975843\n", "", io);
}

}  // namespace

TEST(KernelCounters, ParsesTheSourcesAndSubtractsCounterByCounter) {
    const KernelCounters a = At(100, 2, 5, 50000);
    EXPECT_EQ(a.Get("pgscan_kswapd"), 100);
    EXPECT_EQ(a.Get("allocstall"), 3);  // the zones summed
    EXPECT_EQ(a.Get("cpu_some_us"), 6975843);
    EXPECT_EQ(a.Get("memory_some_us"), 0);  // no pressure text: zero, not a failure
    EXPECT_EQ(a.Get("io_full_us"), 7000);
    EXPECT_GT(a.Get("steal_ms"), 0);

    KernelCounters sum = At(400, 5, 5, 90000) - a;
    EXPECT_EQ(sum.Get("pgscan_kswapd"), 300);
    EXPECT_EQ(sum.Get("allocstall"), 3);
    EXPECT_EQ(sum.Get("io_some_us"), 40000);
    EXPECT_EQ(sum.Get("steal_ms"), 0);
    sum += sum;
    EXPECT_EQ(sum.Get("pgscan_kswapd"), 600);
    EXPECT_NE(sum.Text().find("reclaim 600+0 pages"), std::string::npos) << sum.Text();
    EXPECT_NE(sum.Text().find("io 80 ms"), std::string::npos) << sum.Text();
}

}  // namespace zub::bench::test
