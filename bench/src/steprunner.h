// The parent side of a measured library step: runs this program in step mode
// (see stepmain.h) and returns the time the child measured around the library
// calls together with the child's peak resident memory.
#pragma once

#include <string>
#include <vector>

#include "measure.h"

namespace zub::bench {

class StepRunner {
public:
    // step: "add", "checkin", ...; args: "key=value" texts.
    static Measure Run(const std::string& step, const std::vector<std::string>& args);
};

}  // namespace zub::bench
