// A temporary folder for one test, removed with everything in it, and
// helpers for the files the tests move.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "zubtest/tempdir.h"

namespace zub::vaultfs::test {

class TestTree {
public:
    TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const {
        return path_ / relative;
    }

    // Writes a file, making its folders.
    void Write(const std::filesystem::path& relative, const std::string& content) const;
    std::string Read(const std::filesystem::path& relative) const;
    // Every entry below `relative`, sorted; folders end in '/', links in '@'.
    std::vector<std::string> List(const std::filesystem::path& relative = {}) const;

private:
    zub::testsupport::TempDir dir_;
    std::filesystem::path path_;
};

// The text of a path for the wide interface.
std::wstring Wide(const std::filesystem::path& path);

// Writes `size` bytes of a position-dependent pattern, streamed.
void WritePattern(const std::filesystem::path& file, std::uint64_t size);
// A checksum of a file's content, read in chunks.
std::uint64_t Checksum(const std::filesystem::path& file);

// Runs `body` in a child process and returns what it returned ("" for
// success); a crash or exit without an answer is reported as text too.
std::string RunInChild(const std::function<std::string()>& body);

// Peak resident memory of this process in KiB (VmHWM).
long PeakRssKib();
// Resets the peak to the current resident size where the kernel allows it.
void ResetPeakRss();

}  // namespace zub::vaultfs::test
