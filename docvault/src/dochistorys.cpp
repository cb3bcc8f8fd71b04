#include "docvault/dochistorys.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

int DocHistorys::GetAll(filterForDocHistory filter) {
    return OperationScope::Run(*this, L"src/dochistorys", L"DRM::DocHistorys::GetAll", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", filter.docId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMDocVer", kNone, cond, L" Revision desc", kNone, kNone,
                                   0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kNoMatch, Err::kNoMatchText);
            return Err::kNoMatch;
        }
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const int reVersion = static_cast<int>(rs->GetInt(L"Revision"));
            const int sub = static_cast<int>(rs->GetInt(L"Version_Sub"));
            const int main = static_cast<int>(rs->GetInt(L"Version_Main"));
            const std::wstring phyUrl = rs->GetString(L"PhyUrl");
            const int action = static_cast<int>(rs->GetInt(L"Action"));
            const std::wstring info = rs->GetString(L"OperateInfo");
            const double time = rs->GetDouble(L"OperatorTime");
            const std::wstring operatorName = rs->GetString(L"OperatorName");
            const int operatorId = static_cast<int>(rs->GetInt(L"OperatorId"));
            const std::wstring docName = rs->GetString(L"DocName");
            const int baseLineId = static_cast<int>(rs->GetInt(L"BaseLineId"));
            const int docId = static_cast<int>(rs->GetInt(L"DocId"));
            const int id = static_cast<int>(rs->GetInt(L"DocVersionId"));
            Add(std::make_unique<DocHistory>(id, docId, baseLineId, docName, operatorId,
                                             operatorName, time, info, action, phyUrl, main, sub,
                                             reVersion)
                    .release());
        }
        return 0;
    });
}

}  // namespace DRM
