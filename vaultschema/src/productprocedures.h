// The procedures of the product database, written for the embedded store.
#pragma once

#include <vector>

#include "dbcore/cdbrecordset.h"
#include "dbcore/sqliteprocedureregistry.h"
#include "dbcore/sqlitesession.h"

namespace zub::vaultschema {

class ProductProcedures {
public:
    static void RegisterInto(ZUBDB::SqliteProcedureRegistry& registry);

    // GetNewId idName,n: reserves n ids of the counter idName and returns the
    // first as column NewId; no row when the counter is not defined.
    static ZUBDB::CDBRecordset GetNewId(ZUBDB::SqliteSession& session,
                                        const std::vector<ZUBDB::DBValue>& args);
    // QV_p_DMGetUserAuths userId: the user's rights per repository, from its
    // own rows and those of its roles, each right the largest granted;
    // columns DocRepoId, Name, Read, Write, Manage, ordered by DocRepoId.
    static ZUBDB::CDBRecordset GetUserAuths(ZUBDB::SqliteSession& session,
                                            const std::vector<ZUBDB::DBValue>& args);
};

}  // namespace zub::vaultschema
