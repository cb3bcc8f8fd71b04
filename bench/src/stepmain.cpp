#include "stepmain.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "benchstore.h"
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/baseline.h"
#include "docvault/doc.h"
#include "docvault/dochistorys.h"
#include "docvault/docs.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::bench {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class Args {
public:
    Args(int argc, char** argv) {
        for (int i = 3; i < argc; ++i) {
            const std::string a = argv[i];
            const auto eq = a.find('=');
            if (eq == std::string::npos) throw std::invalid_argument("bad step argument: " + a);
            values_[a.substr(0, eq)] = a.substr(eq + 1);
        }
    }
    std::string Text(const std::string& key) const {
        auto it = values_.find(key);
        if (it == values_.end()) throw std::invalid_argument("missing step argument: " + key);
        return it->second;
    }
    int Int(const std::string& key, int fallback = -1) const {
        auto it = values_.find(key);
        if (it == values_.end()) {
            if (fallback < 0) throw std::invalid_argument("missing step argument: " + key);
            return fallback;
        }
        return std::stoi(it->second);
    }

private:
    std::map<std::string, std::string> values_;
};

void Check(int rc, const BO& bo, const char* what) {
    if (rc != 0)
        throw std::runtime_error(std::string(what) + " returned " + std::to_string(rc) + ": " +
                                 zub::WideToUtf8(bo.ErrDesc()));
}

double Since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Processor time of this process so far (user and system).
double CpuNow() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall and processor time of the timed spans. Processor time does not
// include waiting for the disk, so it shows the library's own work even when
// the disk's flush latency swings (as it does on a shared virtual disk).
class Spans {
public:
    void Start() {
        wall_ = Clock::now();
        cpu_ = CpuNow();
    }
    // Ends a span; returns its wall and processor seconds.
    std::pair<double, double> Stop() {
        const double w = Since(wall_);
        const double c = CpuNow() - cpu_;
        wallTotal_ += w;
        cpuTotal_ += c;
        return {w, c};
    }
    double Wall() const { return wallTotal_; }
    double Cpu() const { return cpuTotal_; }

private:
    Clock::time_point wall_;
    double cpu_ = 0;
    double wallTotal_ = 0;
    double cpuTotal_ = 0;
};

std::vector<int> ReadIds(const std::string& file) {
    std::ifstream in(file);
    std::vector<int> ids;
    for (int id; in >> id;) ids.push_back(id);
    if (ids.empty()) throw std::runtime_error("no document ids in " + file);
    return ids;
}

std::wstring W(const std::string& s) { return zub::Utf8ToWide(s); }

// Peak resident memory of this process, which ran nothing but the step.
long long PeakRss() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    }
    return 0;
}

void Report(double seconds, double cpu, long long count) {
    std::printf("seconds=%.9f\ncpu=%.9f\ncount=%lld\npeak=%lld\n", seconds, cpu, count, PeakRss());
}

void Add(const Args& a, const BenchStore& store) {
    const int first = a.Int("first", 0);
    const int count = a.Int("count");
    const fs::path src = a.Text("src");
    std::ofstream ids(a.Text("ids"), std::ios::app);
    DRM::Doc doc;
    store.Connect(doc);
    Spans spans;
    for (int i = first; i < first + count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s%06d", a.Text("prefix").c_str(), i);
        char file[32];
        std::snprintf(file, sizeof file, "f%06d.bin", i);
        doc.set_docRepoId(a.Int("repo"));
        doc.set_fileName(W(name));
        doc.set_ext(L"bin");
        doc.set_phyUrl(W(a.Text("phyurl")));
        doc.set_creById(BenchStore::kSystemUser);
        doc.set_caxDocType(0);
        const std::wstring local = (src / file).wstring();
        spans.Start();
        const int rc = doc.Add(local);
        spans.Stop();
        Check(rc, doc, "Doc::Add");
        ids << doc.id() << "\n";
    }
    Report(spans.Wall(), spans.Cpu(), count);
}

// Marks the document checked out by the benchmark's user, as a check-out
// would, without moving its file: only the holder may check in.
void Claim(const BenchStore& store, int id) {
    zub::vaultschema::ProductStore::Register();
    const auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(store.Dir().string()), 0, L"QVData", L""), L"");
    if (!db) throw std::runtime_error("cannot open the store");
    ZUBDB::QVParams values(false);
    values.AddParam(0, L"CurrentState", 1, false, L"=");
    values.AddParam(1, L"CurrentOperatorId", BenchStore::kSystemUser, false, L"=");
    values.AddParam(2, L"CurrentOperatorName", L"system", false, false, L"=");
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocId", id, false, L"=");
    if (db->UpdateRows(L"QV_DMDoc", values, cond, L"", L"") != 0 || db->CommitTrans() != 0)
        throw std::runtime_error("cannot check out document " + std::to_string(id));
}

