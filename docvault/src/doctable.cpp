#include "internal/doctable.h"

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "internal/pendingunit.h"
#include "internal/readahead.h"
#include "internal/rowvalues.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kDocTable = L"QV_DMDoc";
constexpr const wchar_t* kHistoryTable = L"QV_DMDocVer";

}  // namespace

ZUBDB::CDBRead DocTable::RowRead(int docId, const std::wstring& columns) {
    ZUBDB::CDBRead read;
    read.table = kDocTable;
    read.columns = columns;
    AddInt(read.params, L"DocId", docId);
    return read;
}

int DocTable::Read(std::unique_ptr<ZUBDB::CDBRecordset>& rs, int docId,
                   const std::wstring& columns) const {
    return ReadAhead::Make(owner_, RowRead(docId, columns), rs);
}

int DocTable::Select(std::unique_ptr<ZUBDB::CDBRecordset>& rs, const std::wstring& columns,
                     const ZUBDB::QVParams& where) const {
    return BOAccess::Accessor(owner_)->SelectRows(rs, kDocTable, columns, where, kNone, kNone,
                                                  kNone, 0, 0);
}

int DocTable::SelectHistory(std::unique_ptr<ZUBDB::CDBRecordset>& rs, const std::wstring& columns,
                            const ZUBDB::QVParams& where) const {
    return BOAccess::Accessor(owner_)->SelectRows(rs, kHistoryTable, columns, where, kNone, kNone,
                                                  kNone, 0, 0);
}

int DocTable::Insert(const ZUBDB::QVParams& values) const {
    return BOAccess::Accessor(owner_)->InsertRow(kDocTable, values, kNone, kNone);
}

int DocTable::InsertHistory(const ZUBDB::QVParams& values) const {
    return BOAccess::Accessor(owner_)->InsertRow(kHistoryTable, values, kNone, kNone);
}

int DocTable::Update(const ZUBDB::QVParams& values, const ZUBDB::QVParams& where) const {
    return BOAccess::Accessor(owner_)->UpdateRows(kDocTable, values, where, kNone, kNone);
}

int DocTable::Delete(const ZUBDB::QVParams& where) const {
    return BOAccess::Accessor(owner_)->DeleteRows(kDocTable, where, kNone, kNone);
}

int DocTable::Commit() const { return BOAccess::Accessor(owner_)->CommitTrans(); }

int DocTable::UpdateIfStill(int docId, const ZUBDB::QVParams& values, const ZUBDB::QVParams& only,
                            const Judge& judge) const {
    ZUBDB::CDBAccessor* db = BOAccess::Accessor(owner_);
    if (Update(values, only) != 0) return BOAccess::RecordDbError(owner_);
    // The update took effect: every judge accepts the row it left, so it
    // need not be read back. Only a refusal needs the row to say why.
    if (db->RowsAffected() == 1) return 0;
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Read(rs, docId) != 0) return BOAccess::RecordDbError(owner_);
    if (!HasRow(rs)) {
        BOAccess::RaiseUnknownError(owner_, Err::kDocMissing,
                                    zub::FormatBounded(256, Err::kDocMissingText, docId));
        return Err::kDocMissing;
    }
    return judge(*rs);
}

int DocTable::ConditionalUpdate(int docId, const ZUBDB::QVParams& values,
                                const ZUBDB::QVParams& only, const Judge& judge) const {
    ZUBDB::CDBAccessor* db = BOAccess::Accessor(owner_);
    if (db->BeginTrans() != 0) return BOAccess::RecordDbError(owner_);
    PendingUnit unit(db);
    if (int rc = UpdateIfStill(docId, values, only, judge)) {
        db->RollbackTrans();
        return rc;
    }
    if (db->CommitTrans() != 0) return BOAccess::RollBackAndRecord(owner_);
    return 0;
}

}  // namespace DRM
