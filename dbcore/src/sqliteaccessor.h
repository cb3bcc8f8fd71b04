// The accessor of the embedded store: one SQLite connection to one database
// file. Errors carry the SQLite extended result code as number, and the
// engine's message with the statement as description. No exception leaves an
// operation: anything else thrown inside (memory, a translated fault) comes
// back as SQLITE_NOMEM or SQLITE_ERROR with its text.
//
// The SQL Server dialect the library speaks works here: getdate() gives the
// local time as an OLE date, [bracketed] names and casts to numeric(p,s) are
// native, and "Name arg,arg" runs a procedure of the database's definition.
//
// Units of work: a write (or a writing procedure) opens one with BEGIN
// IMMEDIATE when none is open, so concurrent writers queue on the busy
// timeout instead of failing. A failing statement that opened the unit rolls
// it back at once; inside an earlier unit it leaves the unit open for the
// caller's RollbackTrans. Reads finish their statement before returning.
#pragma once

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/databasedefinition.h"

namespace ZUBDB {

class SqliteAccessor : public CDBAccessor {
public:
    // Opens an existing database file and brings it up to date with its
    // definition, which must be given; throws SqliteError when it cannot.
    SqliteAccessor(const std::string& path, std::shared_ptr<const DatabaseDefinition> definition);
    ~SqliteAccessor() override;
    SqliteAccessor(const SqliteAccessor&) = delete;
    SqliteAccessor& operator=(const SqliteAccessor&) = delete;

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

    // Whether a unit of work is open on this connection.
    bool InTransaction() const;
    const std::string& Path() const;

private:
    struct Impl;
    template <class Work>
    int Run(Work&& work);

    std::unique_ptr<Impl> impl_;
};

}  // namespace ZUBDB
