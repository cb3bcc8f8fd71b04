#include "resulttable.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace zub::bench {

namespace {

std::string Printf(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Escape(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == '|')
            out += "\\|";
        else if (c == '\n')
            out += ' ';
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string ResultTable::FormatSeconds(double s) {
    if (s >= 100) return Printf("%.0f s", s);
    if (s >= 1) return Printf("%.2f s", s);
    if (s >= 1e-3) return Printf("%.1f ms", s * 1e3);
    return Printf("%.0f µs", s * 1e6);
}

std::string ResultTable::FormatBytes(long long b) {
    const double mib = static_cast<double>(b) / (1024.0 * 1024.0);
    if (mib >= 1024) return Printf("%.2f GiB", mib / 1024.0);
    return Printf("%.1f MiB", mib);
}

void ResultTable::DefineRow(RowSpec def) {
    if (Find(def.key) != nullptr) throw std::logic_error("row defined twice: " + def.key);
    rows_.push_back(Row{std::move(def), {}, {}});
}

void ResultTable::DefinePart(const std::string& key, const std::string& part, std::string label) {
    auto it =
        std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.def.key == key; });
    if (it == rows_.end()) throw std::logic_error("part of an unknown row: " + key);
    it->partOrder.push_back(part);
    it->parts[part].label = std::move(label);
}

void ResultTable::SetLabel(const std::string& key, const std::string& part, std::string label) {
    auto it =
        std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.def.key == key; });
    if (it == rows_.end() || !it->parts.count(part))
        throw std::logic_error("label of an unknown part: " + key + "/" + part);
    it->parts[part].label = std::move(label);
}

void ResultTable::Record(const std::string& key, const std::string& part, double seconds,
                         long long peakRssBytes, const std::string& error, double cpuSeconds) {
    auto it =
        std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.def.key == key; });
    if (it == rows_.end()) throw std::logic_error("result for an unknown row: " + key);
    auto p = it->parts.find(part);
    if (p == it->parts.end())
        throw std::logic_error("result for an unknown part: " + key + "/" + part);
    p->second.seconds = seconds;
    p->second.peakRssBytes = peakRssBytes;
    p->second.error = error;
    p->second.cpuSeconds = cpuSeconds;
}

const ResultTable::Row* ResultTable::Find(const std::string& key) const {
    for (const auto& r : rows_)
        if (r.def.key == key) return &r;
    return nullptr;
}

bool ResultTable::HasErrors() const {
    for (const auto& r : rows_)
        for (const auto& [name, p] : r.parts)
            if (!p.error.empty()) return true;
    return false;
}

std::optional<double> ResultTable::Ours(const Row& row) const {
    auto it = row.parts.find("ours");
    if (it == row.parts.end() || !it->second.error.empty() || it->second.seconds <= 0)
        return std::nullopt;
    return it->second.seconds;
}

std::optional<double> ResultTable::Raw(const Row& row, bool durable) const {
    double sum = 0;
    bool any = false;
    bool anyDurable = false;
    for (const auto& [name, p] : row.parts) {
        if (!StartsWith(name, "raw_")) continue;
        const PartResult* part = &p;
        if (durable) {
            auto d = row.parts.find("dur_" + name.substr(4));
            if (d != row.parts.end()) {
                part = &d->second;
                anyDurable = true;
            }
        }
        if (!part->error.empty() || part->seconds <= 0) return std::nullopt;
        sum += part->seconds;
        any = true;
    }
    if (!any || (durable && !anyDurable)) return std::nullopt;
    return sum;
}

std::string ResultTable::Rate(const Row& row, double seconds) const {
    if (row.def.items > 0) return Printf(" (%.0f docs/s)", row.def.items / seconds);
    if (row.def.bytes > 0) return Printf(" (%.0f MB/s)", row.def.bytes / seconds / 1e6);
    return {};
}

std::vector<std::string> ResultTable::RowsAbove(double limit) const {
    std::vector<std::string> keys;
    for (const auto& r : rows_) {
        const auto ours = Ours(r);
        const auto raw = Raw(r, false);
        if (ours && raw && *ours / *raw > limit) keys.push_back(r.def.key);
    }
    return keys;
}

std::string ResultTable::Cell(const Row& row, const std::string& part) const {
    auto it = row.parts.find(part);
    if (it == row.parts.end()) return "—";
    const PartResult& p = it->second;
    if (!p.error.empty()) return "error";
    if (p.seconds <= 0) return "not run";
    return FormatSeconds(p.seconds) + Rate(row, p.seconds);
}