void CheckIn(const Args& a, const BenchStore& store) {
    const std::wstring src = W(a.Text("src"));
    const int repeat = a.Int("repeat", 1);
    DRM::Doc doc;
    store.Connect(doc);
    Spans spans;
    long long count = 0;
    for (int id : ReadIds(a.Text("ids"))) {
        Check(doc.Read(id), doc, "Doc::Read");
        doc.set_checkOutById(BenchStore::kSystemUser);
        doc.set_checkOutByName(L"system");
        for (int r = 0; r < repeat; ++r) {
            doc.set_modifyInfo(L"benchmark check-in " + std::to_wstring(r));
            Claim(store, id);
            spans.Start();
            const int rc = doc.CheckIn(src);
            spans.Stop();
            Check(rc, doc, "Doc::CheckIn");
            ++count;
        }
    }
    Report(spans.Wall(), spans.Cpu(), count);
}

void CheckOut(const Args& a, const BenchStore& store) {
    const std::wstring dest = W(a.Text("dest"));
    DRM::Doc doc;
    store.Connect(doc);
    Spans spans;
    long long count = 0;
    for (int id : ReadIds(a.Text("ids"))) {
        Check(doc.Read(id), doc, "Doc::Read");
        doc.set_checkOutById(BenchStore::kSystemUser);
        doc.set_checkOutByName(L"system");
        spans.Start();
        const int rc = doc.CheckOut(dest);
        spans.Stop();
        Check(rc, doc, "Doc::CheckOut");
        ++count;
    }
    Report(spans.Wall(), spans.Cpu(), count);
}

// One connection, one untimed warm-up (the first statement on a connection
// reads the schema), then the fastest of `reps` timed calls, each into an
// emptied collection: on a shared machine the fastest is the least disturbed.
template <class Collection, class Filter>
void Listing(const Args& a, const BenchStore& store, Filter filter, const char* what) {
    const int reps = a.Int("reps", 3);
    Collection list;
    store.Connect(list);
    double fastest = 0;
    double fastestCpu = 0;
    long long count = 0;
    for (int r = 0; r <= reps; ++r) {
        list.Clear();
        Spans spans;
        spans.Start();
        const int rc = list.GetAll(filter);
        const auto [wall, cpu] = spans.Stop();
        Check(rc, list, what);
        if (r > 0 && (fastest == 0 || wall < fastest)) {
            fastest = wall;
            fastestCpu = cpu;
        }
        count = list.Count();
    }
    Report(fastest, fastestCpu, count);
}

void Baseline(const Args& a, const BenchStore& store) {
    DRM::BaseLine line;
    store.Connect(line);
    line.set_docRepoId(a.Int("repo"));
    line.set_name(W(a.Text("name")));
    line.set_desc(L"benchmark baseline");
    Spans spans;
    spans.Start();
    const int rc = line.Create();
    spans.Stop();
    Check(rc, line, "BaseLine::Create");
    Report(spans.Wall(), spans.Cpu(), 1);
}

}  // namespace

int StepMain::Run(int argc, char** argv) {
    try {
        if (argc < 3) throw std::invalid_argument("usage: --step NAME key=value...");
        const std::string step = argv[2];
        const Args a(argc, argv);
        const BenchStore store(a.Text("store"));
        if (step == "add") {
            Add(a, store);
        } else if (step == "checkin") {
            CheckIn(a, store);
        } else if (step == "checkout") {
            CheckOut(a, store);
        } else if (step == "list") {
            DRM::filterForDoc f;
            f.docRepoId = a.Int("repo");
            Listing<DRM::Docs>(a, store, f, "Docs::GetAll");
        } else if (step == "history") {
            DRM::filterForDocHistory f;
            f.docId = a.Int("doc");
            Listing<DRM::DocHistorys>(a, store, f, "DocHistorys::GetAll");
        } else if (step == "baseline") {
            Baseline(a, store);
        } else {
            throw std::invalid_argument("unknown step " + step);
        }
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "step failed: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace zub::bench
