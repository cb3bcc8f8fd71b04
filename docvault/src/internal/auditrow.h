// Writes one entry of the audit trail inside the caller's open transaction,
// so the entry commits or rolls back with the change it records.
#pragma once

#include <string>

class BO;

namespace DRM {

struct AuditRow {
    int userId = 0;
    std::wstring action;
    int docRepoId = 0;
    int docId = 0;
    std::wstring phyUrl;
    std::wstring name;
    std::wstring ext;
    std::wstring version;
    std::wstring detail;

    // The accessor's status; recording is left to the caller, which rolls back.
    int Insert(BO& owner) const;
    // A delete's entry, copied from the document row while it still carries
    // `mark`: a second finisher of the same delete finds no row and adds none.
    static int InsertDelete(BO& owner, int docId, const std::wstring& mark, int userId);
};

}  // namespace DRM
