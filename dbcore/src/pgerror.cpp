#include "pgerror.h"

#include <cctype>

namespace ZUBDB {

PgError::PgError(std::string sqlState, const std::string& message)
    : std::runtime_error(message), sqlState_(std::move(sqlState)), number_(NumberOf(sqlState_)) {}

long PgError::NumberOf(const std::string& sqlState) {
    if (sqlState == kUniqueViolation) return 2067;
    long value = 0;
    for (char c : sqlState) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        value = value * 36 + (digit >= 0 && digit < 36 ? digit : 0);
    }
    return 90000000 + value;
}

}  // namespace ZUBDB
