#include "docvault/docrepoauth.h"

#include <memory>
#include <string>

#include "docvault/operation.h"
#include "internal/rowparams.h"

namespace DRM {

DocRepoAuth::DocRepoAuth(int id, int docRepoId, int userId, int roleId, int byRoleOrByUser,
                         int read, int write, int manage, std::wstring roleOrUserName)
    : id_(id),
      docRepoId_(docRepoId),
      userId_(userId),
      roleId_(roleId),
      byRoleOrByUser_(byRoleOrByUser),
      read_(read),
      write_(write),
      manage_(manage),
      roleOrUserName_(std::move(roleOrUserName)) {
    SetKey(std::to_wstring(docRepoId_));
}

int DocRepoAuth::Save() {
    return OperationScope::Run(*this, L"src/docrepoauth", L"DRM::DocRepoAuth::Save", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"DocRepoId", docRepoId_, false, kEq);
        values.AddParam(1, L"UserOrRole", byRoleOrByUser_, false, kEq);
        values.AddParam(2, L"UserId", userId_, false, kEq);
        values.AddParam(3, L"RoleId", roleId_, false, kEq);
        values.AddParam(4, L"[Read]", read_, false, kEq);
        values.AddParam(5, L"Write", write_, false, kEq);
        values.AddParam(6, L"Manage", manage_, false, kEq);
        if (Accessor()->InsertRow(L"QV_DMAuth", values, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();

        // The newest row with exactly these values.
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMAuth", L"max(authId)", values, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        if (HasRow(rs)) id_ = static_cast<int>(InsertedId(rs->GetIntAt(0)));
        return 0;
    });
}

}  // namespace DRM
