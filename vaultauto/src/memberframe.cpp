#include "memberframe.h"

#include <vector>

#include "module.h"

namespace vaultauto {

HRESULT HResultOfLibraryError(long number) {
    if (number < 0) return static_cast<HRESULT>(number);
    return static_cast<HRESULT>(0x80040000u | static_cast<std::uint32_t>(number));
}

HRESULT MemberFrame::Report(HRESULT hr, const std::wstring& text) const noexcept {
    try {
        return zub::com::ReportError(hr, text, progId_, GUID_NULL);
    } catch (...) {
        return hr;
    }
}

HRESULT MemberFrame::ReportRecordedSince(const BO& bo, std::size_t logSize) const noexcept {
    const std::vector<BOErrorEntry>& log = bo.ErrorLog();
    if (log.size() <= logSize) return S_OK;
    HRESULT hr = HResultOfLibraryError(log.back().number);
    try {
        return Report(hr, log.back().description);
    } catch (...) {
        return hr;
    }
}

HRESULT MemberFrame::Caught(const ZUBBASE::QV_Exception& e) const {
    RecordMemberFault({sourceName_, e.CatchFunction(), e.CatchLine(), e.FullText()});
    return Report(kHrMemberFailed, e.FullText());
}

}  // namespace vaultauto
