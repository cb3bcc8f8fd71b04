#include <signal.h>

#include <cstdint>
#include <string>

#include "zub/se_translator.h"
#include "zub/text.h"

namespace ZUBBASE {
namespace {

struct CodeName {
    std::uint32_t code;
    const wchar_t* name;
};

constexpr CodeName kNames[] = {
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

}  // namespace

std::uint32_t SeCodeForSignal(int signo, int siCode) {
    switch (signo) {
        case SIGSEGV:
            return siCode == SEGV_BNDERR ? kSeArrayBoundsExceeded : kSeAccessViolation;
        case SIGBUS:
            // A misaligned access is the processor's complaint; every other bus
            // error is a page that could not be brought in (mapped file cut short,
            // hardware memory error).
            return siCode == BUS_ADRALN ? kSeDatatypeMisalignment : kSeInPageError;
        case SIGFPE:
            switch (siCode) {
                case FPE_INTDIV:
                    return kSeIntDivideByZero;
                case FPE_INTOVF:
                    return kSeIntOverflow;
                case FPE_FLTDIV:
                    return kSeFltDivideByZero;
                case FPE_FLTOVF:
                    return kSeFltOverflow;
                case FPE_FLTUND:
                    return kSeFltUnderflow;
                case FPE_FLTRES:
                    return kSeFltInexactResult;
                case FPE_FLTSUB:
                    return kSeArrayBoundsExceeded;
                default:
                    return kSeFltInvalidOperation;  // FPE_FLTINV and anything newer
            }
        case SIGILL:
            return siCode == ILL_PRVOPC || siCode == ILL_PRVREG ? kSePrivInstruction
                                                                : kSeIllegalInstruction;
        case SIGTRAP:
            return siCode == TRAP_TRACE ? kSeSingleStep : kSeBreakpoint;
        default:
            return kSeUnknownSignal;
    }
}

const wchar_t* SeNameForCode(std::uint32_t code) {
    for (const CodeName& entry : kNames) {
        if (entry.code == code) return entry.name;
    }
    return L"unspecified Structed exception.";
}

std::wstring SeMessage(std::uint32_t code, std::uintptr_t address) {
    // "%#010x" of a 32-bit process: "0x" and at least eight hex digits, also
    // for 0, and every digit of a 64-bit address.
    return zub::FormatBounded(kSeMessageBufferSize, L"%ls\n address:\t0x%08llx code:\t\t%lu",
                              SeNameForCode(code), static_cast<unsigned long long>(address),
                              static_cast<unsigned long>(code));
}

}  // namespace ZUBBASE
