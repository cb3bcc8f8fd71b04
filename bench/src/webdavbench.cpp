// The WebDAV backend against a loopback Apache, beside curl doing the same
// transfer: 512 MiB up and down, a server-side baseline of 10,000 files
// beside `cp -r` on the server's disk, and the HTTP requests a 4 KiB add and
// check-in take. Prints one table; sizes can be scaled down with
// ZUB_WEBDAV_BENCH_MIB and ZUB_WEBDAV_BENCH_FILES; the transfers alternate with
// curl ZUB_WEBDAV_BENCH_ROUNDS times (5). ZUB_WEBDAV_BENCH_ONLY=download times
// the download alone; ZUB_WEBDAV_BENCH_CURL=0 leaves curl out of it (for a
// profile of the backend's side).
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "standalone.h"
#include "vaultfs/webdavbackend.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"
#include "zubtest/webdavserver.h"

namespace zub::bench {

namespace {

namespace fs = std::filesystem;

// Processor seconds of this process and of its waited-for children (curl).
double CpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    }
    return total;
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

void Row(const std::string& what, double ours, double theirs, const std::string& note) {
    std::printf("%-34s %9.3f s %9.3f s %6.2fx  %s\n", what.c_str(), ours, theirs,
                theirs > 0 ? ours / theirs : 0.0, note.c_str());
}

struct Pair {
    double ours = 0;
    double theirs = 0;
    // Processor time, the server's left out: this process's, curl's with its shell.
    double oursCpu = 0;
    double theirsCpu = 0;
    double Ratio() const { return theirs > 0 ? ours / theirs : 0.0; }
};

// The median pair's times, then the median and the worst of the pairs' ratios.
void PairRow(const std::string& what, std::vector<Pair> pairs, const std::string& note) {
    std::sort(pairs.begin(), pairs.end(),
              [](const Pair& a, const Pair& b) { return a.Ratio() < b.Ratio(); });
    const Pair& median = pairs[pairs.size() / 2];
    std::string each;
    for (const Pair& p : pairs) each += " " + std::to_string(p.Ratio()).substr(0, 4);
    const auto [fastest, slowest] = std::minmax_element(
        pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.ours < b.ours; });
    const auto [curlFastest, curlSlowest] =
        std::minmax_element(pairs.begin(), pairs.end(),
                            [](const Pair& a, const Pair& b) { return a.theirs < b.theirs; });
    // Processor time: the least, the median and the most of each side.
    const auto cpu = [&](double Pair::*side) {
        std::vector<double> values;
        for (const Pair& p : pairs) values.push_back(p.*side);
        std::sort(values.begin(), values.end());
        char text[64];
        std::snprintf(text, sizeof text, "%.3f/%.3f/%.3f s", values.front(),
                      values[values.size() / 2], values.back());
        return std::string(text);
    };
    char range[96];
    std::snprintf(range, sizeof range, "; backend %.3f-%.3f s, curl %.3f-%.3f s", fastest->ours,
                  slowest->ours, curlFastest->theirs, curlSlowest->theirs);
    const std::string processor = "; processor time least/median/most: backend " +
                                  cpu(&Pair::oursCpu) + ", curl " + cpu(&Pair::theirsCpu);
    Row(what, median.ours, median.theirs,
        note + "; " + std::to_string(pairs.size()) + " pairs, worst " +
            std::to_string(pairs.back().Ratio()).substr(0, 4) + ", sorted:" + each + range +
            processor);
}

// "N requests (2 PROPFIND, 1 PUT, ...)": what was sent since `before`.
std::string Requests(const NFS::WebDavBackend& backend,
                     const std::map<std::string, std::uint64_t>& before) {
    std::uint64_t total = 0;
    std::string list;
    for (const auto& [method, count] : backend.requestsByMethod()) {
        const auto was = before.find(method);
        const std::uint64_t n = count - (was == before.end() ? 0 : was->second);
        if (n == 0) continue;
        total += n;
        list += (list.empty() ? "" : ", ") + std::to_string(n) + " " + method;
    }
    return std::to_string(total) + " requests (" + list + ")";
}

}  // namespace

