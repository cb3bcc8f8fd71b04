#include "zub/text.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "zubtest/tempdir.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace std::string_literals;

const std::wstring kMixed = L"A\u00e9\u4e2d\U0001F600\U0010FFFF\u07FF\u0800\uFFFD";
const std::string kMixedUtf8 =
    "A\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf\xdf\xbf\xe0\xa0\x80\xef\xbf\xbd";

// Makes `name` the calling thread's locale for the scope.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
        if (locale_ != nullptr) previous_ = uselocale(locale_);
    }
    ~ScopedLocale() {
        if (locale_ == nullptr) return;
        uselocale(previous_);
        freelocale(locale_);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool ok() const { return locale_ != nullptr; }

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
};

TEST(Utf8, RoundTripIncludingNonBmp) {
    EXPECT_EQ(zub::WideToUtf8(kMixed), kMixedUtf8);
    EXPECT_EQ(zub::Utf8ToWide(kMixedUtf8), kMixed);
    EXPECT_EQ(zub::WideToUtf8(L""), "");
    EXPECT_EQ(zub::Utf8ToWide(""), L"");
    // An embedded NUL is text like any other character.
    EXPECT_EQ(zub::Utf8ToWide("a\0b"s), L"a\0b"s);
    EXPECT_EQ(zub::WideToUtf8(L"a\0b"s), "a\0b"s);
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(zub::Utf8ToWide("a\x80z"), L"a\uFFFDz");                  // stray continuation byte
    EXPECT_EQ(zub::Utf8ToWide("\xff\xfe"), L"\uFFFD\uFFFD");            // never valid
    EXPECT_EQ(zub::Utf8ToWide("\xc0\xaf"), L"\uFFFD\uFFFD");            // overlong '/'
    EXPECT_EQ(zub::Utf8ToWide("\xe0\x80\x80"), L"\uFFFD\uFFFD\uFFFD");  // overlong NUL
    EXPECT_EQ(zub::Utf8ToWide("\xed\xa0\x80"), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(zub::Utf8ToWide("\xf4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    // A cut sequence is one replacement, and the byte that cut it survives.
    EXPECT_EQ(zub::Utf8ToWide("\xe4\xb8"
                              "A"),
              L"\uFFFDA");
    EXPECT_EQ(zub::Utf8ToWide("x\xf0\x9f\x98"), L"x\uFFFD");
    EXPECT_EQ(zub::Utf8ToWide("\xe4\xb8\xad\xe4"), L"\u4e2d\uFFFD");
}

TEST(Utf8, WideValuesWithoutUtf8Form) {
    const std::wstring bad{static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(zub::WideToUtf8(bad), "\xef\xbf\xbdx\xef\xbf\xbd");
}

TEST(Utf16, SurrogatePairs) {
    EXPECT_EQ(zub::WideToUtf16(L"\U0001F600"), u"\xD83D\xDE00");
    EXPECT_EQ(zub::WideToUtf16(L"\U00010000\U0010FFFF"), u"\xD800\xDC00\xDBFF\xDFFF");
    EXPECT_EQ(zub::Utf16ToWide(u"\xD83D\xDE00"), L"\U0001F600");
    EXPECT_EQ(zub::Utf16ToWide(zub::WideToUtf16(kMixed)), kMixed);
    EXPECT_EQ(zub::WideToUtf16(L"\u4e2d\u6587"), u"\u4e2d\u6587");
}

TEST(Utf16, LoneSurrogatesRoundTrip) {
    const std::u16string lone =
        u"a\xD83D"
        u"b\xDE00\xDE00\xD83D";
    const std::wstring wide = zub::Utf16ToWide(lone);
    ASSERT_EQ(wide.size(), 6u);
    EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xD83Du);
    EXPECT_EQ(static_cast<unsigned>(wide[5]), 0xD83Du);
    EXPECT_EQ(zub::WideToUtf16(wide), lone);
    // Not UTF-16 at all.
    EXPECT_EQ(zub::WideToUtf16(std::wstring(1, static_cast<wchar_t>(0x110000))), u"\xFFFD");
}

TEST(Narrow, Utf8LocaleRoundTripAndBadBytes) {
    ScopedLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.ok());
    EXPECT_EQ(zub::WideToNarrow(kMixed), kMixedUtf8);
    EXPECT_EQ(zub::NarrowToWide(kMixedUtf8), kMixed);
    EXPECT_EQ(zub::NarrowToWide("ok\xff\xc3"), L"ok\uFFFD\uFFFD");
    EXPECT_EQ(zub::NarrowToWide("a\0b"s), L"a\0b"s);
}

TEST(Narrow, PlainCLocaleIsTakenAsUtf8) {
    ScopedLocale locale("C");
    ASSERT_TRUE(locale.ok());
    EXPECT_EQ(zub::NarrowToWide("\xe6\x96\x87\xe4\xbb\xb6"), L"\u6587\u4ef6");
    EXPECT_EQ(zub::WideToNarrow(L"\u6587\u4ef6"), "\xe6\x96\x87\xe4\xbb\xb6");
    EXPECT_EQ(zub::NarrowToWide("\x80"), L"\uFFFD");
}

// A single-byte locale is compiled into a temporary directory; machines
// without the locale sources skip this.
class NarrowLatin1 : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/share/i18n/charmaps/ISO-8859-1.gz") ||
            !std::filesystem::exists("/usr/share/i18n/locales/en_US")) {
            GTEST_SKIP() << "no locale sources to build a Latin-1 locale from";
        }
        dir_ = std::make_unique<zub::testsupport::TempDir>("zub-text");
        const std::string target = dir_->str() + "/en_US.ISO-8859-1";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execlp("localedef", "localedef", "--no-archive", "-i", "en_US", "-f", "ISO-8859-1",
                   target.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        // localedef warns with exit code 1 and still writes the locale.
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) GTEST_SKIP() << "localedef failed";
        setenv("LOCPATH", dir_->str().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("LOCPATH");
        dir_.reset();
    }

    std::unique_ptr<zub::testsupport::TempDir> dir_;
};

