#include "filemaker.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "zub/uniquefd.h"

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void Fill(unsigned char* p, std::size_t n, std::uint64_t state) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t v = SplitMix(state);
        std::memcpy(p + i, &v, 8);
    }
    if (i < n) {
        const std::uint64_t v = SplitMix(state);
        std::memcpy(p + i, &v, n - i);
    }
}

}  // namespace

void FileMaker::Write(const std::filesystem::path& file, std::uint64_t bytes, std::uint64_t seed,
                      std::uint64_t changedChunk, std::uint64_t variant) {
    zub::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) throw std::runtime_error("create " + file.string() + ": " + std::strerror(errno));
    const std::size_t bufSize = static_cast<std::size_t>(bytes < kChunk ? bytes : kChunk);
    auto buf = std::make_unique_for_overwrite<unsigned char[]>(bufSize > 0 ? bufSize : 1);
    std::uint64_t done = 0;
    for (std::uint64_t chunk = 0; done < bytes; ++chunk) {
        const std::size_t n =
            static_cast<std::size_t>(bytes - done < kChunk ? bytes - done : kChunk);
        const std::uint64_t mix = chunk == changedChunk ? variant * 0x632BE59BD9B4E019ull : 0;
        Fill(buf.get(), n, seed * 0xD1B54A32D192ED03ull + chunk + mix);
        std::size_t written = 0;
        while (written < n) {
            const ssize_t w = ::write(fd.get(), buf.get() + written, n - written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                throw std::runtime_error("write " + file.string() + ": " + std::strerror(errno));
            written += static_cast<std::size_t>(w);
        }
        done += n;
    }
}
