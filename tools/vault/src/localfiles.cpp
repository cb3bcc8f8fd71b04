#include "localfiles.h"

#include <algorithm>
#include <fstream>

namespace zub::vault {

namespace fs = std::filesystem;

bool LocalFiles::SameContent(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (!fs::is_regular_file(a, ec) || !fs::is_regular_file(b, ec)) return false;
    if (fs::file_size(a, ec) != fs::file_size(b, ec)) return false;
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    std::vector<char> ba(1 << 16);
    std::vector<char> bb(1 << 16);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

std::vector<fs::path> LocalFiles::Conflicts(const fs::path& from, const fs::path& to) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        if (entry.is_directory()) continue;
        const fs::path relative = entry.path().lexically_relative(from);
        std::error_code ec;
        const fs::path target = to / relative;
        if (fs::exists(fs::symlink_status(target, ec)) && !SameContent(entry.path(), target))
            found.push_back(relative);
    }
    return found;
}

void LocalFiles::MoveInto(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(from)) {
        const fs::path target = to / entry.path().filename();
        if (entry.is_directory() && fs::is_directory(target))
            MoveInto(entry.path(), target);
        else
            fs::rename(entry.path(), target);
    }
}

}  // namespace zub::vault
