#include "zub/platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "zub/text.h"

namespace zub::platform {

namespace {

constexpr const char* kResourceSymbol = "zub_module_resources";
using ResourceTableFn = const ZubResourceEntry* (*)(std::size_t*);

Error Done(Error e) {
    SetLastError(e);
    return e;
}

bool IsElf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in && std::memcmp(magic,
                             "\x7f"
                             "ELF",
                             4) == 0;
}

bool SameTypeName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

std::wstring LinkMapPath(const link_map* lm) {
    std::string name = lm != nullptr && lm->l_name != nullptr ? lm->l_name : "";
    std::error_code ec;
    if (name.empty()) {
        // The program itself has no name in its link map.
        auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::wstring() : Utf8ToWide(exe.string());
    }
    auto full = std::filesystem::absolute(name, ec);
    return Utf8ToWide(ec ? name : full.lexically_normal().string());
}

Error FindInModule(ModuleHandle module, std::string_view type, std::uint32_t id,
                   std::span<const std::uint8_t>& data) {
    link_map* mine = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &mine) != 0) return kErrorInvalidHandle;
    dlerror();
    void* sym = dlsym(module, kResourceSymbol);
    if (sym == nullptr) return kErrorResourceDataNotFound;
    // dlsym also searches the module's dependencies; only its own table counts.
    Dl_info info{};
    link_map* owner = nullptr;
    if (dladdr1(sym, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        owner != mine) {
        return kErrorResourceDataNotFound;
    }
    auto table = reinterpret_cast<ResourceTableFn>(sym);
    std::size_t count = 0;
    const ZubResourceEntry* entries = table(&count);
    bool typeSeen = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!SameTypeName(entries[i].type, type)) continue;
        typeSeen = true;
        if (entries[i].id == id) {
            data = std::span<const std::uint8_t>(entries[i].data, entries[i].size);
            return kErrorSuccess;
        }
    }
    return typeSeen ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound;
}

}  // namespace

Library::Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

Library::~Library() { Free(); }

bool Library::Free() {
    if (handle_ == nullptr) return false;
    dlclose(handle_);
    handle_ = nullptr;
    return true;
}

ModuleHandle Library::Release() { return std::exchange(handle_, nullptr); }

Error LoadLibrary(const std::wstring& path, Library& out) {
    out.Free();
    std::string file = WideToUtf8(path);
    if (file.empty()) return Done(kErrorModNotFound);
    bool hasDir = file.find('/') != std::string::npos;
    struct stat st {};
    if (hasDir && ::stat(file.c_str(), &st) != 0) return Done(kErrorModNotFound);
    if (hasDir && S_ISDIR(st.st_mode)) return Done(kErrorAccessDenied);
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (!hasDir) return Done(kErrorModNotFound);
        if (!IsElf(file)) return Done(kErrorBadExeFormat);
        const char* why = dlerror();
        bool wrongKind = why != nullptr && (std::strstr(why, "wrong ELF class") != nullptr ||
                                            std::strstr(why, "invalid ELF header") != nullptr ||
                                            std::strstr(why, "ELF file") != nullptr);
        // Otherwise a dependency is missing, which Windows reports as the module.
        return Done(wrongKind ? kErrorBadExeFormat : kErrorModNotFound);
    }
    out = Library(handle);
    return Done(kErrorSuccess);
}

Error GetProcAddress(ModuleHandle module, const char* name, void*& address) {
    address = nullptr;
    if (name == nullptr) return Done(kErrorInvalidParameter);
    void* self = nullptr;
    if (module == nullptr) {
        self = dlopen(nullptr, RTLD_LAZY);
        module = self;
    }
    dlerror();
    address = dlsym(module, name);
    if (self != nullptr) dlclose(self);
    return Done(address != nullptr ? kErrorSuccess : kErrorProcNotFound);
}

Error ModulePathFromAddress(const void* address, std::wstring& path) {
    Dl_info info{};
    link_map* lm = nullptr;
    if (address == nullptr ||
        dladdr1(address, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP) == 0) {
        return Done(kErrorModNotFound);
    }
    path = LinkMapPath(lm);
    return Done(path.empty() ? kErrorModNotFound : kErrorSuccess);
}

Error ModulePath(ModuleHandle module, std::wstring& path) {
    link_map* lm = nullptr;
    void* self = nullptr;
    if (module == nullptr) {
        self = dlopen(nullptr, RTLD_LAZY);
        module = self;
    }
    int rc = dlinfo(module, RTLD_DI_LINKMAP, &lm);
    if (self != nullptr) dlclose(self);
    if (rc != 0) return Done(kErrorInvalidHandle);
    path = LinkMapPath(lm);
    return Done(path.empty() ? kErrorModNotFound : kErrorSuccess);
}

Error FindResource(ModuleHandle module, std::string_view type, std::uint32_t id,
                   std::span<const std::uint8_t>& data) {
    void* self = nullptr;
    if (module == nullptr) {
        self = dlopen(nullptr, RTLD_LAZY);
        module = self;
    }
    Error e = FindInModule(module, type, id, data);
    if (self != nullptr) dlclose(self);
    return Done(e);
}

Error FindResourceOfAddress(const void* address, std::string_view type, std::uint32_t id,
                            std::span<const std::uint8_t>& data) {
    Dl_info info{};
    link_map* lm = nullptr;
    if (address == nullptr ||
        dladdr1(address, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP) == 0) {
        return Done(kErrorModNotFound);
    }
    // A counted reference to the module that is already loaded.
    void* handle = dlopen(lm->l_name != nullptr && lm->l_name[0] != '\0' ? lm->l_name : nullptr,
                          RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) return Done(kErrorModNotFound);
    Error e = FindInModule(handle, type, id, data);
    dlclose(handle);
    return Done(e);
}

}  // namespace zub::platform
