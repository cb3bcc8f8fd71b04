// Random names and secrets: letters and digits drawn from the system's
// random device, fresh in every process (forked ones too).
#pragma once

#include <cstddef>
#include <string>

namespace zub {

// `length` characters of A-Z, a-z and 0-9.
std::string RandomText(std::size_t length);

}  // namespace zub
