// A model of the simulated CAD session and its text file.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ZUBPROE4 {

using Row = std::vector<std::pair<std::wstring, std::wstring>>;

struct ModelTable {
    std::wstring name;
    std::vector<Row> rows;
};

struct Model {
    std::wstring path;
    std::vector<std::wstring> dependencies;
    std::vector<ModelTable> tables;

    ModelTable* Table(const std::wstring& name);
};

// Reads a model file; an error text ("line N: ...") when it is malformed.
struct ModelRead {
    std::optional<Model> model;
    std::wstring error;
};
ModelRead ParseModel(const std::wstring& path, const std::string& text);
std::string FormatModel(const Model& model);

}  // namespace ZUBPROE4
