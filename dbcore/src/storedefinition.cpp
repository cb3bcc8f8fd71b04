#include "dbcore/storedefinition.h"

namespace ZUBDB {

const DatabaseDefinition& StoreDefinition::For(const std::string& database) const {
    auto it = fixed.find(database);
    return it != fixed.end() ? it->second : main;
}

}  // namespace ZUBDB
