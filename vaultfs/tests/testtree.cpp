#include "testtree.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "zub/text.h"
#include "zubtest/files.h"

namespace zub::vaultfs::test {

namespace fs = std::filesystem;

// Canonical, so paths compare equal to what the backend resolves.
TestTree::TestTree() : dir_("vaultfs-test"), path_(fs::canonical(dir_.path())) {}

void TestTree::Write(const fs::path& relative, const std::string& content) const {
    zub::testsupport::WriteFile(path_ / relative, content);
}

std::string TestTree::Read(const fs::path& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + (path_ / relative).string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> TestTree::List(const fs::path& relative) const {
    std::vector<std::string> names;
    const fs::path base = path_ / relative;
    for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator();
         ++it) {
        // Where Apache's WebDAV keeps its properties: the server's, not the tree's.
        if (it->path().filename() == ".DAV") {
            it.disable_recursion_pending();
            continue;
        }
        std::string name = it->path().lexically_relative(base).generic_string();
        if (it->is_symlink())
            name += "@";
        else if (it->is_directory())
            name += "/";
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Wide(const fs::path& path) { return zub::Utf8ToWide(path.native()); }

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

}  // namespace

void WritePattern(const fs::path& file, std::uint64_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const auto buffer = std::make_unique<std::uint64_t[]>(kChunk / 8);
    for (std::uint64_t at = 0; at < size; at += kChunk) {
        const std::uint64_t n = std::min<std::uint64_t>(kChunk, size - at);
        for (std::size_t i = 0; i < kChunk / 8; ++i)
            buffer[i] = (at / 8 + i) * 0x9E3779B97F4A7C15ull;
        out.write(reinterpret_cast<const char*>(buffer.get()), static_cast<std::streamsize>(n));
    }
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::uint64_t Checksum(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    const auto buffer = std::make_unique<char[]>(kChunk);
    std::uint64_t sum = 1469598103934665603ull;
    std::uint64_t length = 0;
    while (in) {
        in.read(buffer.get(), kChunk);
        const auto got = static_cast<std::size_t>(in.gcount());
        // Word by word; the tail byte by byte. Order matters to the sum.
        std::size_t i = 0;
        for (; i + 8 <= got; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, buffer.get() + i, 8);
            sum = (sum ^ word) * 1099511628211ull;
        }
        for (; i < got; ++i) sum = (sum ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
        length += got;
    }
    return sum ^ length;
}

std::string RunInChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return "fork failed";
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::string answer;
        try {
            answer = body();
        } catch (const std::exception& e) {
            answer = std::string("exception: ") + e.what();
        }
        answer = "=" + answer;
        std::size_t done = 0;
        while (done < answer.size()) {
            const ssize_t n = ::write(fds[1], answer.data() + done, answer.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (answer.empty() || answer[0] != '=')
        return "child ended without an answer, status " + std::to_string(status);
    return answer.substr(1);
}

long PeakRssKib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void ResetPeakRss() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
}

}  // namespace zub::vaultfs::test
