#include "docvault/docrepoauths.h"

#include <memory>
#include <string>

#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/rowparams.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/docrepoauths";
constexpr const wchar_t* kAuthTable = L"QV_DMAuth";

// Empties the collection when the unit of work is over, however it ended.
class ClearOnExit {
public:
    explicit ClearOnExit(ZUBDB::BOs& bos) : bos_(bos) {}
    ~ClearOnExit() { bos_.Clear(); }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    ZUBDB::BOs& bos_;
};

}  // namespace

int DocRepoAuths::Select() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepoAuths::Select", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", filter_.docRepoId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_v_DMAuthSet",
                                   L"authId,DocRepoId,UserId,RoleId,UserOrRole,[Read],Write,Manage,"
                                   L"UserName",
                                   cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kNoMatch, Err::kNoMatchText);
            return Err::kNoMatch;
        }
        for (; !rs->IsEOF(); rs->MoveNext()) {
            Add(new DocRepoAuth(
                static_cast<int>(rs->GetIntAt(0)), static_cast<int>(rs->GetIntAt(1)),
                static_cast<int>(rs->GetIntAt(2)), static_cast<int>(rs->GetIntAt(3)),
                static_cast<int>(rs->GetIntAt(4)), static_cast<int>(rs->GetIntAt(5)),
                static_cast<int>(rs->GetIntAt(6)), static_cast<int>(rs->GetIntAt(7)),
                rs->GetStringAt(8)));
        }
        return 0;
    });
}

int DocRepoAuths::Select(int userId) {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepoAuths::Select", [&] {
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, L"QV_p_DMGetUserAuths " + std::to_wstring(userId), none,
                                   kNone, 0, 0) != 0)
            return RecordDbError();
        // One row per repository: its id, then read, write and manage in 2..4.
        for (; HasRow(rs); rs->MoveNext()) {
            Add(new DocRepoAuth(0, static_cast<int>(rs->GetIntAt(0)), userId, 0, 1,
                                static_cast<int>(rs->GetIntAt(2)),
                                static_cast<int>(rs->GetIntAt(3)),
                                static_cast<int>(rs->GetIntAt(4)), L""));
        }
        return 0;
    });
}

int DocRepoAuths::Delete() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepoAuths::Delete", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", filter_.docRepoId);
        if (Accessor()->DeleteRows(kAuthTable, cond, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        Clear();
        return 0;
    });
}

int DocRepoAuths::Save() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepoAuths::Save", [&] {
        ClearOnExit clear(*this);
        PendingUnit unit(Accessor());
        ZUBDB::QVParams values(false);
        for (int i = 0; i < Count(); ++i) {
            const DocRepoAuth& auth = *Auth(i);
            values.Clear();
            AddInt(values, L"DocRepoId", auth.docRepoId());
            AddInt(values, L"UserId", auth.userId());
            AddInt(values, L"RoleId", auth.roleId());
            AddInt(values, L"UserOrRole", auth.byRoleOrByUser());
            AddInt(values, L"[Read]", auth.read());
            AddInt(values, L"Write", auth.write());
            AddInt(values, L"Manage", auth.manage());
            if (Accessor()->InsertRow(kAuthTable, values, kNone, kNone) != 0)
                return RollBackAndRecord();
        }
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

}  // namespace DRM
