#include "internal/auditrow.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "internal/boaccess.h"
#include "internal/rowparams.h"
#include "internal/rowvalues.h"

namespace DRM {

namespace {

constexpr const wchar_t* kUserName =
    L"coalesce((select UserName from QV_User where UserId = ?), '')";

}  // namespace

int AuditRow::Insert(BO& owner) const {
    const RowValues values = RowValues()
                                 .Int(L"UserId", userId)
                                 .Int(L"UserId", userId)
                                 .Text(L"Action", action)
                                 .Int(L"DocRepoId", docRepoId)
                                 .Int(L"DocId", docId)
                                 .Text(L"phyUrl", phyUrl)
                                 .Text(L"Name", name)
                                 .Text(L"Ext", ext)
                                 .Text(L"Version", version)
                                 .Text(L"Detail", detail);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    return BOAccess::Accessor(owner)->ExecuteSql(
        rs,
        std::wstring(L"insert into ZUB_AuditTrail (EventTime, UserId, UserName, Action, DocRepoId, "
                     L"DocId, phyUrl, Name, Ext, Version, Detail) values (getdate(), ?, ") +
            kUserName + L", ?, ?, ?, ?, ?, ?, ?, ?)",
        values, kNone, 0, 0);
}

int AuditRow::InsertDelete(BO& owner, int docId, const std::wstring& mark, int userId) {
    const RowValues values = RowValues()
                                 .Int(L"UserId", userId)
                                 .Int(L"UserId", userId)
                                 .Int(L"DocId", docId)
                                 .Text(L"PendingFile", mark);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    return BOAccess::Accessor(owner)->ExecuteSql(
        rs,
        std::wstring(L"insert into ZUB_AuditTrail (EventTime, UserId, UserName, Action, DocRepoId, "
                     L"DocId, phyUrl, Name, Ext, Version, Detail) select getdate(), ?, ") +
            kUserName +
            L", 'delete', DocRepoId, DocId, phyUrl, Name, Ext, CurrentVersion, '' "
            L"from QV_DMDoc where DocId = ? and PendingFile = ?",
        values, kNone, 0, 0);
}

}  // namespace DRM
