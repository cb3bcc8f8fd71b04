#include <zub/com/runtime.h>

#include <zub/platform/module.h>
#include <zub/platform/registry.h>

namespace zub::com {

namespace plat = zub::platform;

namespace {

plat::RootKey RootOf(std::wstring_view root) {
    plat::RootKey r = plat::RootKey::ClassesRoot;
    plat::RootKeyFromName(root, r);
    return r;
}

HRESULT Open(std::wstring_view root, std::wstring_view path, plat::RegAccess access,
             plat::RegKey& key) {
    return HResultFromWin32(plat::RegOpenKey(plat::RegKey(RootOf(root)), path, access, key));
}

}  // namespace

HRESULT RegistryTarget::CreateKey(std::wstring_view root, std::wstring_view path) {
    plat::RegKey key;
    return HResultFromWin32(
        plat::RegCreateKey(plat::RegKey(RootOf(root)), path, plat::kKeyWrite, key));
}

bool RegistryTarget::KeyExists(std::wstring_view root, std::wstring_view path) {
    return path.empty() || plat::RegKeyExists(plat::RegKey(RootOf(root)), path);
}

bool RegistryTarget::HasSubKeys(std::wstring_view root, std::wstring_view path) {
    plat::RegKey key;
    if (FAILED(Open(root, path, plat::kKeyRead, key))) return false;
    plat::RegKeyInfo info;
    return plat::RegQueryInfoKey(key, info) == 0 && info.subKeys > 0;
}

HRESULT RegistryTarget::SetString(std::wstring_view root, std::wstring_view path,
                                  std::wstring_view name, std::wstring_view value) {
    plat::RegKey key;
    HRESULT hr = Open(root, path, plat::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(plat::RegSetString(key, name, value));
}

HRESULT RegistryTarget::SetDword(std::wstring_view root, std::wstring_view path,
                                 std::wstring_view name, std::uint32_t value) {
    plat::RegKey key;
    HRESULT hr = Open(root, path, plat::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(plat::RegSetDword(key, name, value));
}

HRESULT RegistryTarget::SetBinary(std::wstring_view root, std::wstring_view path,
                                  std::wstring_view name, const std::vector<std::uint8_t>& value) {
    plat::RegKey key;
    HRESULT hr = Open(root, path, plat::kKeyWrite, key);
    if (FAILED(hr)) return hr;
    return HResultFromWin32(plat::RegSetValue(key, name, plat::ValueType::Binary, value.data(),
                                              static_cast<std::uint32_t>(value.size())));
}

HRESULT RegistryTarget::DeleteTree(std::wstring_view root, std::wstring_view path) {
    plat::Error e = plat::RegDeleteTree(plat::RegKey(RootOf(root)), path);
    return e == plat::kErrorFileNotFound ? S_OK : HResultFromWin32(e);
}

HRESULT RegistryTarget::DeleteValue(std::wstring_view root, std::wstring_view path,
                                    std::wstring_view name) {
    plat::RegKey key;
    HRESULT hr = Open(root, path, plat::kKeyWrite, key);
    if (hr == HResultFromWin32(plat::kErrorFileNotFound)) return S_OK;
    if (FAILED(hr)) return hr;
    plat::Error e = plat::RegDeleteValue(key, name);
    return e == plat::kErrorFileNotFound ? S_OK : HResultFromWin32(e);
}

HRESULT RunRegistrarResource(const void* address, std::uint32_t id,
                             const Replacements& replacements, bool registering) {
    std::span<const std::uint8_t> data;
    plat::Error e = plat::FindResourceOfAddress(address, "REGISTRY", id, data);
    if (e != 0) return HResultFromWin32(e);
    RegistryTarget target;
    return RunRegistrarScript(RegistrarScriptText(data.data(), data.size()), replacements,
                              registering, target);
}

std::wstring ModulePathOf(const void* address) {
    std::wstring path;
    if (plat::ModulePathFromAddress(address, path) != 0) return {};
    return path;
}

}  // namespace zub::com
