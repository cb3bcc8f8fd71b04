// Brings a product database made by an earlier version up to the current
// schema, so that stores made before keep working.
#pragma once

namespace ZUBDB {

class SqliteDb;

// Adds missing columns and unique indexes to a product database; a system
// database (no QV_DMDoc) is left alone. An index that the data already
// violates is not made: the store keeps working with the check the code does.
void UpgradeProductSchema(const SqliteDb& db);

}  // namespace ZUBDB
