#include "docvault/dochistory.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

DocHistory::DocHistory(int id, int docId, int baseLineId, const std::wstring& hisDocName,
                       int operatorId, const std::wstring& operatorName, double operatorTime,
                       const std::wstring& operateInfo, int action, const std::wstring& phyUrl,
                       int version_Main, int version_Sub, int reVersion)
    : id_(id),
      docId_(docId),
      baseLineId_(baseLineId),
      hisDocName_(hisDocName),
      operatorId_(operatorId),
      operatorName_(operatorName),
      operatorTime_(operatorTime),
      operateInfo_(operateInfo),
      action_(action),
      phyUrl_(phyUrl),
      version_Main_(version_Main),
      version_Sub_(version_Sub),
      reVersion_(reVersion) {}

int DocHistory::Read(int id) {
    return OperationScope::Run(*this, L"src/dochistory", L"DRM::DocHistory::Read", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocVersionId", id);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMDocVer", kNone, cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kIdInvalid, Err::kDocIdInvalidText);
            return Err::kIdInvalid;
        }
        // The table's physical column order.
        id_ = static_cast<int>(rs->GetIntAt(0));
        docId_ = static_cast<int>(rs->GetIntAt(1));
        baseLineId_ = static_cast<int>(rs->GetIntAt(2));
        hisDocName_ = rs->GetStringAt(3);
        operatorId_ = static_cast<int>(rs->GetIntAt(4));
        operatorName_ = rs->GetStringAt(5);
        operatorTime_ = rs->GetDoubleAt(6);
        operateInfo_ = rs->GetStringAt(7);
        action_ = static_cast<int>(rs->GetIntAt(8));
        phyUrl_ = rs->GetStringAt(9);
        version_Main_ = static_cast<int>(rs->GetIntAt(10));
        version_Sub_ = static_cast<int>(rs->GetIntAt(11));
        reVersion_ = static_cast<int>(rs->GetIntAt(12));
        SetKey(std::to_wstring(id_));
        return 0;
    });
}

}  // namespace DRM
