#include "docvault/useradmin.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/auditrow.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/rowparams.h"
#include "internal/rowvalues.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/useradmin";

// Which numbers mean "a unique index refused the row" (SQLite's unique and
// primary-key constraint codes).
bool IsUniqueViolation(long number) { return number == 2067 || number == 1555; }

}  // namespace

int UserAdmin::RemoveUser(int userId, int actorId, bool& deactivated) {
    deactivated = false;
    return OperationScope::Run(*this, kFile, L"DRM::UserAdmin::RemoveUser", [&] {
        ZUBDB::CDBAccessor& db = *Accessor();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        auto exec = [&](const wchar_t* sql, const RowValues& values) {
            return db.ExecuteSql(rs, sql, values, kNone, 0, 0) != 0 ? RecordDbError() : 0;
        };
        std::wstring name;
        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(&db);
        auto fail = [&](int rc) {
            db.RollbackTrans();
            return rc;
        };
        if (int rc = exec(L"select UserName from QV_User where UserId = ?",
                          RowValues().Int(L"UserId", userId)))
            return fail(rc);
        if (!HasRow(rs)) {
            db.RollbackTrans();
            RaiseUnknownError(Err::kUserOrDocTable, Err::kUserIdInvalidText);
            return Err::kUserOrDocTable;
        }
        name = rs->GetStringAt(0);
        rs.reset();
        // Erased only while no document names the user; the condition is
        // the statement's, so a check-out that commits first keeps the row.
        const RowValues ids =
            RowValues().Int(L"UserId", userId).Int(L"UserId", userId).Int(L"UserId", userId);
        if (int rc = exec(L"delete from QV_User where UserId = ? and not exists (select 1 from "
                          L"QV_DMDoc where CurrentOperatorId = ? or CreatorId = ?)",
                          ids))
            return fail(rc);
        if (int rc = exec(L"select count(*) from QV_User where UserId = ?",
                          RowValues().Int(L"UserId", userId)))
            return fail(rc);
        deactivated = HasRow(rs) && rs->GetIntAt(0, 0) > 0;
        rs.reset();
        if (deactivated) {
            if (int rc = exec(L"insert into ZUB_InactiveUser (UserId, Since) select ?, getdate() "
                              L"where not exists (select 1 from ZUB_InactiveUser where UserId = ?)",
                              RowValues().Int(L"UserId", userId).Int(L"UserId", userId)))
                return fail(rc);
        } else {
            for (const wchar_t* sql : {L"delete from QV_UserRole where UserId = ?",
                                       L"delete from QV_DMAuth where UserId = ?"})
                if (int rc = exec(sql, RowValues().Int(L"UserId", userId))) return fail(rc);
        }
        AuditRow entry;
        entry.userId = actorId;
        entry.action = deactivated ? L"user deactivate" : L"user remove";
        entry.name = name;
        if (entry.Insert(*this) != 0) return fail(RecordDbError());
        if (db.CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int UserAdmin::IsActive(int userId, bool& active) {
    active = true;
    return OperationScope::Run(*this, kFile, L"DRM::UserAdmin::IsActive", [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, L"select count(*) from ZUB_InactiveUser where UserId = ?",
                                   RowValues().Int(L"UserId", userId), kNone, 0, 0) != 0)
            return RecordDbError();
        active = !(HasRow(rs) && rs->GetIntAt(0, 0) > 0);
        return 0;
    });
}

int UserAdmin::RenameUser(int userId, const std::wstring& name, int actorId) {
    return Rename(L"QV_User", L"UserName", L"UserId", userId, name, actorId, L"user rename");
}

int UserAdmin::RenameRole(int roleId, const std::wstring& name, int actorId) {
    return Rename(L"QV_Role", L"RoleName", L"RoleId", roleId, name, actorId, L"role rename");
}

int UserAdmin::Rename(const wchar_t* table, const wchar_t* nameColumn, const wchar_t* idColumn,
                      int id, const std::wstring& name, int actorId, const wchar_t* action) {
    return OperationScope::Run(*this, kFile, L"DRM::UserAdmin::Rename", [&] {
        ZUBDB::CDBAccessor& db = *Accessor();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        const std::wstring t(table), n(nameColumn), i(idColumn);
        if (db.BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(&db);
        auto fail = [&](int rc) {
            db.RollbackTrans();
            return rc;
        };
        if (db.ExecuteSql(rs, L"select " + n + L" from " + t + L" where " + i + L" = ?",
                          RowValues().Int(idColumn, id), kNone, 0, 0) != 0)
            return fail(RecordDbError());
        if (!HasRow(rs)) {
            db.RollbackTrans();
            RaiseUnknownError(Err::kIdInvalid, Err::kNoMatchText);
            return Err::kIdInvalid;
        }
        const std::wstring old = rs->GetStringAt(0);
        rs.reset();
        if (db.ExecuteSql(rs, L"update " + t + L" set " + n + L" = ? where " + i + L" = ?",
                          RowValues().Text(nameColumn, name).Int(idColumn, id), kNone, 0, 0) != 0) {
            if (!IsUniqueViolation(db.errNumber())) return fail(RecordDbError());
            db.RollbackTrans();
            RaiseUnknownError(Err::kNameTaken,
                              zub::FormatBounded(1024, Err::kNameTakenText, name.c_str()));
            return Err::kNameTaken;
        }
        // A holder is shown by the name the row keeps.
        if (t == L"QV_User" &&
            db.ExecuteSql(rs,
                          L"update QV_DMDoc set CurrentOperatorName = ? where CurrentOperatorId "
                          L"= ? and CurrentState = 1",
                          RowValues().Text(L"CurrentOperatorName", name).Int(L"UserId", id), kNone,
                          0, 0) != 0)
            return fail(RecordDbError());
        AuditRow entry;
        entry.userId = actorId;
        entry.action = action;
        entry.name = name;
        entry.detail = old;
        if (entry.Insert(*this) != 0) return fail(RecordDbError());
        if (db.CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int UserAdmin::RemoveRole(int roleId, int actorId) {
    return OperationScope::Run(*this, kFile, L"DRM::UserAdmin::RemoveRole", [&] {
        ZUBDB::CDBAccessor& db = *Accessor();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (db.BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(&db);
        auto fail = [&](int rc) {
            db.RollbackTrans();
            return rc;
        };
        if (db.ExecuteSql(rs, L"select RoleName from QV_Role where RoleId = ?",
                          RowValues().Int(L"RoleId", roleId), kNone, 0, 0) != 0)
            return fail(RecordDbError());
        if (!HasRow(rs)) {
            db.RollbackTrans();
            RaiseUnknownError(Err::kIdInvalid, Err::kNoMatchText);
            return Err::kIdInvalid;
        }
        AuditRow entry;
        entry.userId = actorId;
        entry.action = L"role remove";
        entry.name = rs->GetStringAt(0);
        rs.reset();
        // The rights it carried go with it.
        for (const wchar_t* sql :
             {L"delete from QV_UserRole where RoleId = ?",
              L"delete from QV_DMAuth where RoleId = ?", L"delete from QV_Role where RoleId = ?"})
            if (db.ExecuteSql(rs, sql, RowValues().Int(L"RoleId", roleId), kNone, 0, 0) != 0)
                return fail(RecordDbError());
        if (entry.Insert(*this) != 0) return fail(RecordDbError());
        if (db.CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int UserAdmin::SetMember(int userId, int roleId, bool member, int actorId) {
    return OperationScope::Run(*this, kFile, L"DRM::UserAdmin::SetMember", [&] {
        ZUBDB::CDBAccessor& db = *Accessor();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (db.BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(&db);
        auto fail = [&](int rc) {
            db.RollbackTrans();
            return rc;
        };
        const RowValues pair = RowValues().Int(L"UserId", userId).Int(L"RoleId", roleId);
        const RowValues twice = RowValues()
                                    .Int(L"UserId", userId)
                                    .Int(L"RoleId", roleId)
                                    .Int(L"UserId", userId)
                                    .Int(L"RoleId", roleId);
        // Already so: nothing to change or to record.
        if (db.ExecuteSql(rs, L"select count(*) from QV_UserRole where UserId = ? and RoleId = ?",
                          pair, kNone, 0, 0) != 0)
            return fail(RecordDbError());
        if ((HasRow(rs) && rs->GetIntAt(0, 0) > 0) == member) {
            db.RollbackTrans();
            return 0;
        }
        rs.reset();
        const int rc =
            member ? db.ExecuteSql(rs,
                                   L"insert into QV_UserRole (UserId, RoleId) select ?, ? where "
                                   L"not exists (select 1 from QV_UserRole where UserId = ? and "
                                   L"RoleId = ?)",
                                   twice, kNone, 0, 0)
                   : db.ExecuteSql(rs, L"delete from QV_UserRole where UserId = ? and RoleId = ?",
                                   pair, kNone, 0, 0);
        if (rc != 0) return fail(RecordDbError());
        if (db.ExecuteSql(rs,
                          L"select (select UserName from QV_User where UserId = ?), (select "
                          L"RoleName from QV_Role where RoleId = ?)",
                          pair, kNone, 0, 0) != 0)
            return fail(RecordDbError());
        AuditRow entry;
        entry.userId = actorId;
        entry.action = member ? L"role member add" : L"role member remove";
        entry.name = HasRow(rs) ? rs->GetStringAt(1) : std::wstring();
        entry.detail = HasRow(rs) ? rs->GetStringAt(0) : std::wstring();
        rs.reset();
        if (entry.Insert(*this) != 0) return fail(RecordDbError());
        if (db.CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

}  // namespace DRM
