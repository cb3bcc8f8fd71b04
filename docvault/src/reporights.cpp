#include "docvault/reporights.h"

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/auditrow.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/rowparams.h"
#include "internal/rowvalues.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/reporights";

// UserOrRole of a row, as repositories write their creator's row.
constexpr int kUserRow = 0;
constexpr int kRoleRow = 1;

struct Rights {
    bool read = false;
    bool write = false;
    bool manage = false;

    bool operator==(const Rights&) const = default;
    std::wstring Show() const {
        return std::wstring(read ? L"r" : L"-") + (write ? L"w" : L"-") + (manage ? L"m" : L"-");
    }
};

}  // namespace

int RepoRights::Set(int docRepoId, bool role, int id, int read, int write, int manage, int actorId,
                    bool& changed) {
    changed = false;
    return OperationScope::Run(*this, kFile, L"DRM::RepoRights::Set", [&] {
        ZUBDB::CDBAccessor& db = *Accessor();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        auto exec = [&](const std::wstring& sql, const RowValues& values) {
            rs.reset();
            return db.ExecuteSql(rs, sql, values, kNone, 0, 0) != 0 ? RecordDbError() : 0;
        };
        if (db.BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(&db);
        auto refuse = [&](int number, const wchar_t* text) {
            db.RollbackTrans();
            RaiseUnknownError(number, text);
            return number;
        };
        auto fail = [&](int rc) {
            db.RollbackTrans();
            return rc;
        };

        if (int rc = exec(L"select count(*) from QV_DMRepo where DocRepoId = ?",
                          RowValues().Int(L"DocRepoId", docRepoId)))
            return fail(rc);
        if (!(HasRow(rs) && rs->GetIntAt(0, 0) > 0))
            return refuse(Err::kRepoMissing, Err::kRepoMissingText);

        if (int rc = exec(role ? L"select RoleName from QV_Role where RoleId = ?"
                               : L"select UserName from QV_User where UserId = ?",
                          RowValues().Int(role ? L"RoleId" : L"UserId", id)))
            return fail(rc);
        if (!HasRow(rs))
            return role ? refuse(Err::kIdInvalid, Err::kNoMatchText)
                        : refuse(Err::kUserOrDocTable, Err::kUserIdInvalidText);
        const std::wstring name = rs->GetStringAt(0);

        if (!administrator_) {
            if (int rc = exec(L"select count(*) from QV_DMAuth where DocRepoId = ? and Manage <> 0 "
                              L"and (UserId = ? or (RoleId <> 0 and RoleId in "
                              L"(select RoleId from QV_UserRole where UserId = ?)))",
                              RowValues()
                                  .Int(L"DocRepoId", docRepoId)
                                  .Int(L"UserId", actorId)
                                  .Int(L"UserId", actorId)))
                return fail(rc);
            if (!(HasRow(rs) && rs->GetIntAt(0, 0) > 0))
                return refuse(Err::kNotAllowed, Err::kNotAllowedRightsText);
        }

        // The holder's own rows only: a user's rights through roles stay.
        const std::wstring own = role ? L"DocRepoId = ? and RoleId = ? and UserId = 0"
                                      : L"DocRepoId = ? and UserId = ? and RoleId = 0";
        const RowValues key =
            RowValues().Int(L"DocRepoId", docRepoId).Int(role ? L"RoleId" : L"UserId", id);
        if (int rc = exec(L"select [Read], Write, Manage from QV_DMAuth where " + own, key))
            return fail(rc);
        Rights before;
        for (; HasRow(rs); rs->MoveNext()) {
            before.read = before.read || rs->GetIntAt(0, 0) != 0;
            before.write = before.write || rs->GetIntAt(1, 0) != 0;
            before.manage = before.manage || rs->GetIntAt(2, 0) != 0;
        }
        const Rights after{read != 0, write != 0, manage != 0};
        if (before == after) {
            db.RollbackTrans();
            return 0;
        }

        if (int rc = exec(L"delete from QV_DMAuth where " + own, key)) return fail(rc);
        if (after != Rights{}) {
            const RowValues row = RowValues()
                                      .Int(L"DocRepoId", docRepoId)
                                      .Int(L"UserId", role ? 0 : id)
                                      .Int(L"RoleId", role ? id : 0)
                                      .Int(L"UserOrRole", role ? kRoleRow : kUserRow)
                                      .Int(L"[Read]", after.read ? 1 : 0)
                                      .Int(L"Write", after.write ? 1 : 0)
                                      .Int(L"Manage", after.manage ? 1 : 0);
            if (int rc = exec(L"insert into QV_DMAuth (DocRepoId, UserId, RoleId, UserOrRole, "
                              L"[Read], Write, Manage) values (?, ?, ?, ?, ?, ?, ?)",
                              row))
                return fail(rc);
        }
        rs.reset();

        AuditRow entry;
        entry.userId = actorId;
        entry.action = after == Rights{} ? L"rights revoke" : L"rights grant";
        entry.docRepoId = docRepoId;
        entry.detail = std::wstring(role ? L"role " : L"user ") + name + L": " + before.Show() +
                       L" -> " + after.Show();
        if (entry.Insert(*this) != 0) return fail(RecordDbError());
        if (db.CommitTrans() != 0) return RollBackAndRecord();
        changed = true;
        return 0;
    });
}

}  // namespace DRM
