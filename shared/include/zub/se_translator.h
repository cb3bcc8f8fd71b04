// Processor faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, stack overflow) on a
// thread that installed the translator are thrown as ZUBBASE::QV_Exception
// from the faulting instruction. Code that may fault must be compiled with
// -fnon-call-exceptions so the exception can unwind through it.
// Threads that did not install it keep the default behaviour: the fault goes
// to the handler that was installed before ours, or kills the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZUBBASE {

// Windows exception codes the signals map to.
inline constexpr std::uint32_t kSeAccessViolation = 0xC0000005u;
inline constexpr std::uint32_t kSeInPageError = 0xC0000006u;
inline constexpr std::uint32_t kSeIllegalInstruction = 0xC000001Du;
inline constexpr std::uint32_t kSeArrayBoundsExceeded = 0xC000008Cu;
inline constexpr std::uint32_t kSeFltDivideByZero = 0xC000008Eu;
inline constexpr std::uint32_t kSeFltInexactResult = 0xC000008Fu;
inline constexpr std::uint32_t kSeFltInvalidOperation = 0xC0000090u;
inline constexpr std::uint32_t kSeFltOverflow = 0xC0000091u;
inline constexpr std::uint32_t kSeFltUnderflow = 0xC0000093u;
inline constexpr std::uint32_t kSeIntDivideByZero = 0xC0000094u;
inline constexpr std::uint32_t kSeIntOverflow = 0xC0000095u;
inline constexpr std::uint32_t kSePrivInstruction = 0xC0000096u;
inline constexpr std::uint32_t kSeStackOverflow = 0xC00000FDu;
inline constexpr std::uint32_t kSeDatatypeMisalignment = 0x80000002u;
inline constexpr std::uint32_t kSeBreakpoint = 0x80000003u;
inline constexpr std::uint32_t kSeSingleStep = 0x80000004u;
// What SeCodeForSignal gives for a signal that is no processor fault; it has
// no name of its own.
inline constexpr std::uint32_t kSeUnknownSignal = 0xE0000000u;

// Characters, terminator included, the exception text is cut to.
inline constexpr std::size_t kSeMessageBufferSize = 600;

// Installs the translator on the calling thread; it stays installed until the
// thread ends. Cheap to call again (every operation does); a call also puts the
// process-wide handlers back if someone replaced them.
// Throws std::system_error when the thread's signal stack cannot be set up.
void InstallSeTranslator();
bool SeTranslatorInstalled();

// The Windows exception code a signal maps to (0xC0000005 for SIGSEGV, ...).
// Stack overflow cannot be told from the signal alone; the translator
// detects it from the fault and stack addresses.
std::uint32_t SeCodeForSignal(int signo, int siCode);
// The name for a Windows exception code, "unspecified Structed exception." when unknown.
const wchar_t* SeNameForCode(std::uint32_t code);
// The exception text: name, "\n address:\t0x%08llx code:\t\t%lu", cut to 600
// characters. The address is the faulting instruction's; it prints as "0x" and
// at least eight lower-case hex digits (all digits of a 64-bit address).
std::wstring SeMessage(std::uint32_t code, std::uintptr_t address);

}  // namespace ZUBBASE
