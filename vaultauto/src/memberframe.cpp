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

HRESULT MemberFrame::Caught(ZUBBASE::QV_Exception& e, const wchar_t* member,
                            int line) const noexcept {
    try {
        std::wstring function = std::wstring(className_) + L"::" + member;
        e.SetCatchLocation(sourceName_, function, line);
        RecordMemberFault({sourceName_, function, line, e.FullText()});
        return Report(kHrMemberFailed, e.FullText());
    } catch (...) {
        return kHrMemberFailed;
    }
}

HRESULT MemberFrame::CaughtStandard(const std::exception& e, const wchar_t* member,
                                    int line) const noexcept {
    try {
        std::wstring function = std::wstring(className_) + L"::" + member;
        ZUBBASE::QV_Exception q(e, sourceName_, function, line);
        return Caught(q, member, line);
    } catch (...) {
        return kHrMemberFailed;
    }
}

HRESULT MemberFrame::CaughtOther(const wchar_t* member, int line) const noexcept {
    try {
        std::wstring function = std::wstring(className_) + L"::" + member;
        ZUBBASE::QV_Exception q(L"Unexpected error.", sourceName_, function, line);
        return Caught(q, member, line);
    } catch (...) {
        return kHrMemberFailed;
    }
}

}  // namespace vaultauto
