// A failure of the PostgreSQL backend: the error's number, the server's
// SQLSTATE and a text naming the server and the statement.
#pragma once

#include <stdexcept>
#include <string>

namespace ZUBDB {

class PgError : public std::runtime_error {
public:
    PgError(std::string sqlState, const std::string& message);

    long number() const { return number_; }
    const std::string& sqlState() const { return sqlState_; }

    // The number of an SQLSTATE: a taken unique key has the embedded store's
    // number (2067), so callers tell it apart on both backends; every other
    // state is 90000000 plus its five characters read in base 36.
    static long NumberOf(const std::string& sqlState);

    static constexpr const char* kConnectionFailure = "08006";
    static constexpr const char* kCannotConnect = "08001";
    static constexpr const char* kUniqueViolation = "23505";
    static constexpr const char* kSerializationFailure = "40001";

private:
    std::string sqlState_;
    long number_;
};

}  // namespace ZUBDB
