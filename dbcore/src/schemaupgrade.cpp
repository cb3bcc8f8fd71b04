#include "schemaupgrade.h"

#include <sqlite3.h>

#include "sqlitedb.h"
#include "sqlitestatement.h"

namespace ZUBDB {
namespace {

bool HasRow(const SqliteDb& db, const std::string& sql) {
    SqliteStatement query(db, sql);
    return !query.fetchAll().IsEOF();
}

}  // namespace

void UpgradeProductSchema(const SqliteDb& db) {
    if (!HasRow(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='QV_DMDoc'")) return;
    if (HasRow(db, "SELECT 1 FROM pragma_table_info('QV_DMDoc') WHERE name='PendingFile'") &&
        HasRow(db, "SELECT 1 FROM sqlite_master WHERE name='QV_DMDoc_File'"))
        return;
    static const char* const kSteps[] = {
        "ALTER TABLE QV_DMDoc ADD COLUMN PendingFile TEXT NOT NULL DEFAULT ''",
        "CREATE UNIQUE INDEX IF NOT EXISTS QV_Role_RoleName ON QV_Role (RoleName)",
        "CREATE UNIQUE INDEX IF NOT EXISTS QV_DMRepo_Name ON QV_DMRepo (Name)",
        "CREATE UNIQUE INDEX IF NOT EXISTS QV_DMDoc_File ON QV_DMDoc "
        "(DocRepoId, phyUrl, (Name || '.' || Ext))",
        "CREATE UNIQUE INDEX IF NOT EXISTS QV_DMBaseline_Name ON QV_DMBaseline (DocRepoId, name)",
    };
    for (const char* step : kSteps) {
        // Each step stands alone: a duplicate that blocks one index must not
        // keep the column from being added. Another process may win the race.
        sqlite3_exec(db.get(), step, nullptr, nullptr, nullptr);
    }
}

}  // namespace ZUBDB
