#include "docvault/packedtexts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Texts = DRM::PackedTexts<4>;
using Four = std::array<std::wstring, 4>;

Four Read(const Texts& t) { return {t.Get(0), t.Get(1), t.Get(2), t.Get(3)}; }

Texts Made(const Four& f) { return Texts({f[0], f[1], f[2], f[3]}); }

const std::wstring kNul(L"a\0b", 3);
const std::wstring kOdd = {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000),
                           static_cast<wchar_t>(-1)};

// Every text comes back as it was given, whichever width the block takes.
TEST(PackedTexts, GivesBackEveryTextAsItWasGiven) {
    const std::vector<Four> cases = {
        {L"", L"", L"", L""},
        {L"part1", L"prt", L"1.0", L"system"},
        // Characters 0x80-0xFF fit a byte and must not come back sign-extended.
        {L"caf\u00e9", L"\u00ff", L"", L"\u0080x"},
        {L"\u96f6\u4ef6", L"prt", L"\u00e9", L"folder"},
        {kNul, L"", kOdd, L"z"},
    };
    for (const Four& c : cases) {
        const Texts t = Made(c);
        EXPECT_EQ(Read(t), c);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(t.Empty(i), c[i].empty());
        EXPECT_EQ(Read(Texts(t)), c);
    }
    EXPECT_EQ(Read(Texts()), (Four{L"", L"", L"", L""}));
}

// A text set anew changes that text only, growing, shrinking or widening the
// block.
TEST(PackedTexts, SettingOneTextLeavesTheOthers) {
    struct Case {
        const char* what;
        Four start;
        std::size_t at;
        std::wstring text;
    };
    const Case cases[] = {
        {"longer, in the middle", {L"a", L"bb", L"c", L"d\u00e9"}, 1, L"bbbbbbbb"},
        {"shorter, first", {L"aaaa", L"b", L"c", L"d"}, 0, L""},
        {"last", {L"a", L"b", L"c", L"d"}, 3, L"dddd"},
        {"widening Latin texts", {L"caf\u00e9", L"b", L"\u00ff", L""}, 1, L"\u96f6"},
        {"narrow text into a wide block", {L"\u96f6", L"b", L"c", L"d"}, 2, L"\u00e9\u00e9"},
        {"odd values", {L"a", L"b", L"c", L"d"}, 2, kOdd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Texts t = Made(c.start);
        t.Set(c.at, c.text);
        Four expected = c.start;
        expected[c.at] = c.text;
        EXPECT_EQ(Read(t), expected);
        // A second change starts from the first one's result.
        t.Set(0, L"again");
        expected[0] = L"again";
        EXPECT_EQ(Read(t), expected);
    }
}

}  // namespace
