// zubcax: what the CAD connector sees, for people at a terminal.
#pragma once

#include <ostream>

namespace zub::zubcax {

// Runs one command line; the exit code (0 success, 1 failure, 2 usage).
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace zub::zubcax
