// The mirror store's connection: opened with a busy timeout so another
// connection's lock delays a statement instead of failing it.
#pragma once

#include <string>

#include "zub/sqlite/connection.h"

namespace ZUBCAX {

class SqliteDb {
public:
    static constexpr int kDefaultBusyTimeoutMs = zub::sqlite::kBusyTimeoutMs;

    SqliteDb() = default;
    virtual ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // All three throw SqliteError.
    void Open(const std::wstring& path);
    int Execute(const std::wstring& statement);
    void Close();

    bool IsOpen() const noexcept { return static_cast<bool>(db_); }
    int busyTimeoutMs() const noexcept { return busyTimeoutMs_; }
    void setBusyTimeoutMs(int ms) noexcept { busyTimeoutMs_ = ms; }

private:
    zub::sqlite::Connection db_;
    int busyTimeoutMs_ = kDefaultBusyTimeoutMs;
};

}  // namespace ZUBCAX
