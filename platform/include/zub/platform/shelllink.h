// Shell links, written as freedesktop .desktop entries.
//
// The entry is written at exactly the given path (the caller chooses the name;
// menus show files ending in ".desktop"). Besides the standard keys (Name from
// the file name without its extension, Comment, Exec, Path, Icon, Terminal) the entry
// keeps the link's own fields in X-Zub-* keys and the hot key as a comment
// line "# HotKey=0x...", so ReadShellLink gets back what was written.
#pragma once

#include <cstdint>
#include <string>

#include "zub/platform/error.h"

namespace zub::platform {

struct ShellLink {
    std::wstring target;
    std::wstring arguments;
    std::wstring description;
    std::uint16_t hotKey = 0;
    std::wstring iconPath;
    int iconIndex = 0;
    std::wstring workingDirectory;
    // Opened in a terminal (a command-line program); Windows links need no
    // such flag, desktop entries do.
    bool terminal = false;

    bool operator==(const ShellLink&) const = default;
};

// Writes (replaces) the link file; its folder must exist (kErrorPathNotFound).
Error WriteShellLink(const ShellLink& link, const std::wstring& linkPath);
// Reads a link file written by WriteShellLink, or a plain .desktop entry
// (target and arguments from Exec then). Missing: kErrorFileNotFound; not a
// desktop entry: kErrorInvalidData.
Error ReadShellLink(const std::wstring& linkPath, ShellLink& link);

}  // namespace zub::platform
