#include "internal/repolocation.h"

#include "dbcore/cdbaccessor.h"
#include "docvault/bo.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "internal/readahead.h"
#include "internal/rowparams.h"

namespace DRM {

ZUBDB::CDBRead RepoLocation::Read(int docRepoId) {
    ZUBDB::CDBRead read;
    read.table = L"QV_DMRepo";
    read.columns = L"server,port,directory";
    AddInt(read.params, L"DocRepoId", docRepoId);
    return read;
}

int RepoLocation::Lookup(BO& bo, int docRepoId) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (ReadAhead::Make(bo, Read(docRepoId), rs) != 0) return BOAccess::RecordDbError(bo);
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
