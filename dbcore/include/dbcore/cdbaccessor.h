// One database connection. Every operation returns 0 on success, else non-zero
// with errNumber()/errDescription() describing the failure (the backend's code
// and message and the statement).
//
// Transactions: the statements since the last commit are one unit. A write
// opens a transaction implicitly when none is open; CommitTrans/RollbackTrans
// end it. A failing write ends the implicit transaction it opened. A read
// outside a transaction never leaves one open. Destroying an accessor with
// uncommitted writes rolls them back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbread.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"

namespace ZUBDB {

class CDBAccessor {
public:
    virtual ~CDBAccessor() = default;

    virtual int InsertRow(const std::wstring& table, const QVParams& values, const std::wstring& s1,
                          const std::wstring& s2) = 0;
    virtual int UpdateRows(const std::wstring& table, const QVParams& values,
                           const QVParams& conditions, const std::wstring& s1,
                           const std::wstring& s2) = 0;
    virtual int DeleteRows(const std::wstring& table, const QVParams& conditions,
                           const std::wstring& s1, const std::wstring& s2) = 0;
    // columns: a comma list or expressions; empty selects every column.
    // order: an ORDER BY text ("phyurl asc"); empty for none.
    virtual int SelectRows(std::unique_ptr<CDBRecordset>& out, const std::wstring& table,
                           const std::wstring& columns, const QVParams& conditions,
                           const std::wstring& order, const std::wstring& s1,
                           const std::wstring& s2, int n1, int n2) = 0;
    // A query, or a procedure call written as "Name arg,arg"; "?" placeholders
    // are bound to the list's values in list order.
    virtual int ExecuteSql(std::unique_ptr<CDBRecordset>& out, const std::wstring& sql,
                           const QVParams& params, const std::wstring& s1, int n1, int n2) = 0;
    virtual int BeginTrans() = 0;
    virtual int CommitTrans() = 0;
    virtual int RollbackTrans() = 0;

    // Key of the row that this connection's last successful InsertRow created;
    // 0 when none. Unlike a max() read-back it is not disturbed by other clients.
    virtual long long LastInsertId() const = 0;

    // Rows this connection's last successful UpdateRows or DeleteRows changed;
    // -1 when the backend does not tell.
    virtual long long RowsAffected() const { return -1; }
    // The next write commits the unit it runs in when it succeeds (when it
    // fails, the unit stays as after any failed write). A backend that pays a
    // round trip per call sends the commit with the write, and the caller's
    // CommitTrans then finds nothing left to do; others commit at CommitTrans
    // as always. CommitTrans and RollbackTrans take the request back.
    virtual void CommitWithNextWrite() {}
    // The reads the caller makes next, outside a unit of work, sent at once
    // by a backend that pays a round trip per call. The next reads made,
    // exactly these in this order, are answered from what came back then;
    // any other call, or an empty list, drops what is left. Nothing is
    // reported here: a read that failed ahead is made again by its call.
    virtual void ReadAhead(const std::vector<CDBRead>& /*reads*/) {}

    long errNumber() const { return errNumber_; }
    const std::wstring& errDescription() const { return errDescription_; }

protected:
    void SetError(long number, std::wstring description) {
        errNumber_ = number;
        errDescription_ = std::move(description);
    }

private:
    long errNumber_ = 0;
    std::wstring errDescription_;
};

}  // namespace ZUBDB
