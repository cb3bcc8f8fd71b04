// The codes and names are checked against faults the processor really raises,
// so a wrong row in the translator's table cannot be copied into the test.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfenv>
#include <cfloat>
#include <cstdint>
#include <string>
#include <thread>

#include "zub/qv_exception.h"
#include "zub/se_translator.h"

namespace {

using ZUBBASE::SeMessage;
using ZUBBASE::SeNameForCode;

#define ZUB_FAULTS __attribute__((noinline, no_sanitize("undefined")))

ZUB_FAULTS void WriteReadOnlyPage() {
    const long page = sysconf(_SC_PAGESIZE);
    void* mem = mmap(nullptr, static_cast<std::size_t>(page), PROT_READ,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return;
    struct Unmap {
        void* p;
        long n;
        ~Unmap() { munmap(p, static_cast<std::size_t>(n)); }
    } unmap{mem, page};
    *static_cast<volatile int*>(mem) = 1;
}

ZUB_FAULTS void FloatOverflow() {
    volatile double big = DBL_MAX;
    volatile double r = big * 4.0;
    (void)r;
}

ZUB_FAULTS void FloatUnderflow() {
    volatile double small = DBL_MIN;
    volatile double r = small * DBL_MIN;
    (void)r;
}

ZUB_FAULTS void FloatInvalid() {
    volatile double zero = 0.0;
    volatile double r = zero / zero;
    (void)r;
}

ZUB_FAULTS void FloatInexact() {
    volatile double one = 1.0;
    volatile double r = one / 3.0;
    (void)r;
}

ZUB_FAULTS void IntDivide() {
    volatile int zero = 0;
    volatile int r = 9 / zero;
    (void)r;
}

// The text a fault turns into, on a fresh thread with the translator and the
// given floating-point traps; empty when nothing was thrown.
std::wstring FaultText(void (*fault)(), int fpTraps) {
    std::wstring text;
    std::thread([&] {
        ZUBBASE::InstallSeTranslator();
        if (fpTraps) feenableexcept(fpTraps);
        try {
            fault();
        } catch (const ZUBBASE::QV_Exception& e) {
            text = e.Message();
        }
        fedisableexcept(FE_ALL_EXCEPT);
        std::feclearexcept(FE_ALL_EXCEPT);
    }).join();
    return text;
}

TEST(SeCodes, FaultsCarryTheirWindowsNameAndCode) {
    const struct {
        const char* what;
        void (*fault)();
        int traps;
        const wchar_t* name;
        const wchar_t* code;
    } cases[] = {
        {"write to a read-only page", WriteReadOnlyPage, 0, L"EXCEPTION_ACCESS_VIOLATION",
         L"3221225477"},
        {"integer division by zero", IntDivide, 0, L"EXCEPTION_INT_DIVIDE_BY_ZERO", L"3221225620"},
        {"floating-point overflow", FloatOverflow, FE_OVERFLOW, L"EXCEPTION_FLT_OVERFLOW",
         L"3221225617"},
        {"floating-point underflow", FloatUnderflow, FE_UNDERFLOW, L"EXCEPTION_FLT_UNDERFLOW",
         L"3221225619"},
        {"invalid floating-point operation", FloatInvalid, FE_INVALID,
         L"EXCEPTION_FLT_INVALID_OPERATION", L"3221225616"},
        {"inexact floating-point result", FloatInexact, FE_INEXACT, L"EXCEPTION_FLT_INEXACT_RESULT",
         L"3221225615"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring text = FaultText(c.fault, c.traps);
        EXPECT_EQ(text.rfind(std::wstring(c.name) + L"\n address:\t0x", 0), 0u) << text.c_str();
        EXPECT_NE(text.find(std::wstring(L" code:\t\t") + c.code), std::wstring::npos)
            << text.c_str();
    }
}

TEST(SeNames, CodesWithoutAFaultHaveTheirNames) {
    // The bookkeeping values of the name table cannot be raised by a fault.
    EXPECT_STREQ(SeNameForCode(0u), L"EXCEPTION_CONTINUE_SEARCH");
    EXPECT_STREQ(SeNameForCode(1u), L"EXCEPTION_EXECUTE_HANDLER");
    EXPECT_STREQ(SeNameForCode(15u), L"EXCEPTION_MAXIMUM_PARAMETERS");
    EXPECT_STREQ(SeNameForCode(0xFFFFFFFFu), L"EXCEPTION_CONTINUE_EXECUTION");
}

TEST(SeNames, UnknownCodes) {
    for (std::uint32_t code : {2u, 14u, 16u, 0xC0000007u, 0xC00000FEu, 0x80000005u, 0xFFFFFFFEu,
                               0xE06D7363u, ZUBBASE::kSeUnknownSignal}) {
        EXPECT_STREQ(SeNameForCode(code), L"unspecified Structed exception.") << std::hex << code;
    }
}

TEST(SeMessages, ExactTexts) {
    EXPECT_EQ(SeMessage(0xC0000005u, 0x00401a2fu),
              L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x00401a2f code:\t\t3221225477");
    EXPECT_EQ(SeMessage(0xC0000094u, 0x10u),
              L"EXCEPTION_INT_DIVIDE_BY_ZERO\n address:\t0x00000010 code:\t\t3221225620");
    // Zero keeps the prefix and the eight digits.
    EXPECT_EQ(SeMessage(0xC00000FDu, 0),
              L"EXCEPTION_STACK_OVERFLOW\n address:\t0x00000000 code:\t\t3221225725");
    EXPECT_EQ(SeMessage(0xFFFFFFFFu, 0xFFFFFFFFu),
              L"EXCEPTION_CONTINUE_EXECUTION\n address:\t0xffffffff code:\t\t4294967295");
    EXPECT_EQ(SeMessage(0x1234u, 0xABCDEFu),
              L"unspecified Structed exception.\n address:\t0x00abcdef code:\t\t4660");
}

TEST(SeMessages, WideAddressesKeepEveryDigit) {
    if (sizeof(std::uintptr_t) < 8) GTEST_SKIP() << "32-bit addresses only";
    EXPECT_EQ(SeMessage(0xC0000005u, static_cast<std::uintptr_t>(0x7ffd1234abcdull)),
              L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x7ffd1234abcd code:\t\t3221225477");
}

}  // namespace
