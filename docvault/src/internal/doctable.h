// The document table (QV_DMDoc) and its history (QV_DMDocVer) as the document
// operations use them: reads of one document's row, plain writes, and the
// conditional updates that settle races between clients in the database.
// Reads and plain writes answer the accessor's status and leave recording to
// the caller (some roll back first); conditional updates record their failure.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dbcore/cdbread.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"
#include "internal/rowparams.h"

class BO;

namespace DRM {

class DocTable {
public:
    // `owner`'s connection is used and its error state receives failures.
    explicit DocTable(BO& owner) : owner_(owner) {}

    // One document's row: `columns` (a comma list; kNone for every column).
    int Read(std::unique_ptr<ZUBDB::CDBRecordset>& rs, int docId,
             const std::wstring& columns = kNone) const;
    // The read Read makes.
    static ZUBDB::CDBRead RowRead(int docId, const std::wstring& columns);
    // Rows of the document table where `where` holds.
    int Select(std::unique_ptr<ZUBDB::CDBRecordset>& rs, const std::wstring& columns,
               const ZUBDB::QVParams& where) const;
    // Rows of the history table where `where` holds.
    int SelectHistory(std::unique_ptr<ZUBDB::CDBRecordset>& rs, const std::wstring& columns,
                      const ZUBDB::QVParams& where) const;
    int Insert(const ZUBDB::QVParams& values) const;
    int InsertHistory(const ZUBDB::QVParams& values) const;
    int Update(const ZUBDB::QVParams& values, const ZUBDB::QVParams& where) const;
    int Delete(const ZUBDB::QVParams& where) const;
    int Commit() const;

    // Tells from the row as it is after a conditional update whether this
    // call's update took effect: 0, or the error it records.
    using Judge = std::function<int(ZUBDB::CDBRecordset& row)>;
    // Inside the open transaction: updates the row where `only` holds, reads
    // it back and asks `judge`. Works alike on any SQL server, since the
    // update locks the row before the read.
    int UpdateIfStill(int docId, const ZUBDB::QVParams& values, const ZUBDB::QVParams& only,
                      const Judge& judge) const;
    // The same as a transaction of its own, committed only when judged won.
    int ConditionalUpdate(int docId, const ZUBDB::QVParams& values, const ZUBDB::QVParams& only,
                          const Judge& judge) const;

private:
    BO& owner_;
};

}  // namespace DRM
