// How CDBAccessorCreator reaches PostgreSQL servers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/serverstore.h"
#include "pgconnection.h"

namespace ZUBDB {

// Opens server stores with the definition registered at the time of the call.
CDBAccessorCreator::Factory ServerBackend();

// The libpq parameters of one database of a server: host, port, database,
// the token's keywords and bounded timeouts.
struct PgTarget {
    std::vector<std::string> keywords;
    std::vector<std::string> values;
    std::string place;  // "HOST:PORT database DB"

    static PgTarget Of(const ServerPlace& place, const std::string& database);
    std::unique_ptr<PgConnection> Connect() const;
};

}  // namespace ZUBDB
