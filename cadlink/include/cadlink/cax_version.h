// Finds the installed versions of a CAD program in the registry and keeps
// the user's chosen one.
#pragma once

#include <string>
#include <vector>

namespace ZUBCAX {

class CCaxVersion {
public:
    // The user's choice per CAD program, under HKEY_CURRENT_USER.
    static constexpr wchar_t kChoiceKey[] = L"SOFTWARE\\zubrino\\cadserver\\CaxVer";
    // Names longer than this are not read.
    static constexpr std::size_t kMaxName = 260;

    CCaxVersion(std::wstring vendorKey, std::wstring versionPrefix);
    CCaxVersion(const CCaxVersion&) = default;
    CCaxVersion& operator=(const CCaxVersion&) = default;

    // Fills `list` with the installed versions when it is empty; the last one.
    virtual std::wstring GetLatestVersion(std::vector<std::wstring>& list);
    virtual std::wstring GetLauncherPath();
    virtual std::wstring GetVersionPath(const std::wstring& name);
    virtual std::wstring FindVersion(const std::wstring& name);
    virtual std::wstring GetCurrentVersion();
    virtual bool SetCurrentVersion(const std::wstring& name);
    virtual std::wstring GetCadName() = 0;
    virtual int GetCadNumber() = 0;
    virtual std::wstring AcceptVersion(const std::wstring& subkeyName);
    virtual std::wstring MapVersion(const std::wstring& name);
    virtual ~CCaxVersion();

    const std::wstring& vendorKey() const noexcept { return vendorKey_; }
    const std::wstring& versionPrefix() const noexcept { return versionPrefix_; }

    // Installed versions in registry order (empty when the vendor key is missing).
    std::vector<std::wstring> InstalledVersions();

private:
    std::wstring vendorKey_;
    std::wstring versionPrefix_;
};

}  // namespace ZUBCAX
