// Faults are provoked on purpose here; the faulting functions are kept out of
// the sanitizers' sight and called through volatile pointers so the compiler
// can neither fold nor drop them.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "zub/qv_exception.h"
#include "zub/se_translator.h"

namespace {

using ZUBBASE::QV_Exception;

#define ZUB_FAULTS __attribute__((noinline, no_sanitize("undefined")))

ZUB_FAULTS int NullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
    return 0;
}

ZUB_FAULTS int IntDivideByZero() {
    volatile int zero = 0;
    volatile int numerator = 7;
    return numerator / zero;
}

ZUB_FAULTS int FloatDivideByZero() {
    volatile double zero = 0.0;
    volatile double result = 1.0 / zero;
    return static_cast<int>(result > 0.0);
}

ZUB_FAULTS int IllegalInstruction() { __builtin_trap(); }

struct Counted {
    int* counter;
    ~Counted() { ++*counter; }
};

// The faulting frame's own locals are destroyed on the way out, and so are
// its caller's.
ZUB_FAULTS int NullWriteWithLocals(int* destroyed) {
    const Counted local{destroyed};
    volatile int* volatile target = nullptr;
    *target = 1;
    return *local.counter;
}

ZUB_FAULTS int CallsNullWriteWithLocals(int* destroyed) {
    const Counted local{destroyed};
    return NullWriteWithLocals(destroyed) + *local.counter;
}

// A fault inside the C library, which has unwind tables but no handlers.
ZUB_FAULTS int FaultInLibrary() {
    const char* volatile text = nullptr;
    return static_cast<int>(std::strlen(text));
}

volatile bool gStopRecursion = false;

ZUB_FAULTS int RecurseSmallFrames(int depth) {
    volatile char pad[4096];
    pad[0] = static_cast<char>(depth);
    if (gStopRecursion) return pad[0];
    return RecurseSmallFrames(depth + 1) + pad[0];
}

// Frames far bigger than the distance at which a fault counts as "near the
// stack pointer", touched from the top down a page at a time the way stack
// probes do: the fault lands in the guard page, far above the stack pointer.
ZUB_FAULTS int RecurseLargeFrames(int depth) {
    volatile char pad[512 * 1024];
    for (std::size_t at = sizeof(pad); at >= 4096; at -= 4096)
        pad[at - 1] = static_cast<char>(depth);
    pad[0] = static_cast<char>(depth);
    if (gStopRecursion) return pad[0];
    return RecurseLargeFrames(depth + 1) + pad[sizeof(pad) - 1];
}

__attribute__((noinline)) int RecurseBounded(int depth) {
    volatile char pad[4096];
    pad[depth % 4096] = 1;
    return depth == 0 ? 0 : RecurseBounded(depth - 1) + pad[depth % 4096];
}

int (*volatile gNullWrite)() = &NullWrite;
int (*volatile gIntDivideByZero)() = &IntDivideByZero;
int (*volatile gFloatDivideByZero)() = &FloatDivideByZero;
int (*volatile gIllegalInstruction)() = &IllegalInstruction;
int (*volatile gCallsNullWriteWithLocals)(int*) = &CallsNullWriteWithLocals;
int (*volatile gFaultInLibrary)() = &FaultInLibrary;
int (*volatile gRecurseSmallFrames)(int) = &RecurseSmallFrames;
int (*volatile gRecurseLargeFrames)(int) = &RecurseLargeFrames;
int (*volatile gRecurseBounded)(int) = &RecurseBounded;

struct Caught {
    bool thrown = false;
    std::wstring message;
    std::wstring raiseFile;
    std::wstring raiseFunction;
    int raiseLine = -1;
};

template <typename Fn>
Caught CatchFault(Fn fn) {
    Caught caught;
    try {
        fn();
    } catch (const QV_Exception& e) {
        caught.thrown = true;
        caught.message = e.Message();
        caught.raiseFile = e.RaiseFile();
        caught.raiseFunction = e.RaiseFunction();
        caught.raiseLine = e.RaiseLine();
    }
    return caught;
}

// The address in a translator text, checked to have the fixed layout.
std::uintptr_t AddressIn(const std::wstring& message) {
    const auto at = message.find(L"\n address:\t0x");
    if (at == std::wstring::npos) return 0;
    unsigned long long address = 0;
    if (std::swscanf(message.c_str() + at, L"\n address:\t0x%llx", &address) != 1) return 0;
    return static_cast<std::uintptr_t>(address);
}

