// The installer's log: one program-wide file, a line per message, the file
// opened, appended and closed for every line.
#pragma once

#include <string>

namespace zub::kitsetup {

class InstallLog {
public:
    // The path the log starts with: "c:\zub.log" of the product, kept below
    // ZUB_ROOT as $ZUB_ROOT/tmp/zub.log.
    static std::string DefaultPath();

    // Lines that could not be written so far wait for the new file, or are dropped.
    static void SetPath(const std::string& path, bool keepPending = false);
    // Continues the log in another file: what the current one holds and the
    // lines that could not be written yet are appended there first (its
    // folder is made when missing). False when that file cannot be written.
    static bool MoveTo(const std::string& path);
    static std::string Path();
    static void SetDebug(bool on);
    static bool Debug();

    // "%Y-%m-%d %H:%M:%S: message"; kept for the next file that opens when
    // this one cannot be.
    static void Log(const std::wstring& message);
    // Written only while the debug switch is on.
    static void DebugLog(const std::wstring& message);
    // Gets every line as it is written (the unattended installer echoes them).
    using Echo = void (*)(const std::wstring& line, bool debug);
    static void SetEcho(Echo echo);
};

}  // namespace zub::kitsetup
