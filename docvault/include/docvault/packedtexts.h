// A fixed number of texts of one object kept in one block.
//
// An object listed by the hundred thousand then costs one allocation for all
// its texts instead of one per text. The block holds one byte per character
// while every character is below U+0100 and four bytes per character
// otherwise, so Latin names take a quarter of their wide size and every
// wchar_t value, valid or not, comes back as it was set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace DRM {

template <std::size_t N>
class PackedTexts {
public:
    PackedTexts() = default;
    // The N texts in order.
    explicit PackedTexts(const std::array<std::wstring_view, N>& texts) {
        std::size_t total = 0;
        for (std::wstring_view t : texts) {
            total += t.size();
            wide_ = wide_ || !FitsAByte(t);
        }
        CheckLength(total);
        bytes_.reserve(total * Unit());
        std::size_t end = 0;
        for (std::size_t i = 0; i < N; ++i) {
            AppendEncoded(bytes_, texts[i]);
            end += texts[i].size();
            ends_[i] = static_cast<std::uint32_t>(end);
        }
    }

    std::wstring Get(std::size_t i) const {
        const std::size_t begin = Begin(i), length = ends_[i] - begin;
        std::wstring out(length, L'\0');
        if (wide_) {
            std::memcpy(out.data(), bytes_.data() + begin * sizeof(wchar_t),
                        length * sizeof(wchar_t));
        } else {
            for (std::size_t k = 0; k < length; ++k)
                out[k] = static_cast<wchar_t>(static_cast<unsigned char>(bytes_[begin + k]));
        }
        return out;
    }

    bool Empty(std::size_t i) const { return Begin(i) == ends_[i]; }

    void Set(std::size_t i, std::wstring_view text) {
        if (!wide_ && !FitsAByte(text)) Widen();
        const std::size_t begin = Begin(i), end = ends_[i];
        CheckLength(ends_[N - 1] - (end - begin) + text.size());
        std::string next;
        next.reserve(bytes_.size() + text.size() * Unit() - (end - begin) * Unit());
        next.append(bytes_, 0, begin * Unit());
        AppendEncoded(next, text);
        next.append(bytes_, end * Unit(), std::string::npos);
        bytes_ = std::move(next);
        for (std::size_t k = i; k < N; ++k)
            ends_[k] = static_cast<std::uint32_t>(ends_[k] - (end - begin) + text.size());
    }

private:
    static bool FitsAByte(std::wstring_view t) {
        for (wchar_t c : t)
            if (static_cast<std::uint32_t>(c) > 0xFF) return false;
        return true;
    }
    static void CheckLength(std::size_t characters) {
        if (characters > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("the texts of one object are too long");
    }
    std::size_t Unit() const { return wide_ ? sizeof(wchar_t) : 1; }
    std::size_t Begin(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }

    void AppendEncoded(std::string& out, std::wstring_view text) const {
        if (wide_) {
            out.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        } else {
            for (wchar_t c : text) out.push_back(static_cast<char>(static_cast<unsigned char>(c)));
        }
    }

    void Widen() {
        std::string wide;
        wide.reserve(bytes_.size() * sizeof(wchar_t));
        for (char c : bytes_) {
            const auto w = static_cast<wchar_t>(static_cast<unsigned char>(c));
            wide.append(reinterpret_cast<const char*>(&w), sizeof w);
        }
        bytes_ = std::move(wide);
        wide_ = true;
    }

    std::string bytes_;
    std::array<std::uint32_t, N> ends_{};
    bool wide_ = false;
};

}  // namespace DRM
