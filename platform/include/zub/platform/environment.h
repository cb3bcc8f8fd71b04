// Environment variables set for the user, persisted so that later processes
// see them.
//
// Stored as string values of HKEY_CURRENT_USER\Environment (where Windows
// keeps them) and mirrored into $XDG_CONFIG_HOME/environment.d/50-zub.conf
// (default ~/.config), which systemd's user manager reads at the next login;
// below ZUB_ROOT when set. The calling process's own environment is updated
// too. Later zub processes read them with GetUserEnvironmentVariable.
#pragma once

#include <string>
#include <string_view>

#include "zub/platform/error.h"

namespace zub::platform {

// ERROR_ENVVAR_NOT_FOUND.
inline constexpr Error kErrorEnvvarNotFound = 203;

// Name: non-empty, no "=" and no zero; value: no line break and no zero
// (else kErrorInvalidParameter). An empty value removes the variable.
Error SetUserEnvironmentVariable(std::wstring_view name, std::wstring_view value);
// The stored value; kErrorEnvvarNotFound when the user has none of that name.
Error GetUserEnvironmentVariable(std::wstring_view name, std::wstring& value);

// The calling process's variable (GetEnvironmentVariable); kErrorEnvvarNotFound
// when unset.
Error GetEnvironmentVariable(std::wstring_view name, std::wstring& value);

}  // namespace zub::platform
