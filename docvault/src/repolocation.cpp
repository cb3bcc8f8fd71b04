#include "internal/repolocation.h"

#include "dbcore/cdbaccessor.h"
#include "docvault/bo.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "internal/rowparams.h"

namespace DRM {

int RepoLocation::Lookup(BO& bo, int docRepoId) {
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocRepoId", docRepoId);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (BOAccess::Accessor(bo)->SelectRows(rs, L"QV_DMRepo", L"server,port,directory", cond, kNone,
                                           kNone, kNone, 0, 0) != 0)
        return BOAccess::RecordDbError(bo);
    // Without the row every path would be built on an empty root.
    if (!HasRow(rs)) {
        BOAccess::RaiseUnknownError(bo, Err::kRepoMissing, Err::kRepoMissingText);
        return Err::kRepoMissing;
    }
    server = rs->GetString(L"server");
    port = static_cast<unsigned short>(rs->GetInt(L"port"));
    dir = rs->GetString(L"directory");
    return 0;
}

}  // namespace DRM