void ExpectTranslated(const Caught& caught, const std::wstring& name, const std::wstring& code,
                      std::uintptr_t functionStart) {
    ASSERT_TRUE(caught.thrown);
    EXPECT_EQ(caught.message.rfind(name + L"\n address:\t0x", 0), 0u) << caught.message;
    const std::wstring tail = L" code:\t\t" + code;
    ASSERT_GE(caught.message.size(), tail.size());
    EXPECT_EQ(caught.message.substr(caught.message.size() - tail.size()), tail);
    // The address is the faulting instruction's, inside the faulting function.
    const std::uintptr_t address = AddressIn(caught.message);
    EXPECT_GE(address, functionStart) << caught.message;
    EXPECT_LT(address, functionStart + 4096) << caught.message;
    const std::uint32_t codeValue =
        static_cast<std::uint32_t>(std::wcstoul(code.c_str(), nullptr, 10));
    EXPECT_EQ(caught.message, ZUBBASE::SeMessage(codeValue, address));
    EXPECT_EQ(caught.raiseFile, L"");
    EXPECT_EQ(caught.raiseFunction, L"");
    EXPECT_EQ(caught.raiseLine, 0);
}

template <typename Fn>
std::uintptr_t AddressOf(Fn* fn) {
    return reinterpret_cast<std::uintptr_t>(fn);
}

// Runs `body` on a new thread with the given stack and guard sizes.
void RunOnThread(std::size_t stackSize, std::size_t guardSize, const std::function<void()>& body) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, stackSize), 0);
    ASSERT_EQ(pthread_attr_setguardsize(&attr, guardSize), 0);
    pthread_t thread;
    auto start = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    const int created =
        pthread_create(&thread, &attr, start, const_cast<std::function<void()>*>(&body));
    pthread_attr_destroy(&attr);
    ASSERT_EQ(created, 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

bool SignalBlocked(int signo) {
    sigset_t current;
    sigemptyset(&current);
    pthread_sigmask(SIG_SETMASK, nullptr, &current);
    return sigismember(&current, signo) == 1;
}

TEST(SeTranslator, InstallIsPerThread) {
    bool onNewThread = true;
    std::thread([&] { onNewThread = ZUBBASE::SeTranslatorInstalled(); }).join();
    EXPECT_FALSE(onNewThread);

    ZUBBASE::InstallSeTranslator();
    EXPECT_TRUE(ZUBBASE::SeTranslatorInstalled());
    ZUBBASE::InstallSeTranslator();
    EXPECT_TRUE(ZUBBASE::SeTranslatorInstalled());
}

TEST(SeTranslator, NullWriteAndDivideByZeroBecomeExceptionsAgainAndAgain) {
    ZUBBASE::InstallSeTranslator();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ExpectTranslated(CatchFault(gNullWrite), L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                         AddressOf(&NullWrite));
        EXPECT_FALSE(SignalBlocked(SIGSEGV));
        ExpectTranslated(CatchFault(gIntDivideByZero), L"EXCEPTION_INT_DIVIDE_BY_ZERO",
                         L"3221225620", AddressOf(&IntDivideByZero));
        EXPECT_FALSE(SignalBlocked(SIGFPE));
    }
    // The thread goes on as before.
    std::vector<int> values(1000, 3);
    int sum = 0;
    for (int v : values) sum += v;
    EXPECT_EQ(sum, 3000);
}

TEST(SeTranslator, FaultTextForTheCallerHasTheLineBreakAtTheEnd) {
    ZUBBASE::InstallSeTranslator();
    try {
        gNullWrite();
        FAIL() << "no exception";
    } catch (const QV_Exception& e) {
        const std::wstring full = e.FullText();
        ASSERT_FALSE(full.empty());
        EXPECT_EQ(full.back(), L'\n');
        EXPECT_EQ(full.substr(0, full.size() - 1), e.Message());
        EXPECT_NE(full.find(L" code:\t\t3221225477\n"), std::wstring::npos);
    }
}

TEST(SeTranslator, UnwindingDestroysLocalsOfTheFaultingFrames) {
    ZUBBASE::InstallSeTranslator();
    int destroyed = 0;
    const Caught caught =
        CatchFault([&destroyed] { return gCallsNullWriteWithLocals(&destroyed); });
    ExpectTranslated(caught, L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                     AddressOf(&NullWriteWithLocals));
    EXPECT_EQ(destroyed, 2);
}

