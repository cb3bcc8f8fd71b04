// Processor faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, stack overflow) on a
// thread that installed the translator are thrown as ZUBBASE::QV_Exception
// from the faulting instruction. Code that may fault must be compiled with
// -fnon-call-exceptions so the exception can unwind through it.
// Threads that did not install it keep the default behaviour (the process dies).
#pragma once

#include <cstdint>
#include <string>

namespace ZUBBASE {

// Installs the translator on the calling thread; it stays installed. Cheap to
// call again (every operation does).
void InstallSeTranslator();
bool SeTranslatorInstalled();

// The Windows exception code a signal maps to (0xC0000005 for SIGSEGV, ...).
std::uint32_t SeCodeForSignal(int signo, int siCode);
// The name for a Windows exception code, "unspecified Structed exception." when unknown.
const wchar_t* SeNameForCode(std::uint32_t code);
// The exception text: name, "\n address:\t%#010x code:\t\t%lu", cut to 600 characters.
std::wstring SeMessage(std::uint32_t code, std::uintptr_t address);

}  // namespace ZUBBASE
