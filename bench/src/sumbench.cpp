// What the content sum costs a large transfer on the local file server: the
// backend's upload (an add, the new file of a check-in) and download (a
// check-out) of one file, with the sum and without it, in alternation (A B A B
// ...), so a disk that changes speed from minute to minute weighs on both.
// Prints the median and the worst ratio of the pairs. The size in MiB comes
// from ZUB_SUM_BENCH_MIB (1024), the pairs from ZUB_SUM_BENCH_PAIRS (8), the
// folder from TMPDIR (/var/tmp): it must be on the disk being measured.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "standalone.h"
#include "vaultfs/localbackend.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace zub::bench {

namespace {

namespace fs = std::filesystem;

// Random bytes (not compressible, not sparse), read once so every round
// starts from the page cache as a file just saved would.
void MakeFile(const fs::path& path, std::uint64_t bytes) {
    const std::string command = "head -c " + std::to_string(bytes) + " /dev/urandom > '" +
                                path.string() + "' && cat '" + path.string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Lets the previous round's writes reach the disk, so no round pays for them.
void Settle() { ::sync(); }

struct Pair {
    double summed = 0;
    double plain = 0;
    double Ratio() const { return plain > 0 ? summed / plain : 0.0; }
};

void PairRow(const std::string& what, std::vector<Pair> pairs) {
    std::sort(pairs.begin(), pairs.end(),
              [](const Pair& a, const Pair& b) { return a.Ratio() < b.Ratio(); });
    const Pair& median = pairs[pairs.size() / 2];
    std::string each;
    char buf[16];
    for (const Pair& p : pairs) {
        std::snprintf(buf, sizeof buf, " %.2f", p.Ratio());
        each += buf;
    }
    std::printf("%-22s %9.3f s %9.3f s %6.2fx  worst %.2fx of %zu pairs; sorted:%s\n", what.c_str(),
                median.summed, median.plain, median.Ratio(), pairs.back().Ratio(), pairs.size(),
                each.c_str());
}

}  // namespace

int Main() {
    const std::uint64_t mib = Env("ZUB_SUM_BENCH_MIB", 1024);
    const std::uint64_t count = std::max<std::uint64_t>(2, Env("ZUB_SUM_BENCH_PAIRS", 8));
    zub::testsupport::TempDir dir("zub-sum-bench");
    const fs::path root = dir.path() / "root";
    const fs::path local = dir.path() / "local";
    fs::create_directories(root);
    fs::create_directories(local);
    const fs::path big = local / "big.prt";
    MakeFile(big, mib << 20);
    NFS::LocalBackend backend(root);
    backend.logIn(L"system", L"");
    const std::wstring localDir = zub::Utf8ToWide(local.string());
    const std::wstring bigName = zub::Utf8ToWide(big.string());

    // The stored file the downloads read, with the sum they check.
    NFS::ContentSum stored;
    backend.upload(bigName, L"\\trunk\\stored.prt", {}, stored);

    std::vector<Pair> ups, downs;
    for (std::uint64_t round = 0; round < count; ++round) {
        // Who goes first alternates, so neither always follows the other.
        const bool summedFirst = round % 2 == 0;
        Pair up, down;
        for (int k = 0; k < 2; ++k) {
            const bool summed = (k == 0) == summedFirst;
            Settle();
            const std::wstring target = summed ? L"\\trunk\\up-summed.prt" : L"\\trunk\\up.prt";
            (summed ? up.summed : up.plain) = Seconds([&] {
                if (summed) {
                    NFS::ContentSum sum;
                    backend.upload(bigName, target, {}, sum);
                } else {
                    backend.upload(bigName, target, {});
                }
            });
            backend.delFile(target);
        }
        for (int k = 0; k < 2; ++k) {
            const bool summed = (k == 0) == summedFirst;
            Settle();
            (summed ? down.summed : down.plain) = Seconds([&] {
                if (summed) {
                    NFS::ContentSum check;
                    check.expect = stored.sha256;
                    check.expectBytes = stored.bytes;
                    backend.download(L"\\trunk\\stored.prt", localDir, L"down.prt", {}, check);
                } else {
                    backend.download(L"\\trunk\\stored.prt", localDir, L"down.prt", {});
                }
            });
            fs::remove(local / "down.prt");
        }
        ups.push_back(up);
        downs.push_back(down);
    }
    std::printf("# the content sum's cost on the local file server, %llu MiB, %s\n",
                static_cast<unsigned long long>(mib), dir.path().c_str());
    std::printf("%-22s %11s %11s %7s\n", "operation", "with sum", "without", "ratio");
    const std::string size = std::to_string(mib) + " MiB";
    PairRow("upload " + size, ups);
    PairRow("download " + size, downs);
    return 0;
}

}  // namespace zub::bench

int main() {
    try {
        return zub::bench::Main();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zub_sum_bench: %s\n", e.what());
        return 1;
    }
}