TEST(SeTranslator, FaultInsideTheCLibrary) {
    ZUBBASE::InstallSeTranslator();
    for (int round = 0; round < 2; ++round) {
        const Caught caught = CatchFault(gFaultInLibrary);
        ASSERT_TRUE(caught.thrown);
        EXPECT_EQ(caught.message.rfind(L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x", 0), 0u);
        EXPECT_NE(caught.message.find(L" code:\t\t3221225477"), std::wstring::npos);
    }
}

TEST(SeTranslator, WorksOnEveryThreadThatInstalledIt) {
    std::vector<Caught> results(4);
    auto body = [](Caught* out) {
        ZUBBASE::InstallSeTranslator();
        out[0] = CatchFault(gNullWrite);
        out[1] = CatchFault(gIntDivideByZero);
        out[2] = CatchFault(gNullWrite);
        out[3] = CatchFault(gIllegalInstruction);
    };
    std::thread first(body, results.data());
    first.join();
    ExpectTranslated(results[0], L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                     AddressOf(&NullWrite));
    ExpectTranslated(results[1], L"EXCEPTION_INT_DIVIDE_BY_ZERO", L"3221225620",
                     AddressOf(&IntDivideByZero));
    ExpectTranslated(results[2], L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                     AddressOf(&NullWrite));
    ExpectTranslated(results[3], L"EXCEPTION_ILLEGAL_INSTRUCTION", L"3221225501",
                     AddressOf(&IllegalInstruction));

    // Two threads at once, each with its own signal stack.
    std::vector<Caught> a(4), b(4);
    std::thread ta(body, a.data());
    std::thread tb(body, b.data());
    ta.join();
    tb.join();
    for (const auto* r : {&a, &b}) {
        ExpectTranslated((*r)[0], L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                         AddressOf(&NullWrite));
        ExpectTranslated((*r)[1], L"EXCEPTION_INT_DIVIDE_BY_ZERO", L"3221225620",
                         AddressOf(&IntDivideByZero));
    }
}

TEST(SeTranslator, BusErrorOnAMappingPastTheFileEndIsAnInPageError) {
    ZUBBASE::InstallSeTranslator();
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const long page = sysconf(_SC_PAGESIZE);
    void* mapping =
        mmap(nullptr, static_cast<std::size_t>(page), PROT_READ, MAP_SHARED, fileno(file), 0);
    std::fclose(file);
    ASSERT_NE(mapping, MAP_FAILED);
    const Caught caught =
        CatchFault([mapping] { return *static_cast<volatile const char*>(mapping); });
    munmap(mapping, static_cast<std::size_t>(page));
    ASSERT_TRUE(caught.thrown);
    EXPECT_EQ(caught.message.rfind(L"EXCEPTION_IN_PAGE_ERROR\n address:\t0x", 0), 0u)
        << caught.message;
    EXPECT_NE(caught.message.find(L" code:\t\t3221225478"), std::wstring::npos) << caught.message;
}

TEST(SeTranslator, FloatingPointTrapKeepsTheThreadsFloatingPointSettings) {
    Caught first, second;
    int enabledAfter = 0;
    int roundingAfter = 0;
    int raisedAfter = -1;
    std::thread([&] {
        ZUBBASE::InstallSeTranslator();
        feenableexcept(FE_DIVBYZERO);
        std::fesetround(FE_DOWNWARD);
        first = CatchFault(gFloatDivideByZero);
        enabledAfter = fegetexcept();
        roundingAfter = std::fegetround();
        raisedAfter = std::fetestexcept(FE_ALL_EXCEPT);
        second = CatchFault(gFloatDivideByZero);
        fedisableexcept(FE_ALL_EXCEPT);
        std::fesetround(FE_TONEAREST);
    }).join();
    ExpectTranslated(first, L"EXCEPTION_FLT_DIVIDE_BY_ZERO", L"3221225614",
                     AddressOf(&FloatDivideByZero));
    ExpectTranslated(second, L"EXCEPTION_FLT_DIVIDE_BY_ZERO", L"3221225614",
                     AddressOf(&FloatDivideByZero));
    EXPECT_EQ(enabledAfter & FE_DIVBYZERO, FE_DIVBYZERO);
    EXPECT_EQ(roundingAfter, FE_DOWNWARD);
    EXPECT_EQ(raisedAfter, 0);
}

void ExpectStackOverflow(const Caught& caught) {
    ASSERT_TRUE(caught.thrown);
    EXPECT_EQ(caught.message.rfind(L"EXCEPTION_STACK_OVERFLOW\n address:\t0x", 0), 0u)
        << caught.message;
    const std::wstring tail = L" code:\t\t3221225725";
    ASSERT_GE(caught.message.size(), tail.size());
    EXPECT_EQ(caught.message.substr(caught.message.size() - tail.size()), tail);
}

TEST(SeTranslator, StackOverflowIsCaughtAndTheThreadGoesOn) {
    std::vector<Caught> caught;
    int afterwards = 0;
    RunOnThread(1024 * 1024, 4096, [&] {
        ZUBBASE::InstallSeTranslator();
        for (int round = 0; round < 2; ++round) {
            caught.push_back(CatchFault([] { return gRecurseSmallFrames(0); }));
        }
        // Other faults are still told apart after an overflow.
        caught.push_back(CatchFault(gNullWrite));
        // Most of the stack is usable again.
        afterwards = gRecurseBounded(150);
    });
    ASSERT_EQ(caught.size(), 3u);
    ExpectStackOverflow(caught[0]);
    ExpectStackOverflow(caught[1]);
    ExpectTranslated(caught[2], L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                     AddressOf(&NullWrite));
    EXPECT_EQ(afterwards, 150);
}

TEST(SeTranslator, StackOverflowWithLargeFrames) {
    std::vector<Caught> caught;
    RunOnThread((3 * 1024 + 256) * 1024, 64 * 1024, [&] {
        ZUBBASE::InstallSeTranslator();
        caught.push_back(CatchFault([] { return gRecurseLargeFrames(0); }));
        caught.push_back(CatchFault([] { return gRecurseLargeFrames(0); }));
    });
    ASSERT_EQ(caught.size(), 2u);
    ExpectStackOverflow(caught[0]);
    ExpectStackOverflow(caught[1]);
}

TEST(SeTranslator, StackOverflowOnTheMainThread) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_STACK, &limit), 0);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 64u * 1024 * 1024) {
        GTEST_SKIP() << "the main thread's stack has no small limit to run into";
    }
    ZUBBASE::InstallSeTranslator();
    ExpectStackOverflow(CatchFault([] { return gRecurseSmallFrames(0); }));
    ExpectStackOverflow(CatchFault([] { return gRecurseSmallFrames(0); }));
    ExpectTranslated(CatchFault(gNullWrite), L"EXCEPTION_ACCESS_VIOLATION", L"3221225477",
                     AddressOf(&NullWrite));
}

class SeTranslatorDeathTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

void SetAction(int signo, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, nullptr);
}

TEST_F(SeTranslatorDeathTest, ThreadWithoutTranslatorDiesFromTheSignal) {
    EXPECT_EXIT(
        {
            SetAction(SIGSEGV, SIG_DFL);
            ZUBBASE::InstallSeTranslator();
            std::thread([] { gNullWrite(); }).join();
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(
        {
            SetAction(SIGFPE, SIG_DFL);
            ZUBBASE::InstallSeTranslator();
            std::thread([] { gIntDivideByZero(); }).join();
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGFPE), "");
}

void ChainedHandler(int) {
    static const char text[] = "earlier handler\n";
    [[maybe_unused]] auto written = write(STDERR_FILENO, text, sizeof(text) - 1);
    std::_Exit(42);
}

TEST_F(SeTranslatorDeathTest, ThreadWithoutTranslatorReachesTheEarlierHandler) {
    EXPECT_EXIT(
        {
            SetAction(SIGSEGV, &ChainedHandler);
            ZUBBASE::InstallSeTranslator();
            // Ours again on top; the installing thread still translates.
            if (!CatchFault(gNullWrite).thrown) std::_Exit(1);
            std::thread([] { gNullWrite(); }).join();
            std::_Exit(0);
        },
        testing::ExitedWithCode(42), "earlier handler");
}

TEST_F(SeTranslatorDeathTest, SentSignalIsNotTranslated) {
    // kill() may land at any instruction: it takes the default action even on
    // a thread with the translator.
    EXPECT_EXIT(
        {
            SetAction(SIGSEGV, SIG_DFL);
            ZUBBASE::InstallSeTranslator();
            try {
                raise(SIGSEGV);
            } catch (...) {
                std::_Exit(3);
            }
            std::_Exit(4);
        },
        testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
