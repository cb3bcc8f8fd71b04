// Copies the payload's file groups and registers the copied components.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "kitsetup/error_info.h"
#include "kitsetup/script.h"
#include "kitsetup/signal.h"

namespace kitsetup {

struct InstallRecord;

class FileGroups {
public:
    // How long an in-process registration may run.
    static constexpr std::chrono::milliseconds kRegisterTimeout{10000};
    // Error codes of an in-process registration; a failed copy has the
    // platform's error number.
    static constexpr int kErrNotALibrary = 111;
    static constexpr int kErrNoEntryPoint = 222;
    static constexpr int kErrNoThread = 333;
    static constexpr int kErrTimedOut = 444;

    // One entry of a file group as an install would treat it.
    struct PlannedCopy {
        std::wstring group;
        std::wstring target;
        std::wstring source;
        bool copy = false;  // false: kept by the overwrite policy
        bool reg = false;
        bool asmreg = false;
    };

    ErrorInfo error;
    std::map<std::wstring, FileGroup> groups;
    Signal<int, const std::wstring&> progress;
    std::wstring installDir;

    // Every copy, created directory and registration is noted here when set.
    void SetRecord(InstallRecord* record) { record_ = record; }
    void SetRegisterTimeout(std::chrono::milliseconds t) { timeout_ = t; }

    int DoCopyFgs(const std::wstring& fgs, std::vector<std::wstring>& inProcess,
                  std::vector<std::wstring>& assemblies);
    int CopyGroup(const std::wstring& name, std::vector<std::wstring>& inProcess,
                  std::vector<std::wstring>& assemblies);
    bool CopyOneFile(const std::wstring& target, const std::wstring& source, int mode,
                     bool& copied);

    int RegisterInProcess(const std::wstring& file);
    int RegisterAllInProcess(const std::vector<std::wstring>& files);
    void RegisterAssembly(const std::wstring& file);
    int RegisterAllAssemblies(const std::vector<std::wstring>& files);

    // DllUnregisterServer under the same rules as the registration.
    int UnregisterInProcess(const std::wstring& file);
    void UnregisterAssembly(const std::wstring& file);

    // What DoCopyFgs would do, without doing it. 0, or -1 with error set.
    int Plan(const std::wstring& fgs, std::vector<PlannedCopy>& out);

    // The directory a group's target names; "" for a base-less one.
    std::wstring TargetDir(const std::wstring& target) const;

private:
    enum class Decision { Copy, Keep, Fail };
    Decision Decide(const std::wstring& target, const std::wstring& source, int mode);
    // Target and source of one entry; false (error set) for a path that is
    // empty or leaves its base.
    bool EntryPaths(const FileGroup& g, const std::wstring& entry, std::wstring& target,
                    std::wstring& source);
    const FileGroup* Find(const std::wstring& name);
    bool DoCopy(const std::wstring& target, const std::wstring& source);
    unsigned MakeDirs(const std::wstring& dir);
    // Command links in the system's program folder; failures are logged only.
    void LinkCommands(const std::wstring& target);
    void LinkCommand(const std::wstring& file);
    int CallEntryPoint(const std::wstring& file, const char* entry);
    void CopyFailed(unsigned code, const std::wstring& target, const std::wstring& source);

    InstallRecord* record_ = nullptr;
    std::chrono::milliseconds timeout_ = kRegisterTimeout;
};

}  // namespace kitsetup
