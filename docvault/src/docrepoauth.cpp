#include "docvault/docrepoauth.h"

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "internal/operation.h"
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
    return OperationScope::Run(*this, L"src/docrepoauth", L"DRM::DocRepoAuth::Save", [&] {
        ZUBDB::QVParams values(false);
        AddInt(values, L"DocRepoId", docRepoId_);
        AddInt(values, L"UserOrRole", byRoleOrByUser_);
        AddInt(values, L"UserId", userId_);
        AddInt(values, L"RoleId", roleId_);
        AddInt(values, L"[Read]", read_);
        AddInt(values, L"Write", write_);
        AddInt(values, L"Manage", manage_);
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
