// Document paths as people type them ("parts/bolts/m6.prt", '/' or '\') and
// as the library keeps them: a folder below the trunk ("\parts\bolts", empty
// for the trunk itself), a file name and an extension.
#pragma once

#include <filesystem>
#include <string>

namespace zub::vault {

struct PathText {
    std::wstring folder;
    std::wstring name;
    std::wstring ext;

    // Throws on "." or ".." parts, or a file name without an extension.
    static PathText Split(const std::wstring& path);
    // "a/b" or "\a\b\" to "\a\b"; "" and "/" to "". Throws on "." or "..".
    static std::wstring Folder(const std::wstring& text);
    // The library's folder as people read it: "\a\b" to "a/b".
    static std::wstring ShowFolder(const std::wstring& folder);
    // "a/b/name.ext", or "name.ext" in the trunk itself.
    static std::wstring Show(const std::wstring& folder, const std::wstring& name,
                             const std::wstring& ext);
    // A local path as people read it: relative when below the current folder.
    static std::string ShowLocal(const std::filesystem::path& path);
    // A local path as a wide text, read as UTF-8 whatever the locale.
    static std::wstring Wide(const std::filesystem::path& path);
    // A wide name as a local path, written as UTF-8 whatever the locale: the
    // library's own wide-to-path conversion knows ASCII only.
    static std::filesystem::path Local(const std::wstring& text);
};

}  // namespace zub::vault
