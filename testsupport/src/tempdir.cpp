#include "zubtest/tempdir.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace zub::testsupport {

namespace fs = std::filesystem;

namespace {

fs::path Make(const fs::path& parent, const std::string& prefix) {
    std::string pattern = (parent / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    return pattern;
}

}  // namespace

TempDir::TempDir(const std::string& prefix) : path_(Make(fs::temp_directory_path(), prefix)) {}

TempDir::TempDir(const std::string& prefix, Medium medium) {
    std::error_code ec;
    if (medium == Medium::Memory && fs::is_directory("/dev/shm", ec)) {
        try {
            path_ = Make("/dev/shm", prefix);
            return;
        } catch (const std::system_error&) {
            // A full or read-only /dev/shm: the disk will do.
        }
    }
    path_ = Make(fs::temp_directory_path(), prefix);
}

TempDir::~TempDir() {
    std::error_code ec;
    if (fs::remove_all(path_, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
    // Tests take rights away to provoke failures; give them back and retry.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ec);
}

}  // namespace zub::testsupport
