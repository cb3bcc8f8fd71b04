// The procedures the product database offers, written for the embedded store.
#pragma once

#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "dbcore/sqlitesession.h"

namespace ZUBDB {

class SqliteProcedureRegistry;

class BuiltinProcedures {
public:
    static void RegisterInto(SqliteProcedureRegistry& registry);

    // GetNewId idName,n: reserves n ids of the counter idName and returns the
    // first as column NewId; no row when the counter is not defined.
    static CDBRecordset GetNewId(SqliteSession& session, const std::vector<DBValue>& args);
    // QV_p_DMGetUserAuths userId: the user's rights per repository, from its
    // own rows and those of its roles, each right the largest granted;
    // columns DocRepoId, Name, Read, Write, Manage, ordered by DocRepoId.
    static CDBRecordset GetUserAuths(SqliteSession& session, const std::vector<DBValue>& args);
};

}  // namespace ZUBDB
