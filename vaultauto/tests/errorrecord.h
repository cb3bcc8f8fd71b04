// The error record a failing member left on this thread.
#pragma once

#include <zub/com/automation.h>
#include <zub/com/comptr.h>

#include <string>

namespace zub::vaultauto::test {

struct ErrorRecord {
    bool present = false;
    std::wstring description;
    std::wstring source;
    GUID iid = GUID_NULL;
};

// Takes the thread's record (GetErrorInfo hands it over and clears it).
inline ErrorRecord TakeErrorRecord() {
    ErrorRecord r;
    zub::com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return r;
    r.present = true;
    zub::com::Bstr text;
    info->GetDescription(text.out());
    r.description = text.wide();
    zub::com::Bstr source;
    info->GetSource(source.out());
    r.source = source.wide();
    info->GetGUID(&r.iid);
    return r;
}

inline void DropErrorRecord() { SetErrorInfo(0, nullptr); }

}  // namespace zub::vaultauto::test
