#include "docvault/audittrail.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/doc.h"
#include "docvault/errors.h"
#include "internal/operation.h"
#include "internal/rowparams.h"
#include "internal/rowvalues.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/audittrail";
constexpr const wchar_t* kColumns =
    L"select AuditId, EventTime, UserId, UserName, Action, DocRepoId, DocId, phyUrl, Name, Ext, "
    L"Version, Detail from ZUB_AuditTrail a";

void ReadEntries(ZUBDB::CDBRecordset& rs, std::vector<AuditEntry>& entries) {
    for (; !rs.IsEOF(); rs.MoveNext()) {
        AuditEntry e;
        e.id = static_cast<int>(rs.GetIntAt(0));
        e.time = rs.GetDoubleAt(1);
        e.userId = static_cast<int>(rs.GetIntAt(2));
        e.userName = rs.GetStringAt(3);
        e.action = rs.GetStringAt(4);
        e.docRepoId = static_cast<int>(rs.GetIntAt(5));
        e.docId = static_cast<int>(rs.GetIntAt(6));
        e.phyUrl = rs.GetStringAt(7);
        e.name = rs.GetStringAt(8);
        e.ext = rs.GetStringAt(9);
        e.version = rs.GetStringAt(10);
        e.detail = rs.GetStringAt(11);
        entries.push_back(std::move(e));
    }
}

}  // namespace

int AuditTrail::GetAll(const filterForAudit& filter, std::vector<AuditEntry>& entries) {
    return OperationScope::Run(*this, kFile, L"DRM::AuditTrail::GetAll", [&] {
        std::wstring sql = std::wstring(kColumns) + L" where 1 = 1";
        RowValues values;
        if (filter.docRepoId != 0) {
            sql += L" and DocRepoId = ?";
            values.Int(L"DocRepoId", filter.docRepoId);
        }
        if (filter.docId != 0) {
            sql += L" and DocId = ?";
            values.Int(L"DocId", filter.docId);
        }
        if (!filter.userName.empty()) {
            sql += L" and UserName = ? collate nocase";
            values.Text(L"UserName", filter.userName);
        }
        if (filter.since > 0.0) {
            // The bound is a whole second count in text: the values bind as text or integers.
            sql += L" and EventTime >= cast(? as real) / 86400.0";
            values.Int(L"EventTime", static_cast<long long>(filter.since * 86400.0));
        }
        sql += L" order by AuditId";
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, sql, values, kNone, 0, 0) != 0) return RecordDbError();
        if (rs) ReadEntries(*rs, entries);
        return 0;
    });
}

int AuditTrail::GetDeleted(int docRepoId, std::vector<AuditEntry>& entries) {
    return OperationScope::Run(*this, kFile, L"DRM::AuditTrail::GetDeleted", [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs,
                                   std::wstring(kColumns) +
                                       L" where Action = 'delete' and DocRepoId = ? and not exists "
                                       L"(select 1 from QV_DMDoc d where d.DocId = a.DocId) "
                                       L"order by AuditId desc",
                                   RowValues().Int(L"DocRepoId", docRepoId), kNone, 0, 0) != 0)
            return RecordDbError();
        if (rs) ReadEntries(*rs, entries);
        return 0;
    });
}

int AuditTrail::ReadDeleted(int docId, Doc& doc) {
    return OperationScope::Run(*this, kFile, L"DRM::AuditTrail::ReadDeleted", [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs,
                                   std::wstring(kColumns) +
                                       L" where Action = 'delete' and DocId = ? and not exists "
                                       L"(select 1 from QV_DMDoc d where d.DocId = a.DocId)",
                                   RowValues().Int(L"DocId", docId), kNone, 0, 0) != 0)
            return RecordDbError();
        std::vector<AuditEntry> found;
        if (rs) ReadEntries(*rs, found);
        if (found.empty()) {
            RaiseUnknownError(Err::kDocMissing,
                              zub::FormatBounded(256, Err::kDocMissingText, docId));
            return Err::kDocMissing;
        }
        const AuditEntry& e = found.front();
        doc.set_id(e.docId);
        doc.set_docRepoId(e.docRepoId);
        doc.set_fileName(e.name);
        doc.set_ext(e.ext);
        doc.set_phyUrl(e.phyUrl);
        doc.set_currentVersion(e.version);
        doc.set_state(0);
        doc.set_lstUptById(e.userId);
        doc.set_lstUptByName(e.userName);
        doc.set_lstUptTime(e.time);
        return 0;
    });
}

}  // namespace DRM
