// zubcom: a late-bound automation client for the shell, the way a script host
// drives a server.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zub::zubcom {

// Runs one command line (without the program name); returns the exit code:
// 0 when every call succeeded, 1 when one failed (an HRESULT or a non-zero
// status), 2 on a usage error.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zub::zubcom
