// What a store is: a main database, named by whoever creates the store, and
// databases every store holds under a fixed name beside it. The SQLite
// backend serves a store only with its definition (see embeddedstore.h).
#pragma once

#include <map>
#include <string>

#include "dbcore/databasedefinition.h"

namespace ZUBDB {

struct StoreDefinition {
    DatabaseDefinition main;
    std::map<std::string, DatabaseDefinition> fixed;

    // The definition of the database of that name: a fixed one, else main.
    const DatabaseDefinition& For(const std::string& database) const;
};

}  // namespace ZUBDB
