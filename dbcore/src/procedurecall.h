// A procedure call written as "Name arg,arg" (optionally after EXEC). An
// argument is "?" (the next value of the caller's list), an integer, a real,
// a quoted text ('it''s', N'...') or NULL.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"

namespace ZUBDB {

class ProcedureCall {
public:
    // The first word of `sql` when the text may be a call; nothing when it
    // starts with anything but a plain name (then it is ordinary SQL).
    static std::optional<ProcedureCall> Split(const std::wstring& sql);

    const std::wstring& name() const { return name_; }
    // Reads the arguments, taking "?" values from `params` in list order;
    // throws SqliteError on a malformed list or a count mismatch.
    std::vector<DBValue> Arguments(const QVParams& params) const;

private:
    std::wstring name_;
    std::wstring rest_;
};

}  // namespace ZUBDB
