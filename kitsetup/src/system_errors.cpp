#include "kitsetup/string_table.h"
#include "zub/platform/error.h"

namespace zub::kitsetup {

std::wstring SystemErrorText(unsigned error) { return Shown(zub::platform::ErrorText(error)); }

}  // namespace zub::kitsetup
