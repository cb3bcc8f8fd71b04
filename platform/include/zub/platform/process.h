// Starting programs and opening documents (ShellExecuteEx with the "open"
// verb) and waiting for them.
//
// A program is started with posix_spawnp; a document (an existing file that is
// not executable) is opened with xdg-open. The process handle is the pid.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zub/platform/error.h"

namespace zub::platform {

// SW_* show commands; there are no windows to show here, the value is kept
// for the caller's sake.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShowDefault = 10;

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
// GetExitCodeProcess's value for a process that still runs.
inline constexpr std::uint32_t kStillActive = 259;

// A started process; Close (or destruction) lets it go without waiting, and
// it is reaped in the background when it ends.
class Process {
public:
    Process() = default;
    explicit Process(pid_t pid) : pid_(pid) {}
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    bool IsValid() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // WaitForSingleObject: 0 when the process has ended, kErrorWaitTimeout
    // (258) when `milliseconds` passed first (kInfinite waits for ever),
    // kErrorInvalidHandle without a process.
    Error Wait(std::uint32_t milliseconds);
    // GetExitCodeProcess: the exit status, 128 + the signal for a process
    // ended by a signal, kStillActive while it runs.
    Error GetExitCode(std::uint32_t& code);
    void Close();

private:
    pid_t pid_ = 0;
    bool ended_ = false;
    std::uint32_t exitCode_ = 0;
};

struct ShellExecuteInfo {
    std::wstring verb = L"open";  // "open" or "" (the same); others: kErrorNoAssociation
    // Program or document. A relative name is looked for in `directory`, then
    // in the current directory, then (a name without "/") along PATH.
    std::wstring file;
    std::wstring parameters;  // one command-line text, split as CommandLineToArgvW does
    std::wstring directory;   // working directory of the new process; "" keeps ours
    int show = kSwShowDefault;
    bool wantProcess = true;  // SEE_MASK_NOCLOSEPROCESS
};

// Starts it. Failures: kErrorFileNotFound (no such program or document),
// kErrorPathNotFound (no such working directory), kErrorAccessDenied,
// kErrorBadExeFormat, kErrorNoAssociation (no xdg-open for a document).
// `process` receives the process when info.wantProcess.
Error ShellExecute(const ShellExecuteInfo& info, Process& process);

// The full path of the executable `name` as PATH finds it ("a/b" names are
// taken as they are); kErrorFileNotFound when there is none.
Error FindProgramInPath(const std::wstring& name, std::wstring& fullPath);

// CommandLineToArgvW's splitting of an argument text (blanks separate, double
// quotes group, backslashes escape only before a quote).
std::vector<std::wstring> SplitCommandLine(const std::wstring& text);

}  // namespace zub::platform
