#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <string>

#include "zub/se_translator.h"

namespace {

using ZUBBASE::SeCodeForSignal;
using ZUBBASE::SeMessage;
using ZUBBASE::SeNameForCode;

TEST(SeNames, EveryKnownCode) {
    const struct {
        std::uint32_t code;
        const wchar_t* name;
    } expected[] = {
        {0xC0000005u, L"EXCEPTION_ACCESS_VIOLATION"},
        {0xC0000006u, L"EXCEPTION_IN_PAGE_ERROR"},
        {0xC0000008u, L"EXCEPTION_INVALID_HANDLE"},
        {0xC000001Du, L"EXCEPTION_ILLEGAL_INSTRUCTION"},
        {0xC0000025u, L"EXCEPTION_NONCONTINUABLE_EXCEPTION"},
        {0xC0000026u, L"EXCEPTION_INVALID_DISPOSITION"},
        {0xC000008Cu, L"EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
        {0xC000008Du, L"EXCEPTION_FLT_DENORMAL_OPERAND"},
        {0xC000008Eu, L"EXCEPTION_FLT_DIVIDE_BY_ZERO"},
        {0xC000008Fu, L"EXCEPTION_FLT_INEXACT_RESULT"},
        {0xC0000090u, L"EXCEPTION_FLT_INVALID_OPERATION"},
        {0xC0000091u, L"EXCEPTION_FLT_OVERFLOW"},
        {0xC0000092u, L"EXCEPTION_FLT_STACK_CHECK"},
        {0xC0000093u, L"EXCEPTION_FLT_UNDERFLOW"},
        {0xC0000094u, L"EXCEPTION_INT_DIVIDE_BY_ZERO"},
        {0xC0000095u, L"EXCEPTION_INT_OVERFLOW"},
        {0xC0000096u, L"EXCEPTION_PRIV_INSTRUCTION"},
        {0xC00000FDu, L"EXCEPTION_STACK_OVERFLOW"},
        {0x80000001u, L"EXCEPTION_GUARD_PAGE"},
        {0x80000002u, L"EXCEPTION_DATATYPE_MISALIGNMENT"},
        {0x80000003u, L"EXCEPTION_BREAKPOINT"},
        {0x80000004u, L"EXCEPTION_SINGLE_STEP"},
        {0u, L"EXCEPTION_CONTINUE_SEARCH"},
        {1u, L"EXCEPTION_EXECUTE_HANDLER"},
        {15u, L"EXCEPTION_MAXIMUM_PARAMETERS"},
        {0xFFFFFFFFu, L"EXCEPTION_CONTINUE_EXECUTION"},
    };
    for (const auto& entry : expected) {
        EXPECT_STREQ(SeNameForCode(entry.code), entry.name) << std::hex << entry.code;
    }
}

TEST(SeNames, UnknownCodes) {
    for (std::uint32_t code : {2u, 14u, 16u, 0xC0000007u, 0xC00000FEu, 0x80000005u, 0xFFFFFFFEu,
                               0xE06D7363u, ZUBBASE::kSeUnknownSignal}) {
        EXPECT_STREQ(SeNameForCode(code), L"unspecified Structed exception.") << std::hex << code;
    }
}

TEST(SeCodes, SegmentationFaults) {
    EXPECT_EQ(SeCodeForSignal(SIGSEGV, SEGV_MAPERR), 0xC0000005u);
    EXPECT_EQ(SeCodeForSignal(SIGSEGV, SEGV_ACCERR), 0xC0000005u);
    EXPECT_EQ(SeCodeForSignal(SIGSEGV, SI_KERNEL), 0xC0000005u);
    EXPECT_EQ(SeCodeForSignal(SIGSEGV, SEGV_BNDERR), 0xC000008Cu);
}

TEST(SeCodes, BusErrors) {
    EXPECT_EQ(SeCodeForSignal(SIGBUS, BUS_ADRALN), 0x80000002u);
    EXPECT_EQ(SeCodeForSignal(SIGBUS, BUS_ADRERR), 0xC0000006u);
    EXPECT_EQ(SeCodeForSignal(SIGBUS, BUS_OBJERR), 0xC0000006u);
    EXPECT_EQ(SeCodeForSignal(SIGBUS, BUS_MCEERR_AR), 0xC0000006u);
}

TEST(SeCodes, ArithmeticFaults) {
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_INTDIV), 0xC0000094u);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_INTOVF), 0xC0000095u);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTDIV), 0xC000008Eu);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTOVF), 0xC0000091u);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTUND), 0xC0000093u);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTRES), 0xC000008Fu);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTINV), 0xC0000090u);
    EXPECT_EQ(SeCodeForSignal(SIGFPE, FPE_FLTSUB), 0xC000008Cu);
}

TEST(SeCodes, IllegalInstructionsAndTraps) {
    EXPECT_EQ(SeCodeForSignal(SIGILL, ILL_PRVOPC), 0xC0000096u);
    EXPECT_EQ(SeCodeForSignal(SIGILL, ILL_PRVREG), 0xC0000096u);
    EXPECT_EQ(SeCodeForSignal(SIGILL, ILL_ILLOPC), 0xC000001Du);
    EXPECT_EQ(SeCodeForSignal(SIGILL, ILL_ILLOPN), 0xC000001Du);
    EXPECT_EQ(SeCodeForSignal(SIGILL, ILL_BADSTK), 0xC000001Du);
    EXPECT_EQ(SeCodeForSignal(SIGTRAP, TRAP_BRKPT), 0x80000003u);
    EXPECT_EQ(SeCodeForSignal(SIGTRAP, TRAP_TRACE), 0x80000004u);
    EXPECT_STREQ(SeNameForCode(SeCodeForSignal(SIGUSR1, SI_USER)),
                 L"unspecified Structed exception.");
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
    EXPECT_EQ(SeMessage(0u, 1u), L"EXCEPTION_CONTINUE_SEARCH\n address:\t0x00000001 code:\t\t0");
    EXPECT_EQ(SeMessage(0x1234u, 0xABCDEFu),
              L"unspecified Structed exception.\n address:\t0x00abcdef code:\t\t4660");
}

TEST(SeMessages, WideAddressesKeepEveryDigit) {
    if (sizeof(std::uintptr_t) < 8) GTEST_SKIP() << "32-bit addresses only";
    EXPECT_EQ(SeMessage(0xC0000005u, static_cast<std::uintptr_t>(0x7ffd1234abcdull)),
              L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x7ffd1234abcd code:\t\t3221225477");
    EXPECT_EQ(SeMessage(0xC0000005u, static_cast<std::uintptr_t>(0x100000000ull)),
              L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x100000000 code:\t\t3221225477");
}

}  // namespace
