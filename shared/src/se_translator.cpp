#include "zub/se_translator.h"

#include <pthread.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "altsignalstack.h"
#include "zub/qv_exception.h"

namespace ZUBBASE {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// Room for the handler, the exception text and the unwinder's own frames.
constexpr std::size_t kAltStackSize = 256 * 1024;
// A fault this close to the stack pointer is the stack running out.
constexpr std::uintptr_t kNearStackPointer = 64 * 1024;
// The kernel keeps this gap below a growing stack (stack_guard_gap).
constexpr std::uintptr_t kMinGuardWindow = 1024 * 1024;

// Handlers in place before ours; faults that are not ours to translate go there.
struct sigaction gPrevious[NSIG];
std::mutex gInstallMutex;

// Read by the handler: plain types only.
thread_local bool tInstalled = false;
thread_local bool tInHandler = false;
thread_local bool tPassingOn = false;
thread_local std::uintptr_t tStackLow = 0;
thread_local std::uintptr_t tGuardWindow = 0;

thread_local std::optional<AltSignalStack> tAltStack;

void OnFault(int signo, siginfo_t* info, void* context);

bool IsOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == &OnFault;
}

void EnsureProcessHandlers() {
    for (int signo : kSignals) {
        struct sigaction current {};
        if (sigaction(signo, nullptr, &current) == 0 && IsOurs(current)) continue;
        const std::lock_guard<std::mutex> lock(gInstallMutex);
        if (sigaction(signo, nullptr, &current) != 0 || IsOurs(current)) continue;
        gPrevious[signo] = current;
        struct sigaction ours {};
        ours.sa_sigaction = &OnFault;
        // SA_NODEFER: the handler is left by a throw, never by sigreturn, so
        // the signal must not stay blocked for the next fault.
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&ours.sa_mask);
        if (sigaction(signo, &ours, nullptr) != 0) {
            throw std::system_error(errno, std::generic_category(), "sigaction");
        }
    }
}

void ReadStackBounds() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
    void* address = nullptr;
    std::size_t size = 0;
    std::size_t guard = 0;
    if (pthread_attr_getstack(&attr, &address, &size) == 0) {
        tStackLow = reinterpret_cast<std::uintptr_t>(address);
    }
    pthread_attr_getguardsize(&attr, &guard);
    pthread_attr_destroy(&attr);
    tGuardWindow = guard > kMinGuardWindow ? guard : kMinGuardWindow;
}

std::uintptr_t ProgramCounter(const ucontext_t* uc, const siginfo_t* info) {
#if defined(__x86_64__)
    (void)info;
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    (void)info;
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    (void)info;
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return reinterpret_cast<std::uintptr_t>(info->si_addr);
#endif
}

std::uintptr_t StackPointer(const ucontext_t* uc) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#else
    (void)uc;
    return 0;
#endif
}

bool IsStackOverflow(std::uintptr_t faultAddress, std::uintptr_t sp) {
    if (sp != 0) {
        const std::uintptr_t distance = faultAddress > sp ? faultAddress - sp : sp - faultAddress;
        if (distance <= kNearStackPointer) return true;
    }
    // A frame larger than the window above can jump past the stack pointer
    // check; it still lands in the guard area at the stack's low end.
    return tStackLow != 0 && faultAddress + tGuardWindow >= tStackLow &&
           faultAddress < tStackLow + tGuardWindow;
}

// The kernel gives a handler a clean floating-point environment and sigreturn
// would put the thread's one back; a throw skips sigreturn, so the thread's
// rounding mode and exception masks are restored here (with the raised flags
// cleared, as the fault has been dealt with).
void RestoreFloatingPointControl(const ucontext_t* uc) {
#if defined(__x86_64__)
    if (uc->uc_mcontext.fpregs == nullptr) return;
    const unsigned mxcsr = uc->uc_mcontext.fpregs->mxcsr & ~0x3Fu;
    const unsigned short cw = uc->uc_mcontext.fpregs->cwd;
    __builtin_ia32_ldmxcsr(mxcsr);
    asm volatile("fnclex\n\tfldcw %0" : : "m"(cw));
#else
    (void)uc;
#endif
}

// Not ours to translate: the handler that was there before gets it, or the
// default action ends the process.
void PassOn(int signo, siginfo_t* info, void* context, bool fault) {
    const struct sigaction previous = gPrevious[signo];
    const bool isFunction = (previous.sa_flags & SA_SIGINFO) != 0
                                ? previous.sa_sigaction != nullptr
                                : previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN;
    // A previous handler that hands the signal back to us must not loop.
    if (isFunction && !tPassingOn) {
        tPassingOn = true;
        if ((previous.sa_flags & SA_SIGINFO) != 0) {
            previous.sa_sigaction(signo, info, context);
        } else {
            previous.sa_handler(signo);
        }
        tPassingOn = false;
        return;
    }
    if (!fault && (previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) return;

    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signo, &byDefault, nullptr);
    // A fault recurs when the instruction restarts; a sent signal is sent again.
    if (!fault) raise(signo);
}

void OnFault(int signo, siginfo_t* info, void* context) {
    auto* uc = static_cast<ucontext_t*>(context);
    // si_code > 0: raised by the processor, not sent by kill/raise/sigqueue,
    // which may arrive at any instruction and cannot be thrown from.
    const bool fault = info != nullptr && info->si_code > 0;
    if (!fault || uc == nullptr || !tInstalled || tInHandler) {
        PassOn(signo, info, context, fault);
        return;
    }
    tInHandler = true;

    std::uint32_t code = SeCodeForSignal(signo, info->si_code);
    if (signo == SIGSEGV &&
        IsStackOverflow(reinterpret_cast<std::uintptr_t>(info->si_addr), StackPointer(uc))) {
        code = kSeStackOverflow;
    }
    const std::uintptr_t address = ProgramCounter(uc, info);

    // What sigreturn would restore besides the registers.
    RestoreFloatingPointControl(uc);
    pthread_sigmask(SIG_SETMASK, &uc->uc_sigmask, nullptr);

    std::wstring message;
    try {
        message = SeMessage(code, address);
    } catch (...) {
        tInHandler = false;
        throw;
    }
    tInHandler = false;
    // Unwinds from the handler's frame on the signal stack through the
    // kernel's signal frame into the faulting frame on the thread's stack.
    throw QV_Exception(std::move(message), std::wstring(), std::wstring(), 0);
}

}  // namespace

void InstallSeTranslator() {
    EnsureProcessHandlers();
    if (tInstalled) return;
    tAltStack.emplace(kAltStackSize);
    ReadStackBounds();
    tInstalled = true;
}

bool SeTranslatorInstalled() { return tInstalled; }

}  // namespace ZUBBASE
