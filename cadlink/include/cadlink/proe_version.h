// Installed Pro/ENGINEER versions, their launcher and message server.
#pragma once

#include <string>

#include "cadlink/cax_version.h"

namespace ZUBCAX {

class CProeVersion : public CCaxVersion {
public:
    static constexpr wchar_t kVendorKey[] = L"SOFTWARE\\PTC\\Pro/ENGINEER";
    // Where the message server's path is published, under HKEY_LOCAL_MACHINE.
    static constexpr wchar_t kEnvironmentKey[] =
        L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    static constexpr wchar_t kMessageServerValue[] = L"PRO_COMM_MSG_EXE";

    CProeVersion();

    std::wstring GetLauncherPath() override;
    bool SetCurrentVersion(const std::wstring& name) override;
    std::wstring GetCadName() override;
    int GetCadNumber() override;
    std::wstring AcceptVersion(const std::wstring& subkeyName) override;

    // "InstallDir" of the first subkey of the version's key; "" on any failure.
    std::wstring InstallDir(const std::wstring& version);
};

}  // namespace ZUBCAX
