// A document's row as the raw clients of the benchmarks read it, beside the
// library's reading of the same rows.
#pragma once

#include <string>

namespace zub::bench {

struct RawDocRow {
    long long id = 0, repoId = 0;
    std::string name, ext, version;
    long long state = 0, holderId = 0;
    std::string holderName;
    long long creatorId = 0;
    std::string creatorName;
    double created = 0;
    long long lastId = 0;
    std::string lastName;
    double lastTime = 0;
    std::string phyUrl;
};

}  // namespace zub::bench
