#include "kitsetup/install_record.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "fsutil.h"
#include "kitsetup/lists.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::kitsetup {

namespace fs = std::filesystem;
namespace pf = zub::platform;
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
    if (fs::exists(FsPath(path), ec) || Has(createdDirs, path)) return;
    createdDirs.push_back(path);
    Changed();
}

void InstallRecord::NoteFile(const std::wstring& path, bool existedBefore) {
    if (Has(createdFiles, path)) return;
    if (existedBefore) {
        if (!Has(overwrittenFiles, path)) overwrittenFiles.push_back(path);
        return;
    }
    createdFiles.push_back(path);
    Changed();
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
    Changed();
}

void InstallRecord::NoteDll(const std::wstring& path) {
    if (Has(registeredDlls, path)) return;
    registeredDlls.push_back(path);
    Changed();
}

void InstallRecord::NoteAssembly(const std::wstring& path) {
    if (Has(registeredAssemblies, path)) return;
    registeredAssemblies.push_back(path);
    Changed();
}

void InstallRecord::NoteShortcut(const std::wstring& path) {
    if (Has(shortcuts, path)) return;
    shortcuts.push_back(path);
    Changed();
}

void InstallRecord::NoteCommandLink(const std::wstring& link, const std::wstring& target) {
    for (const auto& l : commandLinks) {
        if (l.link == link) return;
    }
    commandLinks.push_back({link, target});
    Changed();
}

std::string InstallRecord::ToJson() const {
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
    json links = json::array();
    for (const auto& l : commandLinks)
        links.push_back({{"link", zub::WideToUtf8(l.link)}, {"target", zub::WideToUtf8(l.target)}});
    j["commandLinks"] = links;
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
    return j.dump();
}

InstallRecord InstallRecord::FromJson(const std::string& text) {
    InstallRecord r;
    try {
        const json j = json::parse(text);
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
        for (const auto& l : j.value("commandLinks", json::array()))
            r.commandLinks.push_back({W(l, "link"), W(l, "target")});
        for (const auto& v : j.value("registryValues", json::array())) {
            r.registryValues.push_back({v.at("root").get<int>(), W(v, "subKey"), W(v, "name"),
                                        v.value("existed", false), W(v, "previous")});
        }
        for (const auto& k : j.value("createdKeys", json::array()))
            r.createdKeys.push_back({k.at("root").get<int>(), W(k, "subKey")});
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("install record: ") + e.what());
    }
    return r;
}

void InstallRecord::Store() const {
    if (RegistryHelper::WriteString(kHkeyLocalMachine, zub::Utf8ToWide(ToJson()), kInstallRecordKey,
                                    productKey) != 0) {
        const pf::Error e = pf::LastError();
        throw std::runtime_error("cannot keep the install record (" + std::to_string(e) +
                                 "): " + zub::WideToNarrow(pf::ErrorText(e)));
    }
}

bool InstallRecord::Find(const std::wstring& productKey, InstallRecord& out) {
    std::wstring text;
    if (RegistryHelper::ReadString(kHkeyLocalMachine, kInstallRecordKey, productKey, text) != 0)
        return false;
    out = FromJson(zub::WideToUtf8(text));
    return true;
}

bool InstallRecord::FindByDir(const std::wstring& dir, InstallRecord& out) {
    pf::RegKey key;
    if (pf::RegOpenKey(pf::RootKey::LocalMachine, kInstallRecordKey, pf::kKeyRead, key) != 0)
        return false;
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(FsPath(dir), ec);
    for (std::uint32_t i = 0;; ++i) {
        std::wstring name;
        pf::RegValue value;
        if (pf::RegEnumValue(key, i, name, &value) != 0) return false;
        if (value.type != pf::ValueType::Sz) continue;
        InstallRecord r =
            FromJson(zub::WideToUtf8(pf::RegDataToString(value.data.data(), value.data.size())));
        if (fs::weakly_canonical(FsPath(r.installDir), ec) == wanted) {
            out = std::move(r);
            return true;
        }
    }
}

void InstallRecord::Erase(const std::wstring& productKey) {
    RegistryHelper::DeleteValue(kHkeyLocalMachine, kInstallRecordKey, productKey);
    Tidy();
}

void InstallRecord::Tidy() {
    RegistryHelper::DeleteKeyIfEmpty(kHkeyLocalMachine, kInstallRecordKey);
    RegistryHelper::DeleteKeyIfEmpty(kHkeyLocalMachine, L"Software\\kitsetup");
}

}  // namespace zub::kitsetup
