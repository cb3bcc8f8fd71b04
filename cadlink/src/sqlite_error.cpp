#include "cadlink/sqlite_error.h"

#include <array>

#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

constexpr std::array<const wchar_t*, 26> kPrimaryNames = {
    L"SQLITE_OK",       L"SQLITE_ERROR",     L"SQLITE_INTERNAL", L"SQLITE_PERM",
    L"SQLITE_ABORT",    L"SQLITE_BUSY",      L"SQLITE_LOCKED",   L"SQLITE_NOMEM",
    L"SQLITE_READONLY", L"SQLITE_INTERRUPT", L"SQLITE_IOERR",    L"SQLITE_CORRUPT",
    L"SQLITE_NOTFOUND", L"SQLITE_FULL",      L"SQLITE_CANTOPEN", L"SQLITE_PROTOCOL",
    L"SQLITE_EMPTY",    L"SQLITE_SCHEMA",    L"SQLITE_TOOBIG",   L"SQLITE_CONSTRAINT",
    L"SQLITE_MISMATCH", L"SQLITE_MISUSE",    L"SQLITE_NOLFS",    L"SQLITE_AUTH",
    L"SQLITE_FORMAT",   L"SQLITE_RANGE",
};

}  // namespace

const wchar_t* SqliteError::CodeName(int code) noexcept {
    if (code >= 0 && code < static_cast<int>(kPrimaryNames.size())) {
        return kPrimaryNames[static_cast<std::size_t>(code)];
    }
    switch (code) {
        case 100:
            return L"SQLITE_ROW";
        case 101:
            return L"SQLITE_DONE";
        case kNotOpen:
            return L"SQLITEDB_ERROR";
        default:
            return L"UNKNOWN_ERROR";
    }
}

SqliteError::SqliteError(int code, const std::wstring& text)
    : code_(code),
      message_(zub::FormatBounded(text.size() + 50, ZUB_N_(L"%ls[%d]: %ls"), CodeName(code), code,
                                  text.c_str())) {}

}  // namespace ZUBCAX
