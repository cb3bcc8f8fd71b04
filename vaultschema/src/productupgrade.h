// Brings a product database made by an earlier version up to the current
// schema, so that stores made before keep working.
#pragma once

#include "dbcore/sqlitesession.h"

namespace zub::vaultschema {

// Adds missing columns and unique indexes; a database without QV_DMDoc is left
// alone. An index that the data already violates is not made: the store keeps
// working with the check the code does.
void UpgradeProductDb(ZUBDB::SqliteSession& session);

// Adds the StoreId column to QV_SysInfo of a system database made before it
// existed; the value stays empty until the store is given an identity.
void UpgradeSystemDb(ZUBDB::SqliteSession& session);

// The same for a product database on a PostgreSQL server; one query when
// there is nothing to do.
void UpgradeServerProductDb(ZUBDB::SqliteSession& session);

}  // namespace zub::vaultschema
