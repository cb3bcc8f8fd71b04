#include "stepmain.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchstore.h"
#include "docvault/baseline.h"
#include "docvault/doc.h"
#include "docvault/dochistorys.h"
#include "docvault/docs.h"
#include "zub/text.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class Args {
public:
    Args(int argc, char** argv) {
        for (int i = 3; i < argc; ++i) {
            const std::string a = argv[i];
            const auto eq = a.find('=');
            if (eq == std::string::npos)
                throw std::invalid_argument("bad step argument: " + a);
            values_[a.substr(0, eq)] = a.substr(eq + 1);
        }
    }
    std::string Text(const std::string& key) const {
        auto it = values_.find(key);
        if (it == values_.end())
            throw std::invalid_argument("missing step argument: " + key);
        return it->second;
    }
    int Int(const std::string& key, int fallback = -1) const {
        auto it = values_.find(key);
        if (it == values_.end()) {
            if (fallback < 0)
                throw std::invalid_argument("missing step argument: " + key);
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

std::vector<int> ReadIds(const std::string& file) {
    std::ifstream in(file);
    std::vector<int> ids;
    for (int id; in >> id;)
        ids.push_back(id);
    if (ids.empty())
        throw std::runtime_error("no document ids in " + file);
    return ids;
}

std::wstring W(const std::string& s) { return zub::Utf8ToWide(s); }

// Peak resident memory of this process, which ran nothing but the step.
long long PeakRss() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    }
    return 0;
}

void Report(double seconds, long long count) {
    std::printf("seconds=%.9f\ncount=%lld\npeak=%lld\n", seconds, count, PeakRss());
}

void Add(const Args& a, const BenchStore& store) {
    const int count = a.Int("count");
    const fs::path src = a.Text("src");
    std::ofstream ids(a.Text("ids"));
    DRM::Doc doc;
    store.Connect(doc);
    double seconds = 0;
    for (int i = 0; i < count; ++i) {
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
        const auto t = Clock::now();
        const int rc = doc.Add(local);
        seconds += Since(t);
        Check(rc, doc, "Doc::Add");
        ids << doc.id() << "\n";
    }
    Report(seconds, count);
}

void CheckIn(const Args& a, const BenchStore& store) {
    const std::wstring src = W(a.Text("src"));
    const int repeat = a.Int("repeat", 1);
    DRM::Doc doc;
    store.Connect(doc);
    double seconds = 0;
    long long count = 0;
    for (int id : ReadIds(a.Text("ids"))) {
        Check(doc.Read(id), doc, "Doc::Read");
        doc.set_checkOutById(BenchStore::kSystemUser);
        doc.set_checkOutByName(L"system");
        for (int r = 0; r < repeat; ++r) {
            doc.set_modifyInfo(L"benchmark check-in " + std::to_wstring(r));
            const auto t = Clock::now();
            const int rc = doc.CheckIn(src);
            seconds += Since(t);
            Check(rc, doc, "Doc::CheckIn");
            ++count;
        }
    }
    Report(seconds, count);
}

void CheckOut(const Args& a, const BenchStore& store) {
    const std::wstring dest = W(a.Text("dest"));
    DRM::Doc doc;
    store.Connect(doc);
    double seconds = 0;
    long long count = 0;
    for (int id : ReadIds(a.Text("ids"))) {
        Check(doc.Read(id), doc, "Doc::Read");
        doc.set_checkOutById(BenchStore::kSystemUser);
        doc.set_checkOutByName(L"system");
        const auto t = Clock::now();
        const int rc = doc.CheckOut(dest);
        seconds += Since(t);
        Check(rc, doc, "Doc::CheckOut");
        ++count;
    }
    Report(seconds, count);
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
    long long count = 0;
    for (int r = 0; r <= reps; ++r) {
        list.Clear();
        const auto t = Clock::now();
        const int rc = list.GetAll(filter);
        const double s = Since(t);
        Check(rc, list, what);
        if (r > 0 && (fastest == 0 || s < fastest))
            fastest = s;
        count = list.Count();
    }
    Report(fastest, count);
}

void Baseline(const Args& a, const BenchStore& store) {
    DRM::BaseLine line;
    store.Connect(line);
    line.set_docRepoId(a.Int("repo"));
    line.set_name(W(a.Text("name")));
    line.set_desc(L"benchmark baseline");
    const auto t = Clock::now();
    const int rc = line.Create();
    const double seconds = Since(t);
    Check(rc, line, "BaseLine::Create");
    Report(seconds, 1);
}

}  // namespace

int StepMain::Run(int argc, char** argv) {
    try {
        if (argc < 3)
            throw std::invalid_argument("usage: --step NAME key=value...");
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
