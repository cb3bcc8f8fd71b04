// A database backend for contract tests: every accessor made for the server
// scheme "rec" records each call here and answers from queued record sets.
// Connect business objects with Connect(L"rec:", 0, L"QVData", L"tok").
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"

namespace zub::docvault::test {

// Where a staged name (".zub-stage-" and 16 hex digits) begins in `text`,
// at or after `from`; npos when there is none.
std::size_t FindStaged(const std::wstring& text, std::size_t from = 0);
inline constexpr std::size_t kStagedLength = 11 + 16;

struct DbCall {
    std::wstring
        op;  // "InsertRow","UpdateRows","DeleteRows","SelectRows","ExecuteSql","BeginTrans","CommitTrans","RollbackTrans"
    std::wstring table;                      // table name; for ExecuteSql the statement text
    std::wstring columns;                    // SelectRows column list
    std::wstring order;                      // SelectRows ordering text
    std::vector<ZUBDB::QVParam> values;      // InsertRow/UpdateRows values; ExecuteSql parameters
    std::vector<ZUBDB::QVParam> conditions;  // UpdateRows/DeleteRows/SelectRows conditions

    // One line:
    //   InsertRow QV_DMRepo 0:Name='r1' 1:Server='recfs:' 2:Port=0 ... 6:CreateTime=getdate()
    //   UpdateRows QV_DMRepo 0:Name='n' where 0:DocRepoId=5
    //   DeleteRows QV_DMAuth where 0:DocRepoId=5
    //   SelectRows QV_DMRepo (Directory) where 0:Server='rec:' order by phyurl asc
    //   ExecuteSql GetNewId ?,? 0:idName=3 1:n=1
    //   CommitTrans
    // Texts are quoted with ', raw expressions and integers are not; an empty
    // select column list shows as (); "where" and "order by" appear only when
    // there are conditions / an ordering.
    std::wstring Describe() const;
};

// A connection request the backend received.
struct DbConnection {
    std::wstring server;
    long port = 0;
    std::wstring database;
    std::wstring token;
};

class RecordingDb {
public:
    // Registers scheme "rec" with ZUBDB::CDBAccessorCreator (every accessor made for it records
    // here) and resets all state. Call in each test's SetUp.
    static RecordingDb& Install();
    // The installed instance (Install must have run).
    static RecordingDb& Get();

    std::vector<DbCall> calls;
    // Every CreateAccessor the backend answered (also those answered with null).
    std::vector<DbConnection> connections;

    // The next SelectRows/ExecuteSql whose table (or statement text) contains `match` returns `rs`
    // (queued FIFO per match; when the queue is empty an empty record set with no rows is
    // returned). Matches are tried in the order they were first registered; a failing call takes
    // nothing.
    void OnSelect(const std::wstring& match, ZUBDB::CDBRecordset rs);
    // The same, but in every text value ".zub-stage-N" becomes the staged
    // name (".zub-stage-" and 16 hex digits) last seen in a recorded call,
    // so an answer can echo a name with a random part.
    void OnSelectStaged(const std::wstring& match, std::vector<std::wstring> columns,
                        std::vector<std::vector<ZUBDB::DBValue>> rows);
    // The nth (1-based, counted from Install) call with this op name fails with errNumber/errText.
    // The call returns non-zero even for errNumber 0 (a component that leaves a failure
    // unnumbered).
    void FailOn(const std::wstring& op, int nth, long errNumber, const std::wstring& errText);
    long long lastInsertId = 0;             // what LastInsertId() answers (0: unknown)
    bool createNull = false;                // CreateAccessor returns null while set
    std::vector<std::wstring> Ops() const;  // just the op names, in order
    // Describe() of every call, in order.
    std::vector<std::wstring> Lines() const;

    // Used by the recording accessor: records `call`; true when the call is
    // to fail, with the failure's number and text.
    bool Record(DbCall call, long& errNumber, std::wstring& errText);
    // Hands out the record set for a select or statement text.
    ZUBDB::CDBRecordset Answer(const std::wstring& text);

private:
    RecordingDb() = default;
    void Reset();

    struct Failure {
        long number;
        std::wstring text;
    };
    std::map<std::pair<std::wstring, int>, Failure> failures_;
    std::map<std::wstring, int> opCounts_;
    struct Queued {
        ZUBDB::CDBRecordset rs;
        bool staged = false;
        std::vector<std::wstring> columns;
        std::vector<std::vector<ZUBDB::DBValue>> rows;
    };
    void Enqueue(const std::wstring& match, Queued queued);
    std::vector<std::pair<std::wstring, std::deque<Queued>>> answers_;
};

// Convenience: a record set with the given column names and rows.
ZUBDB::CDBRecordset MakeRs(std::vector<std::wstring> columns,
                           std::vector<std::vector<ZUBDB::DBValue>> rows);

}  // namespace zub::docvault::test
