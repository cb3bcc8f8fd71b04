#include "zub/platform/services.h"

#include <cwctype>
#include <filesystem>
#include <string>

#include "zub/platform/folders.h"
#include "zub/platform/privilege.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

// Rights that only read: connect, enumerate, query (configuration, status,
// lock status, dependents), interrogate, READ_CONTROL, GENERIC_READ.
constexpr std::uint32_t kManagerReadBits = 0x0001 | 0x0004 | 0x0010 | 0x00020000 | kGenericRead;
constexpr std::uint32_t kServiceReadBits =
    0x0001 | 0x0004 | 0x0008 | 0x0080 | 0x00020000 | kGenericRead;

const char* const kUnitFolders[] = {
    "/etc/systemd/system",     "/run/systemd/system", "/usr/local/lib/systemd/system",
    "/usr/lib/systemd/system", "/lib/systemd/system",
};

Error Done(Error e) {
    SetLastError(e);
    return e;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<unsigned char>(a[i])) !=
            std::towlower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool HasUnitSuffix(const std::string& name) {
    for (const char* s : {".service", ".socket", ".target", ".timer", ".mount", ".path"}) {
        std::string suffix(s);
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
}

// The file that defines `file` in `folder`: exact name first, then any case.
std::filesystem::path Lookup(const std::filesystem::path& folder, const std::string& file) {
    std::error_code ec;
    auto exact = folder / file;
    if (std::filesystem::exists(exact, ec)) return exact;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (SameIgnoringCase(it->path().filename().string(), file)) return it->path();
    }
    return {};
}

}  // namespace

Error OpenServiceManager(std::uint32_t access, ServiceManager& out) {
    out = ServiceManager();
    if ((access & ~kManagerReadBits) != 0 && !IsProcessPrivileged())
        return Done(kErrorAccessDenied);
    out.open_ = true;
    out.access_ = access;
    return Done(kErrorSuccess);
}

Error OpenService(const ServiceManager& manager, std::wstring_view name, std::uint32_t access,
                  Service& out) {
    out = Service();
    if (!manager.IsOpen()) return Done(kErrorInvalidHandle);
    std::string n = WideToUtf8(name);
    if (n.empty() || n.find('/') != std::string::npos || n == "." || n == "..")
        return Done(kErrorInvalidName);
    std::string root = WideToUtf8(RootPrefix());
    std::string unit = HasUnitSuffix(n) ? n : n + ".service";
    std::filesystem::path found;
    for (const char* folder : kUnitFolders) {
        found = Lookup(root + folder, unit);
        if (!found.empty()) break;
    }
    if (found.empty()) found = Lookup(root + "/etc/init.d", n);
    if (found.empty()) return Done(kErrorServiceDoesNotExist);
    if ((access & ~kServiceReadBits) != 0 && !IsProcessPrivileged())
        return Done(kErrorAccessDenied);
    std::string key = found.filename().string();
    if (key.size() > 8 && key.compare(key.size() - 8, 8, ".service") == 0 && !HasUnitSuffix(n)) {
        key.resize(key.size() - 8);
    }
    out.name_ = Utf8ToWide(key);
    out.path_ = Utf8ToWide(found.string());
    return Done(kErrorSuccess);
}

}  // namespace zub::platform