TEST_F(NarrowLatin1, ConvertsThroughTheLocaleEncoding) {
#if defined(__SANITIZE_ADDRESS__)
    // The C library keeps a locale loaded through LOCPATH for the process's life.
    __lsan_disable();
#endif
    ScopedLocale locale("en_US.ISO-8859-1");
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    if (!locale.ok()) GTEST_SKIP() << "built locale could not be loaded";
    EXPECT_EQ(zub::NarrowToWide("\xe9t\xe9"), L"\u00e9t\u00e9");
    EXPECT_EQ(zub::WideToNarrow(L"\u00e9t\u00e9"), "\xe9t\xe9");
    // Latin-1 has no U+FFFD either: an unrepresentable character becomes '?'.
    EXPECT_EQ(zub::WideToNarrow(L"a\u4e2db"), "a?b");
    EXPECT_EQ(zub::WideToNarrow(L"a\0b"s), "a\0b"s);
}

TEST(FormatBounded, FormatsLikePrintf) {
    EXPECT_EQ(zub::FormatBounded(100, L"%d-%ls-%05.1f", 42, L"\u4e2d\U0001F600", 2.25),
              L"42-\u4e2d\U0001F600-002.2");
    EXPECT_EQ(zub::FormatBounded(100, L"%i \u672a\u5b9a\u4e49", -7), L"-7 \u672a\u5b9a\u4e49");
    EXPECT_EQ(zub::FormatBounded(100, L"100%%"), L"100%");
}

TEST(FormatBounded, CutsToTheBufferSize) {
    // Exactly fits: four characters and the terminator.
    EXPECT_EQ(zub::FormatBounded(5, L"%ls", L"abcd"), L"abcd");
    EXPECT_EQ(zub::FormatBounded(5, L"%ls", L"abcde"), L"abcd");
    EXPECT_EQ(zub::FormatBounded(10, L"%d:%ls:%d", 12345, L"abcdef", 99), L"12345:abc");
    EXPECT_EQ(zub::FormatBounded(1, L"%d", 5), L"");
    EXPECT_EQ(zub::FormatBounded(0, L"%d", 5), L"");
}

TEST(FormatBounded, CutTextIsTheRealPrefix) {
    std::wstring longText;
    for (int i = 0; i < 400; ++i) longText += std::to_wstring(i) + L",";
    const std::wstring expected = (L"<" + longText + L">").substr(0, 599);
    EXPECT_EQ(zub::FormatBounded(600, L"<%ls>", longText.c_str()), expected);
    EXPECT_EQ(zub::FormatBounded(4096, L"<%ls>", longText.c_str()), L"<" + longText + L">");
}

TEST(FormatBounded, UndecodableNarrowArgumentEndsTheText) {
    ScopedLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.ok());
    EXPECT_EQ(zub::FormatBounded(50, L"a%sb", "\xe6\x96\x87"), L"a\u6587b");
    EXPECT_EQ(zub::FormatBounded(50, L"a%sb%d", "x\xff", 5), L"a");
}

}  // namespace
