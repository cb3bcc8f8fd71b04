// The frame every wrapper member runs in: the fault translator, the missing
// object, the catch clauses, and the error-information records it posts.
#pragma once

#include <zub/boundary.h>
#include <zub/com/automation.h>
#include <zub/i18n.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "docvault/bo.h"
#include "docvault/errors.h"

namespace zub::vaultauto {

// Missing object, or an exception caught at a member boundary.
inline constexpr HRESULT kHrMemberFailed = MakeHr(0x80040200);
inline constexpr const wchar_t* kNothingText = ZUB_N_(L"Object instance is nothing.");

// A library error number as this server's HRESULT.
HRESULT HResultOfLibraryError(long number);

class MemberFrame {
protected:
    // className "CCoDoc", sourceName "codoc", progId "VaultAuto.CoDoc.1".
    MemberFrame(const wchar_t* className, const wchar_t* sourceName, const wchar_t* progId)
        : className_(className), sourceName_(sourceName), progId_(progId) {}

    // Runs body (returning the member's HRESULT) inside the frame; hasObject
    // false answers "Object instance is nothing."
    template <class Body>
    HRESULT Run(bool hasObject, const wchar_t* member, int line, Body&& body) const noexcept {
        return ZUBBASE::Guard(
            ZUBBASE::CatchPlace{sourceName_, member, line, className_}, kHrMemberFailed,
            [&]() -> HRESULT {
                if (!hasObject) return Report(kHrMemberFailed, kNothingText);
                return std::forward<Body>(body)();
            },
            [this](ZUBBASE::QV_Exception& e) { return Caught(e); });
    }

    // Posts an error record from this class and returns hr.
    HRESULT Report(HRESULT hr, const std::wstring& text) const noexcept;
    // An error-reporting member's library call: the error it recorded on bo,
    // if any. The object's error number outlives the call that set it, and
    // its log is never cleared, so only what the log gained during this call
    // belongs to it.
    template <class Call>
    HRESULT Reporting(const BO& bo, Call&& call) const {
        const std::size_t before = bo.ErrorLog().size();
        call();
        return ReportRecordedSince(bo, before);
    }

    const wchar_t* ProgId() const { return progId_; }

private:
    HRESULT ReportRecordedSince(const BO& bo, std::size_t logSize) const noexcept;
    // Keeps the stamped exception as the thread's last fault and reports it.
    HRESULT Caught(const ZUBBASE::QV_Exception& e) const;

    const wchar_t* className_;
    const wchar_t* sourceName_;
    const wchar_t* progId_;
};

// connect's ret: the library answers 0 also when it got no connection (a
// store that does not exist), which a script would only learn at its next
// call; that case is reported as "not connected".
inline int ConnectResult(int result, const BO& bo) {
    return result == 0 && !bo.IsConnected() ? DRM::Err::kNotConnected : result;
}

// Conversions between automation types and the library's.
inline LONG ToLong(int v) { return static_cast<LONG>(v); }
inline LONG ToLong(long v) { return static_cast<LONG>(v); }
// The low 16 bits, as the automation short carries them.
inline SHORT ToShort(int v) {
    return static_cast<SHORT>(static_cast<std::uint16_t>(static_cast<unsigned>(v) & 0xFFFFu));
}
inline int FromCom(LONG v) { return static_cast<int>(v); }
inline int FromCom(SHORT v) { return static_cast<int>(v); }
inline double FromCom(DATE v) { return v; }
// A null BSTR is the empty text, as in every automation client.
inline std::wstring FromCom(BSTR v) { return zub::com::BstrToWide(v); }

inline void Store(int v, LONG* out) { *out = ToLong(v); }
inline void Store(long v, LONG* out) { *out = ToLong(v); }
inline void Store(int v, SHORT* out) { *out = ToShort(v); }
inline void Store(double v, DATE* out) { *out = v; }
inline void Store(const std::wstring& v, BSTR* out) { *out = zub::com::MakeBstr(v); }

}  // namespace zub::vaultauto
