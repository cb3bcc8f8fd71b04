// The accessor the "rec" backend hands out: forwards every call to RecordingDb.
#pragma once

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"

namespace zub::docvault::test {

class RecordingDb;
struct DbCall;

class RecordingAccessor : public ZUBDB::CDBAccessor {
public:
    explicit RecordingAccessor(RecordingDb& db) : db_(db) {}

    int InsertRow(const std::wstring& table, const ZUBDB::QVParams& values, const std::wstring& s1,
                  const std::wstring& s2) override;
    int UpdateRows(const std::wstring& table, const ZUBDB::QVParams& values,
                   const ZUBDB::QVParams& conditions, const std::wstring& s1,
                   const std::wstring& s2) override;
    int DeleteRows(const std::wstring& table, const ZUBDB::QVParams& conditions,
                   const std::wstring& s1, const std::wstring& s2) override;
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& table,
                   const std::wstring& columns, const ZUBDB::QVParams& conditions,
                   const std::wstring& order, const std::wstring& s1, const std::wstring& s2,
                   int n1, int n2) override;
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& sql,
                   const ZUBDB::QVParams& params, const std::wstring& s1, int n1, int n2) override;
    int BeginTrans() override;
    int CommitTrans() override;
    int RollbackTrans() override;
    long long LastInsertId() const override;

private:
    // Records the call; non-zero (with the error set) when it is to fail.
    int Run(DbCall call);

    RecordingDb& db_;
};

}  // namespace zub::docvault::test
