// Names that become one path segment on the file server.
#pragma once

#include <string>

#include "docvault/errors.h"
#include "internal/serverpath.h"
#include "zub/text.h"

namespace DRM {

// It must not name its own folder, its parent, or reach into another folder,
// and holds no control character (they would reach every user's terminal).
inline bool IsPlainName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(std::wstring(L"\\/\0", 3)) == std::wstring::npos &&
           !HasControlChar(name);
}

// The description recorded with Err::kInvalidName.
inline std::wstring InvalidNameText(const std::wstring& name) {
    return zub::FormatBounded(1024, Err::kInvalidNameText, name.c_str());
}

}  // namespace DRM
