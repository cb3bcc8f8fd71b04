// Wide product paths to and from the file system's narrow ones.
#pragma once

#include <filesystem>
#include <string>

#include "zub/text.h"

namespace zub::kitsetup {

inline std::filesystem::path FsPath(const std::wstring& p) {
    return std::filesystem::path(zub::WideToNarrow(p));
}

inline std::wstring WPath(const std::filesystem::path& p) { return zub::NarrowToWide(p.string()); }

inline std::wstring CurrentDir() {
    std::error_code ec;
    const auto p = std::filesystem::current_path(ec);
    return ec ? std::wstring() : WPath(p);
}

}  // namespace zub::kitsetup
