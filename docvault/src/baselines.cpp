#include "docvault/baselines.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

int BaseLines::GetAll(filterForBaseLine filter) {
    return OperationScope::Run(*this, L"src/baselines", L"DRM::BaseLines::GetAll", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", filter.docRepoId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMBaseline",
                                   L"BaseLineId,DocRepoId,name,BaseLineInfo,BaseLineCreateTime",
                                   cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        for (; HasRow(rs); rs->MoveNext())
            Add(std::make_unique<BaseLine>(static_cast<int>(rs->GetIntAt(1)), rs->GetStringAt(2),
                                           rs->GetStringAt(3), rs->GetDoubleAt(4, 0.0),
                                           static_cast<int>(rs->GetIntAt(0)))
                    .release());
        return 0;
    });
}

}  // namespace DRM
