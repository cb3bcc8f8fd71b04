// The service control manager: whether a service exists and may be opened
// with a given access.
//
// A service is a systemd unit ("NAME.service", or NAME when it carries a unit
// suffix) in /etc/systemd/system, /run/systemd/system, /usr/local/lib/systemd/
// system, /usr/lib/systemd/system or /lib/systemd/system, or a script
// /etc/init.d/NAME; all below ZUB_ROOT when it is set. Names are compared
// exactly first, then without regard to case, as Windows does.
//
// Access beyond reading (connect, enumerate, query) needs a privileged process
// (IsProcessPrivileged): otherwise kErrorAccessDenied.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zub/platform/error.h"

namespace zub::platform {

inline constexpr std::uint32_t kScManagerConnect = 0x0001;
inline constexpr std::uint32_t kScManagerEnumerateService = 0x0004;
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceQueryConfig = 0x0001;
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
inline constexpr std::uint32_t kGenericRead = 0x80000000;

class ServiceManager {
public:
    bool IsOpen() const { return open_; }
    std::uint32_t Access() const { return access_; }

private:
    friend Error OpenServiceManager(std::uint32_t access, ServiceManager& out);
    bool open_ = false;
    std::uint32_t access_ = 0;
};

class Service {
public:
    bool IsOpen() const { return !name_.empty(); }
    // The service's key name as found, and the file that defines it.
    const std::wstring& Name() const { return name_; }
    const std::wstring& DefinitionPath() const { return path_; }

private:
    friend Error OpenService(const ServiceManager&, std::wstring_view, std::uint32_t, Service&);
    std::wstring name_;
    std::wstring path_;
};

// OpenSCManager on the local machine.
Error OpenServiceManager(std::uint32_t access, ServiceManager& out);
// OpenService: kErrorServiceDoesNotExist (1060) when there is none of that
// name, kErrorInvalidHandle with a closed manager, kErrorInvalidName for a
// name with "/" or an empty one.
Error OpenService(const ServiceManager& manager, std::wstring_view name, std::uint32_t access,
                  Service& out);

}  // namespace zub::platform
