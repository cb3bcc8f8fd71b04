#include "kitsetup/install_record.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "fsutil.h"
#include "kitsetup/lists.h"
#include "zub/text.h"

namespace kitsetup {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool Has(const std::vector<std::wstring>& v, const std::wstring& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

json Texts(const std::vector<std::wstring>& v) {
    json a = json::array();
    for (const auto& s : v) a.push_back(zub::WideToUtf8(s));
    return a;
}

std::vector<std::wstring> Texts(const json& a) {
    std::vector<std::wstring> v;
    if (!a.is_array()) return v;
    for (const auto& s : a) v.push_back(zub::Utf8ToWide(s.get<std::string>()));
    return v;
}

std::wstring W(const json& j, const char* key) {
    return j.contains(key) ? zub::Utf8ToWide(j.at(key).get<std::string>()) : std::wstring();
}

}  // namespace

void InstallRecord::NoteDir(const std::wstring& path) {
    std::error_code ec;
    if (!fs::exists(FsPath(path), ec) && !Has(createdDirs, path)) createdDirs.push_back(path);
}

void InstallRecord::NoteFile(const std::wstring& path, bool existedBefore) {
    if (existedBefore) {
        if (!Has(createdFiles, path) && !Has(overwrittenFiles, path))
            overwrittenFiles.push_back(path);
    } else if (!Has(createdFiles, path)) {
        createdFiles.push_back(path);
    }
}

void InstallRecord::NoteRegistryWrite(keyRoot root, const std::wstring& subKey,
                                      const std::wstring& name) {
    for (const auto& v : registryValues) {
        if (v.root == root && v.subKey == subKey && v.name == name) return;
    }
    // Every missing key on the way down is created by the write.
    std::wstring prefix;
    for (const auto& part : SplitList(subKey, L"\\")) {
        prefix += (prefix.empty() ? L"" : L"\\") + part;
        if (!RegistryHelper::KeyExists(root, prefix)) createdKeys.push_back({root, prefix});
    }
    RegistryValue v{root, subKey, name, false, {}};
    v.existed = RegistryHelper::ReadString(root, subKey, name, v.previous) == 0;
    registryValues.push_back(std::move(v));
}

void InstallRecord::Save(const std::string& path) const {
    json j;
    j["installDir"] = zub::WideToUtf8(installDir);
    j["productKey"] = zub::WideToUtf8(productKey);
    j["complete"] = complete;
    j["createdDirs"] = Texts(createdDirs);
    j["createdFiles"] = Texts(createdFiles);
    j["overwrittenFiles"] = Texts(overwrittenFiles);
    j["skippedFiles"] = Texts(skippedFiles);
    j["registeredDlls"] = Texts(registeredDlls);
    j["registeredAssemblies"] = Texts(registeredAssemblies);
    j["shortcuts"] = Texts(shortcuts);
    json values = json::array();
    for (const auto& v : registryValues) {
        values.push_back({{"root", v.root},
                          {"subKey", zub::WideToUtf8(v.subKey)},
                          {"name", zub::WideToUtf8(v.name)},
                          {"existed", v.existed},
                          {"previous", zub::WideToUtf8(v.previous)}});
    }
    j["registryValues"] = values;
    json keys = json::array();
    for (const auto& k : createdKeys)
        keys.push_back({{"root", k.root}, {"subKey", zub::WideToUtf8(k.subKey)}});
    j["createdKeys"] = keys;

    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << j.dump(2) << "\n";
        if (!out.flush()) throw std::runtime_error("cannot write " + tmp);
    }
    fs::rename(tmp, path);
}

InstallRecord InstallRecord::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    InstallRecord r;
    try {
        const json j = json::parse(in);
        r.installDir = W(j, "installDir");
        r.productKey = W(j, "productKey");
        r.complete = j.value("complete", false);
        r.createdDirs = Texts(j.value("createdDirs", json::array()));
        r.createdFiles = Texts(j.value("createdFiles", json::array()));
        r.overwrittenFiles = Texts(j.value("overwrittenFiles", json::array()));
        r.skippedFiles = Texts(j.value("skippedFiles", json::array()));
        r.registeredDlls = Texts(j.value("registeredDlls", json::array()));
        r.registeredAssemblies = Texts(j.value("registeredAssemblies", json::array()));
        r.shortcuts = Texts(j.value("shortcuts", json::array()));
        for (const auto& v : j.value("registryValues", json::array())) {
            r.registryValues.push_back({v.at("root").get<int>(), W(v, "subKey"), W(v, "name"),
                                        v.value("existed", false), W(v, "previous")});
        }
        for (const auto& k : j.value("createdKeys", json::array()))
            r.createdKeys.push_back({k.at("root").get<int>(), W(k, "subKey")});
    } catch (const json::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    return r;
}

}  // namespace kitsetup
