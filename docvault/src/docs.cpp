#include "docvault/docs.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

int Docs::GetAll(filterForDoc filter) {
    return OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", filter.docRepoId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(
                rs, L"QV_DMDoc",
                L"DocId,DocRepoId,Name,ext,CurrentVersion,CurrentState,\t\t\t\t\t  "
                L"CurrentOperatorId,CurrentOperatorName,CreatorId,CreatorName,\t\t\t\t\t  "
                L"DocCreateTime,LastOperatorId,LastOperatorName,LastOperateTime,phyUrl",
                cond, L"phyurl asc", kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (rs) Reserve(static_cast<std::size_t>(Count() + rs->GetRecordCount()));
        // Each value is read once: the texts move from the set into the documents.
        for (; HasRow(rs); rs->MoveNext()) {
            Append(std::make_unique<Doc>(
                static_cast<int>(rs->GetIntAt(0)), static_cast<int>(rs->GetIntAt(1)),
                rs->TakeStringAt(2), rs->TakeStringAt(3), rs->TakeStringAt(4),
                static_cast<int>(rs->GetIntAt(5)), static_cast<int>(rs->GetIntAt(6)),
                rs->TakeStringAt(7), static_cast<int>(rs->GetIntAt(8)), rs->TakeStringAt(9),
                rs->GetDoubleAt(10), static_cast<int>(rs->GetIntAt(11)), rs->TakeStringAt(12),
                rs->GetDoubleAt(13), rs->TakeStringAt(14)));
        }
        return 0;
    });
}

}  // namespace DRM
