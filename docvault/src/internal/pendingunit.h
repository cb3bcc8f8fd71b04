// Guards a unit of work of several statements against exceptions: when one
// leaves the scope before the unit was committed or rolled back, the unit is
// rolled back, so that the connection's next commit does not make half of it
// durable. Failures reported by status are handled by the operation itself.
#pragma once

#include <exception>

#include "dbcore/cdbaccessor.h"

class PendingUnit {
public:
    explicit PendingUnit(ZUBDB::CDBAccessor* accessor)
        : accessor_(accessor), exceptions_(std::uncaught_exceptions()) {}
    ~PendingUnit() {
        if (!accessor_ || std::uncaught_exceptions() <= exceptions_) return;
        try {
            accessor_->RollbackTrans();
        } catch (...) {
            // The exception in flight is the one worth reporting.
        }
    }
    PendingUnit(const PendingUnit&) = delete;
    PendingUnit& operator=(const PendingUnit&) = delete;

private:
    ZUBDB::CDBAccessor* accessor_;
    int exceptions_;
};
