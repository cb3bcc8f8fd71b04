#include "docvault/docrepos.h"

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/docrepos";

}  // namespace

int DocRepos::GetAll() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepos::GetAll", [&] {
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMRepo",
                                   L"DocRepoId,VersionStraId,Name,Server,Port,Directory,CreatorId,"
                                   L"CreatorName",
                                   none, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        return rs ? Fill(*rs) : 0;
    });
}

int DocRepos::GetAll(int userId) {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepos::GetAll", [&] {
        const std::wstring id = std::to_wstring(userId);
        const std::wstring sql =
            L"select DocRepoId,VersionStraId,Name,Server,Port,Directory,CreatorId,CreatorName"
            L" from QV_DMRepo where docRepoId in "
            L"(select distinct DocRepoId from qv_DMAuth where (UserId = " +
            id + L" or roleId in (select roleId from QV_UserRole where UserId = " + id + L" )))";
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, sql, none, kNone, 0, 0) != 0) return RecordDbError();
        return rs ? Fill(*rs) : 0;
    });
}

int DocRepos::Fill(ZUBDB::CDBRecordset& rs) {
    // Creator and creator name are not part of a listed repository.
    for (; !rs.IsEOF(); rs.MoveNext()) {
        Add(new DocRepo(static_cast<int>(rs.GetIntAt(0)), rs.GetStringAt(2), rs.GetStringAt(3),
                        static_cast<int>(rs.GetIntAt(4)), rs.GetStringAt(5),
                        static_cast<int>(rs.GetIntAt(1))));
    }
    return 0;
}

}  // namespace DRM