std::string ResultTable::Markdown() const {
    std::ostringstream out;
    out << "| operation | size | ours | raw | ratio | raw + flushes | ratio | svn "
           "| peak memory (ours; raw, svn) | growth per item | raw is |\n";
    out << "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    std::vector<std::string> refs;
    std::vector<std::string> errors;
    for (const auto& r : rows_) {
        const auto ours = Ours(r);
        std::string cells[2][2];  // [plain, durable][time, ratio]
        for (int durable = 0; durable < 2; ++durable) {
            const auto raw = Raw(r, durable == 1);
            cells[durable][0] = raw ? FormatSeconds(*raw) + Rate(r, *raw) : "—";
            cells[durable][1] = "—";
            if (ours && raw) {
                const double q = *ours / *raw;
                cells[durable][1] = Printf("%.2f", q);
                if (q > 2.0) cells[durable][1] = "**" + cells[durable][1] + "**";
            }
        }

        std::string peak = "—";
        long long rawPeak = 0;
        long long svnPeak = 0;
        for (const auto& [name, p] : r.parts) {
            if (StartsWith(name, "raw_")) rawPeak = std::max(rawPeak, p.peakRssBytes);
            if (name == "svn") svnPeak = p.peakRssBytes;
        }
        auto o = r.parts.find("ours");
        if (o != r.parts.end() && o->second.peakRssBytes > 0) {
            peak = FormatBytes(o->second.peakRssBytes);
            std::string others;
            if (rawPeak > 0) others += FormatBytes(rawPeak);
            if (svnPeak > 0) others += (others.empty() ? "svn " : ", svn ") + FormatBytes(svnPeak);
            if (!others.empty()) peak += "; " + others;
        }

        std::string growth = "—";
        if (!r.def.growthOf.empty()) {
            const Row* prev = Find(r.def.growthOf);
            const auto prevOurs = prev ? Ours(*prev) : std::nullopt;
            if (ours && prevOurs && r.def.items > 0 && prev->def.items > 0) {
                const double g = (*ours / r.def.items) / (*prevOurs / prev->def.items);
                growth = Printf("×%.2f", g);
                const double cpu = r.parts.at("ours").cpuSeconds;
                const double prevCpu = prev->parts.at("ours").cpuSeconds;
                if (cpu > 0 && prevCpu > 0)
                    growth +=
                        Printf(" (cpu ×%.2f)", (cpu / r.def.items) / (prevCpu / prev->def.items));
            }
        }

        const auto rawParts =
            std::count_if(r.partOrder.begin(), r.partOrder.end(),
                          [](const std::string& n) { return StartsWith(n, "raw_"); });
        std::string rawIs;
        for (const auto& name : r.partOrder) {
            const PartResult& p = r.parts.at(name);
            if (!p.error.empty()) errors.push_back(r.def.key + "/" + name + ": " + p.error);
            const bool timed = p.error.empty() && p.seconds > 0;
            if (StartsWith(name, "raw_")) {
                if (!rawIs.empty()) rawIs += " + ";
                rawIs += p.label;
                if (timed && rawParts > 1) rawIs += " (" + FormatSeconds(p.seconds) + ")";
            } else if (StartsWith(name, "dur_")) {
                rawIs += "; durable: " + p.label;
                if (timed) rawIs += " (" + FormatSeconds(p.seconds) + ")";
            } else if (StartsWith(name, "ref_") && timed) {
                refs.push_back(r.def.operation + ", " + r.def.size + " — " + p.label + ": " +
                               FormatSeconds(p.seconds) + Rate(r, p.seconds));
            }
        }

        out << "| " << Escape(r.def.operation) << " | " << Escape(r.def.size) << " | "
            << Cell(r, "ours") << " | " << cells[0][0] << " | " << cells[0][1] << " | "
            << cells[1][0] << " | " << cells[1][1] << " | " << Cell(r, "svn") << " | " << peak
            << " | " << growth << " | " << Escape(rawIs) << " |\n";
    }
    if (!refs.empty()) {
        out << "\nReference figures (not in the ratios):\n\n";
        for (const auto& r : refs) out << "- " << r << "\n";
    }
    if (!errors.empty()) {
        out << "\nErrors:\n\n";
        for (const auto& e : errors) out << "- " << e << "\n";
    }
    return out.str();
}

}  // namespace zub::bench
