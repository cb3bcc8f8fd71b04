// A business object that opens BO's protected parts to tests.
#pragma once

#include "docvault/bo.h"

namespace zub::docvault::test {

class ProbeBo : public BO {
public:
    using BO::Accessor;
    using BO::ConnState;
    using BO::GetSysId;
    using BO::InsertedId;
    using BO::Port;
    using BO::RaiseUnknownError;
    using BO::RecordDbError;
    using BO::RecordNfsError;
    using BO::Server;
    using BO::SetErr;
    using BO::SetKey;
    using BO::Token;
};

}  // namespace zub::docvault::test
