#include "productupgrade.h"

#include "dbcore/sqliteerror.h"

namespace zub::vaultschema {
namespace {

bool HasRow(ZUBDB::SqliteSession& session, const std::string& sql) {
    return !session.Query(sql, {}).IsEOF();
}

// Stores made before may hold names that differ only in case; they keep
// opening without the index (verify reports such names) until one is renamed.
void AddUserNameIndex(ZUBDB::SqliteSession& session) {
    if (HasRow(session, "SELECT 1 FROM sqlite_master WHERE name='QV_User_UserName'")) return;
    try {
        session.Execute(
            "CREATE UNIQUE INDEX IF NOT EXISTS QV_User_UserName ON QV_User (UserName COLLATE "
            "NOCASE)",
            {});
    } catch (const ZUBDB::SqliteError&) {}
}

bool HasColumn(ZUBDB::SqliteSession& session, const std::string& table, const std::string& column) {
    return HasRow(session,
                  "SELECT 1 FROM pragma_table_info('" + table + "') WHERE name='" + column + "'");
}

// Appended, so columns read by position keep their place. Rows made before
// start without a sum; verify --repair fills them in.
void AddContentSums(ZUBDB::SqliteSession& session) {
    for (const char* table : {"QV_DMDoc", "QV_DMDocVer"}) {
        if (HasColumn(session, table, "ContentSha256")) continue;
        try {
            session.Execute(std::string("ALTER TABLE ") + table +
                                " ADD COLUMN ContentSha256 TEXT NOT NULL DEFAULT ''",
                            {});
        } catch (const ZUBDB::SqliteError&) {
            // Another process added it first.
            if (!HasColumn(session, table, "ContentSha256")) throw;
        }
    }
}

// Sizes beside the sums, and the baselines' file lists; -1 and no list until
// verify --repair records them.
void AddSizesAndBaselineFiles(ZUBDB::SqliteSession& session) {
    for (const char* table : {"QV_DMDoc", "QV_DMDocVer"}) {
        if (HasColumn(session, table, "ContentBytes")) continue;
        try {
            session.Execute(std::string("ALTER TABLE ") + table +
                                " ADD COLUMN ContentBytes INTEGER NOT NULL DEFAULT -1",
                            {});
        } catch (const ZUBDB::SqliteError&) {
            if (!HasColumn(session, table, "ContentBytes")) throw;
        }
    }
    session.Execute(
        "CREATE TABLE IF NOT EXISTS ZUB_DMBaselineFile ("
        "BaseLineId INTEGER NOT NULL REFERENCES QV_DMBaseline (BaseLineId) ON DELETE CASCADE, "
        "Path TEXT NOT NULL, ContentSha256 TEXT NOT NULL DEFAULT '', "
        "ContentBytes INTEGER NOT NULL DEFAULT -1, PRIMARY KEY (BaseLineId, Path))",
        {});
}

// Every change of a document row is conditional on the stamp it read.
void AddChangeStamp(ZUBDB::SqliteSession& session) {
    if (HasRow(session, "SELECT 1 FROM pragma_table_info('QV_DMDoc') WHERE name='ChangeStamp'"))
        return;
    try {
        session.Execute("ALTER TABLE QV_DMDoc ADD COLUMN ChangeStamp INTEGER NOT NULL DEFAULT 0",
                        {});
    } catch (const ZUBDB::SqliteError&) {
        // Another process added it first, or the store cannot be written now.
    }
}

void AddPendingAndUniqueNames(ZUBDB::SqliteSession& session) {
    if (HasRow(session, "SELECT 1 FROM pragma_table_info('QV_DMDoc') WHERE name='PendingFile'") &&
        HasRow(session, "SELECT 1 FROM sqlite_master WHERE name='QV_DMDoc_File'"))
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
        try {
            session.Execute(step, {});
        } catch (const ZUBDB::SqliteError&) {}
    }
}

// The audit trail and the deactivated users; stores made before start with
// neither.
void AddAuditTrail(ZUBDB::SqliteSession& session) {
    static const char* const kSteps[] = {
        "CREATE TABLE IF NOT EXISTS ZUB_AuditTrail (AuditId INTEGER PRIMARY KEY AUTOINCREMENT, "
        "EventTime REAL, UserId INTEGER NOT NULL DEFAULT 0, UserName TEXT NOT NULL DEFAULT '', "
        "Action TEXT NOT NULL DEFAULT '', DocRepoId INTEGER NOT NULL DEFAULT 0, "
        "DocId INTEGER NOT NULL DEFAULT 0, phyUrl TEXT NOT NULL DEFAULT '', "
        "Name TEXT NOT NULL DEFAULT '', Ext TEXT NOT NULL DEFAULT '', "
        "Version TEXT NOT NULL DEFAULT '', Detail TEXT NOT NULL DEFAULT '')",
        "CREATE INDEX IF NOT EXISTS ZUB_AuditTrail_DocRepoId ON ZUB_AuditTrail (DocRepoId)",
        "CREATE INDEX IF NOT EXISTS ZUB_AuditTrail_DocId ON ZUB_AuditTrail (DocId)",
        "CREATE UNIQUE INDEX IF NOT EXISTS ZUB_AuditTrail_Deleted ON ZUB_AuditTrail (DocId) "
        "WHERE Action = 'delete'",
        "CREATE TABLE IF NOT EXISTS ZUB_InactiveUser (UserId INTEGER PRIMARY KEY, Since REAL)",
    };
    for (const char* step : kSteps) session.Execute(step, {});
}

}  // namespace