int Main() {
    const std::uint64_t mib = Env("ZUB_WEBDAV_BENCH_MIB", 512);
    const std::uint64_t files = Env("ZUB_WEBDAV_BENCH_FILES", 10000);
    const std::uint64_t rounds = std::max<std::uint64_t>(1, Env("ZUB_WEBDAV_BENCH_ROUNDS", 5));
    const char* only = std::getenv("ZUB_WEBDAV_BENCH_ONLY");
    const bool downloadOnly = only != nullptr && std::string(only) == "download";
    const bool withCurl = Env("ZUB_WEBDAV_BENCH_CURL", 1) != 0;
    zub::testsupport::TempDir dir("zub-webdav-bench");
    fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
    fs::create_directories(dir.path() / "dav/store");
    zub::testsupport::WebDavServer::Options options;
    options.documents = dir.path() / "dav";
    zub::testsupport::WebDavServer server(options);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());
    // curl reads the login from a file, as the backend keeps it out of the process list.
    const fs::path config = dir.path() / "curl.conf";
    std::ofstream(config) << "user = \"system:secret\"\nsilent\nfail\n";

    const fs::path big = dir.path() / "big";
    Shell("head -c " + std::to_string(mib) + "M /dev/urandom > '" + big.string() + "'");
    NFS::WebDavBackend backend(zub::Utf8ToWide(origin + "/store"), 0);
    backend.logIn(L"system", L"secret");

    std::printf("%-34s %11s %11s %7s\n", "operation", "backend", "curl/cp", "ratio");
    const std::string size = std::to_string(mib) + " MiB";
    // curl and the backend in alternation, so a disk or processor that changes
    // speed from minute to minute weighs on both; each ratio is of one pair.
    // Who goes first alternates, and the dirty pages of what came before are
    // written out before each timed transfer, so neither side pays the other's
    // writeback. Both write into the same folder, neither syncs its file.
    const auto timed = [](const std::function<void()>& fn, double& wall, double& cpu) {
        Shell("sync");
        const double before = CpuSeconds();
        wall = Seconds(fn);
        cpu = CpuSeconds() - before;
    };
    const auto inTurn = [&](std::uint64_t round, Pair& pair, const std::function<void()>& theirs,
                            const std::function<void()>& ours) {
        const bool curlFirst = round % 2 == 0;
        if (curlFirst && withCurl) timed(theirs, pair.theirs, pair.theirsCpu);
        timed(ours, pair.ours, pair.oursCpu);
        if (!curlFirst && withCurl) timed(theirs, pair.theirs, pair.theirsCpu);
    };
    std::vector<Pair> ups, downs;
    NFS::ContentSum bigSum;
    const auto curlUp = [&] {
        Shell("curl -K '" + config.string() + "' -T '" + big.string() + "' " + origin +
              "/store/curl.bin");
    };
    const auto oursUp = [&] {
        bigSum = NFS::ContentSum();
        backend.upload(zub::Utf8ToWide(big.string()), L"big", {}, bigSum);
    };
    if (downloadOnly) oursUp();
    const fs::path curlOut = dir.path() / "curl.out";
    const fs::path oursOut = dir.path() / "down";
    for (std::uint64_t round = 0; round < rounds; ++round) {
        if (!downloadOnly) {
            Pair up;
            inTurn(round, up, curlUp, oursUp);
            ups.push_back(up);
        }
        // A check-out's download: the stored sum is checked as the bytes stream.
        NFS::ContentSum check;
        check.expect = bigSum.sha256;
        check.expectBytes = bigSum.bytes;
        Pair down;
        inTurn(
            round, down,
            [&] {
                Shell("curl -K '" + config.string() + "' -o '" + curlOut.string() + "' " + origin +
                      "/store/big");
            },
            [&] {
                backend.download(L"big", zub::Utf8ToWide(dir.path().string()), L"down", {}, check);
            });
        downs.push_back(down);
        // Neither side replaces an old file: freeing its pages would be timed too.
        fs::remove(oursOut);
        fs::remove(curlOut);
    }
    if (!downloadOnly) PairRow("upload " + size, ups, "(PUT, sum, PROPPATCH, MOVE)");
    PairRow("download " + size, downs, "(GET, sum checked, temp + rename)");
    if (downloadOnly) return 0;
    backend.delFile(L"big");

    // A trunk of `files` small files in 100 folders, written on the server's disk.
    const fs::path trunk = dir.path() / "dav/store/repo/trunk";
    for (std::uint64_t i = 0; i < files; ++i) {
        const fs::path file = trunk / ("d" + std::to_string(i % 100)) / ("f" + std::to_string(i));
        if (i < 100) fs::create_directories(file.parent_path());
        std::ofstream(file) << "content of file " << i << "\n";
    }
    const double cp = Seconds([&] {
        Shell("cp -r '" + trunk.string() + "' '" + (dir.path() / "cp-copy").string() + "'");
    });
    const std::uint64_t sentBefore = backend.sentBytes();
    const std::uint64_t requestsBefore = backend.requests();
    const double baseline = Seconds([&] { backend.copyFolder(L"repo\\trunk", L"repo\\b1"); });
    Row("baseline of " + std::to_string(files) + " files", baseline, cp,
        "COPY on the server: " + std::to_string(backend.requests() - requestsBefore) +
            " requests, " + std::to_string(backend.sentBytes() - sentBefore) +
            " bytes sent (no file data)");
    std::vector<NFS::NfsFileSum> sums;
    const std::uint64_t summedBefore = backend.requests();
    const double summed =
        Seconds([&] { backend.copyFolder(L"repo\\trunk", L"repo\\b2", {}, sums); });
    Row("baseline with sums (files unsummed)", summed, cp,
        std::to_string(backend.requests() - summedBefore) + " requests");

    // 4 KiB add and check-in, requests counted.
    const fs::path small = dir.path() / "small";
    std::ofstream(small) << std::string(4096, 'x');
    const std::wstring local = zub::Utf8ToWide(small.string());
    auto before = backend.requestsByMethod();
    const double add = Seconds([&] { backend.upload(local, L"repo\\trunk\\new.prt", {}); });
    const std::string addRequests = Requests(backend, before);
    // The history folder is there, as in every repository.
    backend.mk(L"repo\\history");
    before = backend.requestsByMethod();
    NFS::ContentSum sum;
    const double checkin = Seconds([&] {
        backend.copy(L"repo\\trunk\\new.prt", L"repo\\history\\1_1.0.prt", {}, sum);
        backend.upload(local, L"repo\\trunk\\new.prt", {});
    });
    const std::string checkinRequests = Requests(backend, before);
    Row("add 4 KiB", add, 0, addRequests);
    Row("check-in 4 KiB (history copy + upload)", checkin, 0, checkinRequests);
    return 0;
}

}  // namespace zub::bench

int main() { return zub::bench::Main(); }
