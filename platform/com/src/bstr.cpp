#include <zub/com/automation.h>

#include <zub/text.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The count sits in the last 4 bytes of an 8-byte header so the characters
// stay 8-byte aligned.
constexpr std::size_t kHeader = 8;
constexpr UINT kMaxChars = (std::numeric_limits<std::uint32_t>::max() - kHeader - 2) / 2;

std::uint32_t* CountOf(BSTR b) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(b) - sizeof(std::uint32_t));
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
    if (cch > kMaxChars) return nullptr;
    std::size_t bytes = std::size_t{cch} * sizeof(OLECHAR);
    auto* block = static_cast<char*>(std::malloc(kHeader + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    auto* text = reinterpret_cast<BSTR>(block + kHeader);
    *CountOf(text) = static_cast<std::uint32_t>(bytes);
    if (pch)
        std::memcpy(text, pch, bytes);
    else
        std::memset(text, 0, bytes);
    text[cch] = 0;
    return text;
}

BSTR SysAllocString(LPCOLESTR psz) {
    if (!psz) return nullptr;
    std::size_t n = std::char_traits<char16_t>::length(psz);
    if (n > kMaxChars) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(n));
}

int SysReAllocStringLen(BSTR* pbstr, const OLECHAR* pch, UINT cch) {
    if (!pbstr) return 0;
    BSTR fresh = SysAllocStringLen(pch, cch);
    if (!fresh) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

UINT SysStringByteLen(BSTR bstr) { return bstr ? *CountOf(bstr) : 0; }
UINT SysStringLen(BSTR bstr) { return static_cast<UINT>(SysStringByteLen(bstr) / sizeof(OLECHAR)); }

void SysFreeString(BSTR bstr) {
    if (bstr) std::free(reinterpret_cast<char*>(bstr) - kHeader);
}

namespace zub::com {

BSTR MakeBstr(std::u16string_view text) {
    if (text.size() > kMaxChars) return nullptr;
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR MakeBstr(std::wstring_view text) { return MakeBstr(WideToUtf16(text)); }

std::u16string_view BstrView(BSTR b) {
    if (!b) return {};
    return {b, SysStringLen(b)};
}

std::wstring BstrToWide(BSTR b) { return Utf16ToWide(BstrView(b)); }

}  // namespace zub::com