void UpgradeProductDb(ZUBDB::SqliteSession& session) {
    if (!HasRow(session, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='QV_DMDoc'"))
        return;
    AddUserNameIndex(session);
    AddPendingAndUniqueNames(session);
    AddChangeStamp(session);
    AddContentSums(session);
    AddSizesAndBaselineFiles(session);
    AddAuditTrail(session);
}

void UpgradeSystemDb(ZUBDB::SqliteSession& session) {
    if (!HasRow(session, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='QV_SysInfo'") ||
        HasRow(session, "SELECT 1 FROM pragma_table_info('QV_SysInfo') WHERE name='StoreId'"))
        return;
    // Another process may add it first.
    try {
        session.Execute("ALTER TABLE QV_SysInfo ADD COLUMN StoreId TEXT NOT NULL DEFAULT ''", {});
    } catch (const ZUBDB::SqliteError&) {}
}

namespace {

// Columns added to the document tables since server stores began.
void AddServerColumns(ZUBDB::SqliteSession& session) {
    static const char* const kSteps[] = {
        "ALTER TABLE QV_DMDoc ADD COLUMN IF NOT EXISTS PendingFile text NOT NULL DEFAULT ''",
        "ALTER TABLE QV_DMDoc ADD COLUMN IF NOT EXISTS ChangeStamp bigint NOT NULL DEFAULT 0",
        "ALTER TABLE QV_DMDoc ADD COLUMN IF NOT EXISTS ContentSha256 text NOT NULL DEFAULT ''",
        "ALTER TABLE QV_DMDoc ADD COLUMN IF NOT EXISTS ContentBytes bigint NOT NULL DEFAULT -1",
        "ALTER TABLE QV_DMDocVer ADD COLUMN IF NOT EXISTS ContentSha256 text NOT NULL DEFAULT ''",
        "ALTER TABLE QV_DMDocVer ADD COLUMN IF NOT EXISTS ContentBytes bigint NOT NULL DEFAULT -1",
    };
    for (const char* step : kSteps) session.Execute(step, {});
}

}  // namespace

void UpgradeServerProductDb(ZUBDB::SqliteSession& session) {
    // One round trip when nothing is missing.
    auto found = session.Query(
        "SELECT (SELECT count(*) FROM information_schema.columns WHERE table_schema = "
        "current_schema() AND table_name = 'qv_dmdoc' AND column_name IN "
        "('pendingfile', 'changestamp', 'contentsha256', 'contentbytes')), "
        "(SELECT count(*) FROM information_schema.tables WHERE table_schema = "
        "current_schema() AND table_name IN ('zub_audittrail', 'zub_inactiveuser'))",
        {});
    const long long present = found.GetInt64At(0);
    const long long tables = found.GetInt64At(1);
    // No product table: nothing to bring up to date.
    if (present == 0) return;
    if (present != 4) AddServerColumns(session);
    if (tables == 2) return;
    static const char* const kSteps[] = {
        "CREATE TABLE IF NOT EXISTS ZUB_AuditTrail (AuditId bigint GENERATED BY DEFAULT AS "
        "IDENTITY PRIMARY KEY, EventTime double precision, UserId bigint NOT NULL DEFAULT 0, "
        "UserName text NOT NULL DEFAULT '', Action text NOT NULL DEFAULT '', "
        "DocRepoId bigint NOT NULL DEFAULT 0, DocId bigint NOT NULL DEFAULT 0, "
        "phyUrl text NOT NULL DEFAULT '', Name text NOT NULL DEFAULT '', "
        "Ext text NOT NULL DEFAULT '', Version text NOT NULL DEFAULT '', "
        "Detail text NOT NULL DEFAULT '')",
        "CREATE INDEX IF NOT EXISTS ZUB_AuditTrail_DocRepoId ON ZUB_AuditTrail (DocRepoId)",
        "CREATE INDEX IF NOT EXISTS ZUB_AuditTrail_DocId ON ZUB_AuditTrail (DocId)",
        "CREATE UNIQUE INDEX IF NOT EXISTS ZUB_AuditTrail_Deleted ON ZUB_AuditTrail (DocId) "
        "WHERE Action = 'delete'",
        "CREATE TABLE IF NOT EXISTS ZUB_InactiveUser (UserId bigint PRIMARY KEY, "
        "Since double precision)",
    };
    for (const char* step : kSteps) session.Execute(step, {});
}

}  // namespace zub::vaultschema
