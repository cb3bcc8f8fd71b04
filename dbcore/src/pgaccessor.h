// The accessor of a store on a PostgreSQL server: one libpq connection to one
// database. Errors carry PgError's numbers and a text naming the server.
//
// Units of work behave as the embedded store's: a write opens one when none
// is open, and every unit first takes the store's writer lock in the
// database, so a check made inside a unit holds until its commit, on any
// number of workstations. A failing statement inside a unit is undone alone
// (each runs under a savepoint sent in the same round trip), so the unit
// goes on as the embedded store's does; one that opened the unit ends it.
// BeginTrans sends nothing: the unit's BEGIN and lock go with its first
// statement, and a write can carry the unit's COMMIT (CommitWithNextWrite).
//
// A lost connection fails the operation under way (the server rolls back the
// open unit) and the next operation connects again; one lost while idle, with
// no unit open, is replaced by the next operation without failing it.
//
// Connecting brings the database up to date in one transaction under a lock
// in the database, so workstations connecting at once upgrade it once.
#pragma once

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/databasedefinition.h"
#include "pgbackend.h"

namespace ZUBDB {

class PgAccessor : public CDBAccessor {
public:
    // Connects and brings the database up to date; throws PgError.
    PgAccessor(PgTarget target, std::shared_ptr<const DatabaseDefinition> definition);
    ~PgAccessor() override;
    PgAccessor(const PgAccessor&) = delete;
    PgAccessor& operator=(const PgAccessor&) = delete;

    int InsertRow(const std::wstring& table, const QVParams& values, const std::wstring& s1,
                  const std::wstring& s2) override;
    int UpdateRows(const std::wstring& table, const QVParams& values, const QVParams& conditions,
                   const std::wstring& s1, const std::wstring& s2) override;
    int DeleteRows(const std::wstring& table, const QVParams& conditions, const std::wstring& s1,
                   const std::wstring& s2) override;
    int SelectRows(std::unique_ptr<CDBRecordset>& out, const std::wstring& table,
                   const std::wstring& columns, const QVParams& conditions,
                   const std::wstring& order, const std::wstring& s1, const std::wstring& s2,
                   int n1, int n2) override;
    int ExecuteSql(std::unique_ptr<CDBRecordset>& out, const std::wstring& sql,
                   const QVParams& params, const std::wstring& s1, int n1, int n2) override;
    int BeginTrans() override;
    int CommitTrans() override;
    int RollbackTrans() override;
    long long LastInsertId() const override;
    long long RowsAffected() const override;
    void CommitWithNextWrite() override;
    void ReadAhead(const std::vector<CDBRead>& reads) override;

    bool InTransaction() const;
    // Round trips to the server so far, the connection's set-up not counted.
    long long RoundTrips() const;

private:
    struct Impl;
    template <class Work>
    int Run(Work&& work);

    std::unique_ptr<Impl> impl_;
};

}  // namespace ZUBDB
