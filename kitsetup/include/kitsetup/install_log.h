// The installer's log: one program-wide file, a line per message, the file
// opened, appended and closed for every line.
#pragma once

#include <string>

namespace kitsetup {

class InstallLog {
public:
    // The path the log starts with: "c:\zub.log" of the product, kept below
    // ZUB_ROOT as $ZUB_ROOT/tmp/zub.log.
    static std::string DefaultPath();

    static void SetPath(const std::string& path);
    static std::string Path();
    static void SetDebug(bool on);
    static bool Debug();

    // "%Y-%m-%d %H:%M:%S: message"; dropped silently when the file cannot be opened.
    static void Log(const std::wstring& message);
    // Written only while the debug switch is on.
    static void DebugLog(const std::wstring& message);
    // Gets every line as it is written (the unattended installer echoes them).
    using Echo = void (*)(const std::wstring& line, bool debug);
    static void SetEcho(Echo echo);
};

}  // namespace kitsetup
