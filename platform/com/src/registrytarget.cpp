#include <zub/com/runtime.h>

#include <zub/platform/module.h>
#include <zub/platform/registry.h>

namespace zub::com {

namespace pf = zub::platform;

namespace {

pf::RootKey RootOf(std::wstring_view root) {
    pf::RootKey r = pf::RootKey::ClassesRoot;
    pf::RootKeyFromName(root, r);
    return r;
}

HRESULT Open(std::wstring_view root, std::wstring_view path, pf::RegAccess access,
             pf::RegKey& key) {
    return HResultFromWin32(pf::RegOpenKey(pf::RegKey(RootOf(root)), path, access, key));
}

}  // namespace

HRESULT RegistryTarget::CreateKey(std::wstring_view root, std::wstring_view path) {
    pf::RegKey key;
    return HResultFromWin32(pf::RegCreateKey(pf::RegKey(RootOf(root)), path, pf::kKeyWrite, key));
}

bool RegistryTarget::KeyExists(std::wstring_view root, std::wstring_view path) {
    return path.empty() || pf::RegKeyExists(pf::RegKey(RootOf(root)), path);
}

bool RegistryTarget::HasSubKeys(std::wstring_view root, std::wstring_view path) {
    pf::RegKey key;
    if (FAILED(Open(root, path, pf::kKeyRead, key))) return false;
    pf::RegKeyInfo info;
    return pf::RegQueryInfoKey(key, info) == 0 && info.subKeys > 0;
}

HRESULT RegistryTarget::SetString(std::wstring_view root, std::wstring_view path,
                                  std::wstring_view name, std::wstring_view value) {
    pf::RegKey key;
    HRESULT hr = Open(root, path, pf::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(pf::RegSetString(key, name, value));
}

HRESULT RegistryTarget::SetDword(std::wstring_view root, std::wstring_view path,
                                 std::wstring_view name, std::uint32_t value) {
    pf::RegKey key;
    HRESULT hr = Open(root, path, pf::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(pf::RegSetDword(key, name, value));
}

HRESULT RegistryTarget::SetBinary(std::wstring_view root, std::wstring_view path,
                                  std::wstring_view name, const std::vector<std::uint8_t>& value) {
    pf::RegKey key;
    HRESULT hr = Open(root, path, pf::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(pf::RegSetValue(key, name, pf::ValueType::Binary, value.data(),
                                            static_cast<std::uint32_t>(value.size())));
}

HRESULT RegistryTarget::DeleteTree(std::wstring_view root, std::wstring_view path) {
    pf::Error e = pf::RegDeleteTree(pf::RegKey(RootOf(root)), path);
    return e == pf::kErrorFileNotFound ? S_OK : HResultFromWin32(e);
}

HRESULT RegistryTarget::DeleteValue(std::wstring_view root, std::wstring_view path,
                                    std::wstring_view name) {
    pf::RegKey key;
    HRESULT hr = Open(root, path, pf::kKeyWrite, key);
    if (hr == HResultFromWin32(pf::kErrorFileNotFound)) return S_OK;
    if (FAILED(hr)) return hr;
    pf::Error e = pf::RegDeleteValue(key, name);
    return e == pf::kErrorFileNotFound ? S_OK : HResultFromWin32(e);
}

HRESULT RunRegistrarResource(const void* address, std::uint32_t id,
                             const Replacements& replacements, bool registering) {
    std::span<const std::uint8_t> data;
    pf::Error e = pf::FindResourceOfAddress(address, "REGISTRY", id, data);
    if (e != 0) return HResultFromWin32(e);
    RegistryTarget target;
    return RunRegistrarScript(RegistrarScriptText(data.data(), data.size()), replacements,
                              registering, target);
}

std::wstring ModulePathOf(const void* address) {
    std::wstring path;
    if (pf::ModulePathFromAddress(address, path) != 0) return {};
    return path;
}

}  // namespace zub::com
