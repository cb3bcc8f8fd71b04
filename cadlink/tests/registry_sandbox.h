// A registry of its own for each test: installed Pro/ENGINEER versions and
// the values the connector writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "zubtest/sandbox.h"

namespace zub::cadlink::test {

class RegistrySandbox {
public:
    // HKLM\SOFTWARE\PTC\Pro/ENGINEER\<version>\<build> with "InstallDir".
    void Install(const std::wstring& version, const std::wstring& build,
                 const std::wstring& installDir);
    void AddVendorSubkey(const std::wstring& name);
    void StoreChoice(const std::wstring& version);
    std::optional<std::wstring> StoredChoice() const;
    std::optional<std::wstring> MessageServer() const;
    // The machine hive refuses writes from now on.
    void LockMachineHive();

    // The sandbox folder, also for the test's model files.
    const std::filesystem::path& path() const { return box_.path(); }
    std::wstring file(const std::string& name) const;

private:
    zub::testsupport::Sandbox box_{"cadlink"};
};

}  // namespace zub::cadlink::test
