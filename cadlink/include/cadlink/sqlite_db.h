// The mirror store's connection: opened with a busy timeout so another
// connection's lock delays a statement instead of failing it.
#pragma once

#include <string>

struct sqlite3;

namespace ZUBCAX {

class SqliteDb {
public:
    static constexpr int kDefaultBusyTimeoutMs = 60000;

    SqliteDb() = default;
    virtual ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // All three throw SqliteError.
    void Open(const std::wstring& path);
    int Execute(const std::wstring& statement);
    void Close();

    bool IsOpen() const noexcept { return db_ != nullptr; }
    int busyTimeoutMs() const noexcept { return busyTimeoutMs_; }
    void setBusyTimeoutMs(int ms) noexcept { busyTimeoutMs_ = ms; }

private:
    [[noreturn]] void Raise(int code) const;

    sqlite3* db_ = nullptr;
    int busyTimeoutMs_ = kDefaultBusyTimeoutMs;
};

}  // namespace ZUBCAX
