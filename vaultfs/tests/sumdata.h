// Data the sum tests push through a copier or a pipe, and its sum taken in
// one pass, to compare with.
#pragma once

#include <cstddef>
#include <string>

#include "sha256.h"

namespace zub::vaultfs::test {

// Bytes that repeat at no chunk size a test uses.
inline std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 167 + i / 1009) & 0xff);
    return data;
}

inline std::wstring SumOf(const std::string& data) {
    NFS::Sha256 sha;
    sha.Update(data.data(), data.size());
    return sha.HexFinal();
}

}  // namespace zub::vaultfs::test
