#include "recording_accessor.h"

#include <utility>

#include "recording_db.h"

namespace zub::docvault::test {
namespace {

std::vector<ZUBDB::QVParam> ToVector(const ZUBDB::QVParams& list) {
    return std::vector<ZUBDB::QVParam>(list.begin(), list.end());
}

DbCall MakeCall(std::wstring op, std::wstring table) {
    DbCall call;
    call.op = std::move(op);
    call.table = std::move(table);
    return call;
}

}  // namespace

int RecordingAccessor::Run(DbCall call) {
    long number = 0;
    std::wstring text;
    if (!db_.Record(std::move(call), number, text)) return 0;
    SetError(number, text);
    // A failure must never read as success, whatever number the test chose.
    return static_cast<int>(number) != 0 ? static_cast<int>(number) : 1;
}

int RecordingAccessor::InsertRow(const std::wstring& table, const ZUBDB::QVParams& values,
                                 const std::wstring&, const std::wstring&) {
    DbCall call = MakeCall(L"InsertRow", table);
    call.values = ToVector(values);
    return Run(std::move(call));
}

int RecordingAccessor::UpdateRows(const std::wstring& table, const ZUBDB::QVParams& values,
                                  const ZUBDB::QVParams& conditions, const std::wstring&,
                                  const std::wstring&) {
    DbCall call = MakeCall(L"UpdateRows", table);
    call.values = ToVector(values);
    call.conditions = ToVector(conditions);
    return Run(std::move(call));
}

int RecordingAccessor::DeleteRows(const std::wstring& table, const ZUBDB::QVParams& conditions,
                                  const std::wstring&, const std::wstring&) {
    DbCall call = MakeCall(L"DeleteRows", table);
    call.conditions = ToVector(conditions);
    return Run(std::move(call));
}

int RecordingAccessor::SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out,
                                  const std::wstring& table, const std::wstring& columns,
                                  const ZUBDB::QVParams& conditions, const std::wstring& order,
                                  const std::wstring&, const std::wstring&, int, int) {
    out.reset();
    DbCall call = MakeCall(L"SelectRows", table);
    call.columns = columns;
    call.order = order;
    call.conditions = ToVector(conditions);
    if (int rc = Run(std::move(call)); rc != 0) return rc;
    out = std::make_unique<ZUBDB::CDBRecordset>(db_.Answer(table));
    return 0;
}

int RecordingAccessor::ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out,
                                  const std::wstring& sql, const ZUBDB::QVParams& params,
                                  const std::wstring&, int, int) {
    out.reset();
    DbCall call = MakeCall(L"ExecuteSql", sql);
    call.values = ToVector(params);
    if (int rc = Run(std::move(call)); rc != 0) return rc;
    out = std::make_unique<ZUBDB::CDBRecordset>(db_.Answer(sql));
    return 0;
}

int RecordingAccessor::BeginTrans() { return Run(MakeCall(L"BeginTrans", L"")); }

int RecordingAccessor::CommitTrans() { return Run(MakeCall(L"CommitTrans", L"")); }

int RecordingAccessor::RollbackTrans() { return Run(MakeCall(L"RollbackTrans", L"")); }

long long RecordingAccessor::LastInsertId() const { return db_.lastInsertId; }

}  // namespace zub::docvault::test
