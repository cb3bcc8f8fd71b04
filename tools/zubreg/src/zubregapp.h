// zubreg: the registry from the command line (list, read, write, delete,
// export and import in the registry editor's .reg format).
#pragma once

#include <iosfwd>

namespace zub::zubreg {

// Runs one command line; returns the exit status (0 done, 1 refused or
// failed, 2 bad usage). "import -" reads in; output and messages go to out
// and err.
int RunZubreg(int argc, const char* const* argv, std::istream& in, std::ostream& out,
              std::ostream& err);

}  // namespace zub::zubreg
