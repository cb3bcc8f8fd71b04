// Names that become one path segment on the file server.
#pragma once

#include <string>

#include "docvault/errors.h"
#include "internal/serverpath.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/text.h"

namespace DRM {

// It must not name its own folder, its parent, or reach into another folder,
// and holds no control character (they would reach every user's terminal).
inline bool IsPlainName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(std::wstring(L"\\/\0", 3)) == std::wstring::npos &&
           !HasControlChar(name);
}

// Names the implementation gives its own temporaries: the file server's
// transfer temporaries and everything beginning with ".zub-". A user's new
// file, folder or baseline never takes one, so no cleaner can mistake it.
inline bool IsReservedName(const std::wstring& name) {
    return name.rfind(L".zub-", 0) == 0 || NFS::CNFS_Cmd::IsTemporaryName(name);
}

// Whether a folder text ("\a\b") has a reserved part.
inline bool HasReservedPart(const std::wstring& folder) {
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos) end = folder.size();
        if (IsReservedName(folder.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// The description recorded with Err::kInvalidName.
inline std::wstring InvalidNameText(const std::wstring& name) {
    return zub::FormatBounded(1024, Err::kInvalidNameText, name.c_str());
}

}  // namespace DRM
