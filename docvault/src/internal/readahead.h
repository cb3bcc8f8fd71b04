// The reads an operation is about to make, sent to the database at once (one
// round trip to a server) and answered in turn as the operation makes them
// through Make; what it leaves unread is dropped when the scope ends. A read
// made in another order, or any other call, goes to the database as always.
#pragma once

#include <memory>
#include <vector>

#include "dbcore/cdbread.h"
#include "dbcore/cdbrecordset.h"

class BO;

namespace DRM {

class ReadAhead {
public:
    ReadAhead(BO& bo, const std::vector<ZUBDB::CDBRead>& reads);
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead();

    // Makes `read` on bo's connection, in the form sent ahead; the
    // accessor's status, nothing recorded.
    static int Make(BO& bo, const ZUBDB::CDBRead& read, std::unique_ptr<ZUBDB::CDBRecordset>& rs);

private:
    BO& bo_;
};

}  // namespace DRM
