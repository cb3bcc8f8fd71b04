// A recording accessor that throws from chosen statements, so tests reach the
// exception boundaries of operations.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "dbcore/cdbaccessorcreator.h"
#include "recording_accessor.h"
#include "recording_db.h"

namespace zub::docvault::test {

// An accessor of the recording database that throws from the selects and
// statements whose text contains `match`, to reach the operation boundaries.
class ThrowingAccessor : public ZUBDB::CDBAccessor {
public:
    ThrowingAccessor(RecordingDb& db, std::wstring match) : inner_(db), match_(std::move(match)) {}

    int InsertRow(const std::wstring& t, const ZUBDB::QVParams& v, const std::wstring& a,
                  const std::wstring& b) override {
        const int rc = inner_.InsertRow(t, v, a, b);
        if (rc != 0 && throwOnFailedInsert_) throw std::runtime_error("insert failed");
        return rc;
    }
    int UpdateRows(const std::wstring& t, const ZUBDB::QVParams& v, const ZUBDB::QVParams& c,
                   const std::wstring& a, const std::wstring& b) override {
        return inner_.UpdateRows(t, v, c, a, b);
    }
    int DeleteRows(const std::wstring& t, const ZUBDB::QVParams& c, const std::wstring& a,
                   const std::wstring& b) override {
        return inner_.DeleteRows(t, c, a, b);
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& t,
                   const std::wstring& cols, const ZUBDB::QVParams& c, const std::wstring& o,
                   const std::wstring& a, const std::wstring& b, int n1, int n2) override {
        if (t.find(match_) != std::wstring::npos) throw std::runtime_error("boom");
        return inner_.SelectRows(out, t, cols, c, o, a, b, n1, n2);
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& sql,
                   const ZUBDB::QVParams& p, const std::wstring& a, int n1, int n2) override {
        if (sql.find(match_) != std::wstring::npos) throw std::runtime_error("boom");
        return inner_.ExecuteSql(out, sql, p, a, n1, n2);
    }
    int BeginTrans() override { return inner_.BeginTrans(); }
    int CommitTrans() override { return inner_.CommitTrans(); }
    int RollbackTrans() override { return inner_.RollbackTrans(); }
    long long LastInsertId() const override { return inner_.LastInsertId(); }

    // Objects connected to L"recthrow:" get such an accessor.
    static void Register(const std::wstring& match) {
        ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
            L"recthrow",
            [match](const ZUBDB::QVSvrInfo&,
                    const std::wstring&) -> std::unique_ptr<ZUBDB::CDBAccessor> {
                return std::make_unique<ThrowingAccessor>(RecordingDb::Get(), match);
            });
    }

    // While set, an insert the recording database fails throws instead, to
    // reach the middle of a unit of work.
    static void ThrowOnFailedInsert(bool on) { throwOnFailedInsert_ = on; }

private:
    static inline bool throwOnFailedInsert_ = false;
    RecordingAccessor inner_;
    std::wstring match_;
};

}  // namespace zub::docvault::test
