#include "model_file.h"

#include <sstream>

#include "zub/text.h"

namespace ZUBPROE4 {
namespace {

std::string_view Rest(std::string_view line, std::size_t keywordLength) {
    line.remove_prefix(keywordLength);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return line;
}

bool StartsWithWord(std::string_view line, std::string_view word) {
    return line.substr(0, word.size()) == word &&
           (line.size() == word.size() || line[word.size()] == ' ');
}

// Tabs and line breaks separate fields and lines, so values cannot hold them.
std::string Clean(const std::wstring& text) {
    std::string out = zub::WideToUtf8(text);
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

}  // namespace

ModelTable* Model::Table(const std::wstring& name) {
    for (ModelTable& t : tables) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

ModelRead ParseModel(const std::wstring& path, const std::string& text) {
    Model model;
    model.path = path;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        return ModelRead{std::nullopt,
                         L"line " + std::to_wstring(number) + L": " + zub::Utf8ToWide(why)};
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string_view view(line);
        if (view.empty() || view.front() == '#') continue;
        if (StartsWithWord(view, "dep")) {
            const std::string_view dep = Rest(view, 3);
            if (dep.empty()) return fail("dep without a path");
            model.dependencies.push_back(zub::Utf8ToWide(dep));
        } else if (StartsWithWord(view, "table")) {
            const std::string_view name = Rest(view, 5);
            if (name.empty()) return fail("table without a name");
            model.tables.push_back({zub::Utf8ToWide(name), {}});
        } else if (StartsWithWord(view, "row")) {
            if (model.tables.empty()) return fail("row before any table");
            Row row;
            std::string_view fields = Rest(view, 3);
            while (!fields.empty()) {
                const std::size_t tab = fields.find('\t');
                const std::string_view field = fields.substr(0, tab);
                const std::size_t eq = field.find('=');
                if (eq == 0 || eq == std::string_view::npos) {
                    return fail("row field without column=value");
                }
                row.emplace_back(zub::Utf8ToWide(field.substr(0, eq)),
                                 zub::Utf8ToWide(field.substr(eq + 1)));
                if (tab == std::string_view::npos) break;
                fields.remove_prefix(tab + 1);
            }
            model.tables.back().rows.push_back(std::move(row));
        } else {
            return fail("unknown line \"" + line + "\"");
        }
    }
    return ModelRead{std::move(model), {}};
}

std::string FormatModel(const Model& model) {
    std::string out = "# stand-in CAD model\n";
    for (const std::wstring& dep : model.dependencies) out += "dep " + Clean(dep) + "\n";
    for (const ModelTable& table : model.tables) {
        out += "table " + Clean(table.name) + "\n";
        for (const Row& row : table.rows) {
            out += "row ";
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i > 0) out += '\t';
                out += Clean(row[i].first) + "=" + Clean(row[i].second);
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace ZUBPROE4
