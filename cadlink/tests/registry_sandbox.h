// A registry of its own for each test: installed Pro/ENGINEER versions and
// the values the connector writes.
#pragma once

#include <optional>
#include <string>

#include "test_support.h"

namespace cadtest {

class RegistrySandbox {
public:
    RegistrySandbox();

    // HKLM\SOFTWARE\PTC\Pro/ENGINEER\<version>\<build> with "InstallDir".
    void Install(const std::wstring& version, const std::wstring& build,
                 const std::wstring& installDir);
    void AddVendorSubkey(const std::wstring& name);
    void StoreChoice(const std::wstring& version);
    std::optional<std::wstring> StoredChoice() const;
    std::optional<std::wstring> MessageServer() const;
    // The machine hive refuses writes from now on.
    void LockMachineHive();

    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    ScopedEnv env_;
};

}  // namespace cadtest
