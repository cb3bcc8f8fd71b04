#include "internal/readahead.h"

#include "dbcore/cdbaccessor.h"
#include "internal/boaccess.h"
#include "internal/rowparams.h"

namespace DRM {

ReadAhead::ReadAhead(BO& bo, const std::vector<ZUBDB::CDBRead>& reads) : bo_(bo) {
    if (ZUBDB::CDBAccessor* accessor = BOAccess::Accessor(bo_)) accessor->ReadAhead(reads);
}

ReadAhead::~ReadAhead() {
    if (ZUBDB::CDBAccessor* accessor = BOAccess::Accessor(bo_)) accessor->ReadAhead({});
}

int ReadAhead::Make(BO& bo, const ZUBDB::CDBRead& read, std::unique_ptr<ZUBDB::CDBRecordset>& rs) {
    ZUBDB::CDBAccessor& accessor = *BOAccess::Accessor(bo);
    if (read.sql.empty())
        return accessor.SelectRows(rs, read.table, read.columns, read.params, read.order, kNone,
                                   kNone, 0, 0);
    return accessor.ExecuteSql(rs, read.sql, read.params, kNone, 0, 0);
}

}  // namespace DRM
