// The fixed file version of a PE image: resource directory, RT_VERSION,
// VS_VERSIONINFO, VS_FIXEDFILEINFO. Anything unexpected means "no version".
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

#include "zub/platform/files.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kMaxVersionBlock = 1 << 20;

class Image {
public:
    explicit Image(const std::string& path) : in_(path, std::ios::binary) {
        if (in_) {
            in_.seekg(0, std::ios::end);
            size_ = static_cast<std::uint64_t>(in_.tellg());
        }
    }
    bool Read(std::uint64_t offset, void* out, std::size_t n) {
        if (!in_ || offset > size_ || n > size_ - offset) return false;
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
        return static_cast<bool>(in_);
    }
    std::optional<std::uint16_t> U16(std::uint64_t offset) {
        std::uint8_t b[2];
        if (!Read(offset, b, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::optional<std::uint32_t> U32(std::uint64_t offset) {
        std::uint8_t b[4];
        if (!Read(offset, b, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawPointer;
};

std::optional<std::uint64_t> RvaToOffset(const std::vector<Section>& sections, std::uint32_t rva) {
    for (const auto& s : sections) {
        std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            std::uint32_t delta = rva - s.virtualAddress;
            if (delta >= s.rawSize) return std::nullopt;
            return static_cast<std::uint64_t>(s.rawPointer) + delta;
        }
    }
    return std::nullopt;
}

// The entry of a resource directory at `dir` (offset into the file) whose id
// is `id`, or its first entry when id is empty. Returns the entry's target
// field (high bit: a subdirectory).
std::optional<std::uint32_t> DirectoryEntry(Image& img, std::uint64_t dir,
                                            std::optional<std::uint32_t> id) {
    auto named = img.U16(dir + 12);
    auto ids = img.U16(dir + 14);
    if (!named || !ids) return std::nullopt;
    std::uint32_t count = static_cast<std::uint32_t>(*named) + *ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto name = img.U32(dir + 16 + 8ULL * i);
        auto target = img.U32(dir + 20 + 8ULL * i);
        if (!name || !target) return std::nullopt;
        if (!id || ((*name & 0x80000000U) == 0 && *name == *id)) return target;
    }
    return std::nullopt;
}

std::uint64_t ReadVersion(const std::string& path) {
    Image img(path);
    auto mz = img.U16(0);
    if (!mz || *mz != 0x5A4D) return 0;
    auto peOffset = img.U32(0x3C);
    auto signature = peOffset ? img.U32(*peOffset) : std::nullopt;
    if (!signature || *signature != 0x00004550) return 0;
    std::uint64_t coff = *peOffset + 4ULL;
    auto sectionCount = img.U16(coff + 2);
    auto optionalSize = img.U16(coff + 16);
    std::uint64_t opt = coff + 20;
    auto magic = img.U16(opt);
    if (!sectionCount || !optionalSize || !magic) return 0;
    std::uint64_t dirsAt;
    std::uint64_t countAt;
    if (*magic == 0x10B) {
        countAt = opt + 92;
        dirsAt = opt + 96;
    } else if (*magic == 0x20B) {
        countAt = opt + 108;
        dirsAt = opt + 112;
    } else {
        return 0;
    }
    auto dirCount = img.U32(countAt);
    if (!dirCount || *dirCount <= 2 || dirsAt + 24 > opt + *optionalSize) return 0;
    auto resourceRva = img.U32(dirsAt + 16);
    if (!resourceRva || *resourceRva == 0) return 0;

    std::vector<Section> sections;
    std::uint64_t table = opt + *optionalSize;
    for (std::uint32_t i = 0; i < *sectionCount; ++i) {
        std::uint64_t at = table + 40ULL * i;
        auto vsize = img.U32(at + 8);
        auto va = img.U32(at + 12);
        auto rsize = img.U32(at + 16);
        auto rptr = img.U32(at + 20);
        if (!vsize || !va || !rsize || !rptr) return 0;
        sections.push_back({*va, *vsize, *rsize, *rptr});
    }
    auto root = RvaToOffset(sections, *resourceRva);
    if (!root) return 0;
    // type -> name -> language -> data entry; offsets are from the root.
    auto typeEntry = DirectoryEntry(img, *root, kRtVersion);
    if (!typeEntry || (*typeEntry & 0x80000000U) == 0) return 0;
    auto nameEntry = DirectoryEntry(img, *root + (*typeEntry & 0x7FFFFFFFU), std::nullopt);
    if (!nameEntry || (*nameEntry & 0x80000000U) == 0) return 0;
    auto langEntry = DirectoryEntry(img, *root + (*nameEntry & 0x7FFFFFFFU), std::nullopt);
    if (!langEntry || (*langEntry & 0x80000000U) != 0) return 0;
    std::uint64_t dataEntry = *root + *langEntry;
    auto dataRva = img.U32(dataEntry);
    auto dataSize = img.U32(dataEntry + 4);
    if (!dataRva || !dataSize || *dataSize > kMaxVersionBlock) return 0;
    auto data = RvaToOffset(sections, *dataRva);
    if (!data) return 0;
    std::vector<std::uint8_t> block(*dataSize);
    if (!img.Read(*data, block.data(), block.size())) return 0;

    // VS_VERSIONINFO: length, value length, type, L"VS_VERSION_INFO", padding
    // to 32 bits, then VS_FIXEDFILEINFO.
    static const char16_t kKey[] = u"VS_VERSION_INFO";
    constexpr std::size_t kKeyBytes = sizeof kKey;  // with its zero
    constexpr std::size_t kFixedAt = (6 + kKeyBytes + 3) & ~std::size_t{3};
    if (block.size() < kFixedAt + 52) return 0;
    std::uint16_t valueLength = static_cast<std::uint16_t>(block[2] | block[3] << 8);
    for (std::size_t i = 0; i < kKeyBytes / 2; ++i) {
        auto c = static_cast<char16_t>(block[6 + 2 * i] | block[7 + 2 * i] << 8);
        if (c != kKey[i]) return 0;
    }
    if (valueLength < 52) return 0;
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(block[at]) |
               static_cast<std::uint32_t>(block[at + 1]) << 8 |
               static_cast<std::uint32_t>(block[at + 2]) << 16 |
               static_cast<std::uint32_t>(block[at + 3]) << 24;
    };
    if (u32(kFixedAt) != kFixedSignature) return 0;
    return static_cast<std::uint64_t>(u32(kFixedAt + 8)) << 32 | u32(kFixedAt + 12);
}

}  // namespace

std::uint64_t GetFileVersion(const std::wstring& path) { return ReadVersion(WideToUtf8(path)); }

}  // namespace zub::platform
