// Whole-file reads and writes for setting up and checking tests.
#pragma once

#include <filesystem>
#include <string>

namespace zub::testsupport {

// Makes the parent folders; throws std::runtime_error when the file cannot be written.
void WriteFile(const std::filesystem::path& path, const std::string& content);
// "" for a file that cannot be read, so a test can compare it with what it expects.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace zub::testsupport
