#include "filemaker.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "zub/uniquefd.h"

namespace zub::bench {

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

std::string FileMaker::Sha256(const std::filesystem::path& file) {
    zub::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) throw std::runtime_error("open " + file.string() + ": " + std::strerror(errno));
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(),
                                                                 &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot start a SHA-256");
    const auto buf = std::make_unique_for_overwrite<unsigned char[]>(kChunk);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buf.get(), kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw std::runtime_error("read " + file.string() + ": " + std::strerror(errno));
        if (got == 0) break;
        EVP_DigestUpdate(ctx.get(), buf.get(), static_cast<std::size_t>(got));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &length);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 0xf];
    }
    return hex;
}

}  // namespace zub::bench
