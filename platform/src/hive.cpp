#include "hive.h"

#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>
#include <utility>

#include "zub/text.h"

namespace zub::platform::detail {

namespace {

constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, fold));";

Error FromSqlite(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return kErrorSuccess;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return kErrorAccessDenied;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kErrorBusy;
        case SQLITE_FULL:
            return kErrorDiskFull;
        case SQLITE_NOMEM:
            return kErrorNotEnoughMemory;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return kErrorRegistryCorrupt;
        case SQLITE_CANTOPEN:
            return kErrorAccessDenied;
        default:
            return kErrorRegistryIoFailed;
    }
}

// Runs SQL, waiting out other processes' locks. Switching a file's
// journal mode takes the write lock from inside a read, and SQLite answers
// a busy lock there at once instead of calling the busy handler (waiting
// could deadlock two such upgrades); so the waiting is done here.
int ExecWaiting(sqlite3* db, const char* sql) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    while (true) {
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool HasWriteBits(const std::filesystem::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(p.c_str(), W_OK) == 0;
}

locale_t FoldLocale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return loc;
}

}  // namespace

std::string FoldName(std::wstring_view name) {
    std::wstring up(name);
    locale_t loc = FoldLocale();
    for (auto& c : up) {
        if (loc != nullptr) {
            c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), loc));
        } else if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return WideToUtf8(up);
}

// A prepared statement, finalized on destruction.
class Hive::Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(st_); }

    void Reset(sqlite3_stmt* st) {
        sqlite3_finalize(st_);
        st_ = st;
    }
    void Bind(int i, std::int64_t v) { sqlite3_bind_int64(st_, i, v); }
    void Bind(int i, const std::string& v) {
        sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void BindBlob(int i, const std::vector<std::uint8_t>& v) {
        // A zero-length blob must still be a blob, not NULL.
        static const std::uint8_t kEmpty = 0;
        sqlite3_bind_blob(st_, i, v.empty() ? &kEmpty : v.data(), static_cast<int>(v.size()),
                          SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(st_); }
    void Rewind() { sqlite3_reset(st_); }
    std::int64_t Int(int col) { return sqlite3_column_int64(st_, col); }
    std::wstring Text(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        int n = sqlite3_column_bytes(st_, col);
        return p == nullptr ? std::wstring()
                            : Utf8ToWide(std::string_view(p, static_cast<std::size_t>(n)));
    }
    std::vector<std::uint8_t> Blob(int col) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st_, col));
        int n = sqlite3_column_bytes(st_, col);
        if (p == nullptr || n <= 0) return {};
        return std::vector<std::uint8_t>(p, p + n);
    }

private:
    sqlite3_stmt* st_ = nullptr;
};

// Rolls back unless committed.
class Hive::Transaction {
public:
    explicit Transaction(Hive& hive) : hive_(hive) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (open_) hive_.Rollback();
    }
    Error Begin() {
        Error e = hive_.Begin();
        open_ = e == kErrorSuccess;
        return e;
    }
    Error Commit() {
        Error e = hive_.Commit();
        if (e == kErrorSuccess) open_ = false;
        return e;
    }

private:
    Hive& hive_;
    bool open_ = false;
};

std::shared_ptr<Hive> Hive::Get(const std::string& path) {
    static std::mutex mu;
    static std::map<std::string, std::weak_ptr<Hive>> cache;
    std::lock_guard lock(mu);
    for (auto it = cache.begin(); it != cache.end();) {
        it = it->second.expired() ? cache.erase(it) : std::next(it);
    }
    auto& slot = cache[path];
    auto hive = slot.lock();
    if (!hive) {
        hive = std::make_shared<Hive>(path);
        slot = hive;
    }
    return hive;
}

Hive::Hive(std::string path) : path_(std::move(path)) {}

Hive::~Hive() { sqlite3_close_v2(db_); }

bool Hive::Writable() const {
    std::filesystem::path file(path_);
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        return HasWriteBits(file) && HasWriteBits(file.parent_path());
    }
    // Not there yet: the nearest existing folder decides.
    for (auto dir = file.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (std::filesystem::exists(dir, ec)) return HasWriteBits(dir);
        if (dir == dir.root_path()) break;
    }
    return false;
}

Error Hive::Connect(bool create) {
    if (db_ != nullptr && owner_ != ::getpid()) {
        // Inherited across fork(): the parent's connection and its locks are
        // not ours to use or close.
        db_ = nullptr;
        readOnly_ = false;
    }
    if (db_ != nullptr && !(create && readOnly_)) return kErrorSuccess;
    std::error_code ec;
    bool exists = std::filesystem::exists(path_, ec);
    if (!exists && !create) return kErrorFileNotFound;
    bool writable = Writable();
    if (create && !writable) return kErrorAccessDenied;
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    if (!exists) {
        std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
        if (ec) return kErrorAccessDenied;
    }
    readOnly_ = !writable;
    owner_ = ::getpid();
    int rc;
    if (writable) {
        rc = sqlite3_open_v2(path_.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    } else {
        rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    }
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        if (writable) {
            rc = ExecWaiting(db_, "PRAGMA journal_mode=WAL");
            if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
        } else {
            // A read-only folder cannot take the shared-memory file; the
            // last writer checkpointed, so the main file is whole.
            rc = sqlite3_exec(db_, "SELECT count(*) FROM keys", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_close_v2(db_);
                db_ = nullptr;
                std::string uri = "file:" + path_ + "?immutable=1";
                rc = sqlite3_open_v2(uri.c_str(), &db_,
                                     SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX,
                                     nullptr);
            }
        }
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr, nullptr,
                          nullptr);
    }
    if (rc != SQLITE_OK) {
        Error e = FromSqlite(rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return e;
    }
    return kErrorSuccess;
}

Error Hive::Prepare(const char* sql, Statement& st) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr);
    st.Reset(raw);
    return FromSqlite(rc);
}

Error Hive::Begin() {
    return FromSqlite(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
}

Error Hive::Commit() { return FromSqlite(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr)); }

void Hive::Rollback() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

Error Hive::ForRead() { return Connect(false); }

Error Hive::ForWrite() {
    if (!Writable()) return kErrorAccessDenied;
    return Connect(true);
}

Error Hive::RootId(std::wstring_view rootName, bool create, KeyId& id) {
    std::lock_guard lock(mu_);
    id = 0;
    Error e = create ? ForWrite() : Connect(false);
    if (e == kErrorFileNotFound) {
        // A hive not made yet is empty; its root stands as id -1 until then.
        id = -1;
        return kErrorSuccess;
    }
    if (e != kErrorSuccess) return e;
    Statement st;
    if ((e = Prepare("SELECT id FROM keys WHERE parent=0 AND fold=?1", st)) != kErrorSuccess)
        return e;
    st.Bind(1, FoldName(rootName));
    int rc = st.Step();
    if (rc == SQLITE_ROW) {
        id = st.Int(0);
        return kErrorSuccess;
    }
    if (rc != SQLITE_DONE) return FromSqlite(rc);
    if (!create) {
        id = -1;
        return kErrorSuccess;
    }
    Transaction tx(*this);
    if ((e = tx.Begin()) != kErrorSuccess) return e;
    Statement ins;
    if ((e = Prepare("INSERT OR IGNORE INTO keys(parent,name,fold) VALUES(0,?1,?2)", ins)) !=
        kErrorSuccess)
        return e;
    ins.Bind(1, WideToUtf8(rootName));
    ins.Bind(2, FoldName(rootName));
    if ((rc = ins.Step()) != SQLITE_DONE) return FromSqlite(rc);
    if ((e = tx.Commit()) != kErrorSuccess) return e;
    st.Reset(nullptr);
    if ((e = Prepare("SELECT id FROM keys WHERE parent=0 AND fold=?1", st)) != kErrorSuccess)
        return e;
    st.Bind(1, FoldName(rootName));
    if (st.Step() != SQLITE_ROW) return kErrorRegistryCorrupt;
    id = st.Int(0);
    return kErrorSuccess;
}

Error Hive::Exists(KeyId id, bool& exists) {
    std::lock_guard lock(mu_);
    exists = false;
    if (id == -1) {
        exists = true;
        return kErrorSuccess;
    }
    Error e = ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    Statement st;
    e = Prepare("SELECT 1 FROM keys WHERE id=?1", st);
    if (e != kErrorSuccess) return e;
    st.Bind(1, id);
    int rc = st.Step();
    exists = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? kErrorSuccess : FromSqlite(rc);
}

Error Hive::Child(KeyId parent, std::wstring_view name, KeyId& id) {
    return Walk(parent, {std::wstring(name)}, id);
}

Error Hive::Walk(KeyId from, const std::vector<std::wstring>& names, KeyId& id) {
    std::lock_guard lock(mu_);
    id = from;
    if (names.empty()) return kErrorSuccess;
    Error e = from == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) {
        id = 0;
        return e == kErrorFileNotFound ? kErrorSuccess : e;
    }
    Statement st;
    e = Prepare("SELECT id FROM keys WHERE parent=?1 AND fold=?2", st);
    if (e != kErrorSuccess) return e;
    for (const auto& name : names) {
        st.Rewind();
        st.Bind(1, id);
        st.Bind(2, FoldName(name));
        int rc = st.Step();
        if (rc == SQLITE_DONE) {
            id = 0;
            return kErrorSuccess;
        }
        if (rc != SQLITE_ROW) return FromSqlite(rc);
        id = st.Int(0);
    }
    return kErrorSuccess;
}

Error Hive::CreatePath(KeyId from, const std::vector<std::wstring>& names, KeyId& id,
                       bool& created) {
    std::lock_guard lock(mu_);
    created = false;
    id = 0;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    Transaction tx(*this);
    if ((e = tx.Begin()) != kErrorSuccess) return e;
    KeyId cur = from;
    {
        Statement exists;
        if ((e = Prepare("SELECT 1 FROM keys WHERE id=?1", exists)) != kErrorSuccess) return e;
        exists.Bind(1, cur);
        if (exists.Step() != SQLITE_ROW) return kErrorKeyDeleted;
    }
    for (const auto& name : names) {
        std::string fold = FoldName(name);
        Statement find;
        if ((e = Prepare("SELECT id FROM keys WHERE parent=?1 AND fold=?2", find)) != kErrorSuccess)
            return e;
        find.Bind(1, cur);
        find.Bind(2, fold);
        int rc = find.Step();
        if (rc == SQLITE_ROW) {
            cur = find.Int(0);
            continue;
        }
        if (rc != SQLITE_DONE) return FromSqlite(rc);
        Statement ins;
        if ((e = Prepare("INSERT INTO keys(parent,name,fold) VALUES(?1,?2,?3)", ins)) !=
            kErrorSuccess)
            return e;
        ins.Bind(1, cur);
        ins.Bind(2, WideToUtf8(name));
        ins.Bind(3, fold);
        if ((rc = ins.Step()) != SQLITE_DONE) return FromSqlite(rc);
        cur = sqlite3_last_insert_rowid(db_);
        created = true;
    }
    if ((e = tx.Commit()) != kErrorSuccess) return e;
    id = cur;
    return kErrorSuccess;
}

Error Hive::SubKeys(KeyId id, std::vector<std::wstring>& names) {
    std::lock_guard lock(mu_);
    names.clear();
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    Statement st;
    e = Prepare("SELECT name FROM keys WHERE parent=?1 ORDER BY fold", st);
    if (e != kErrorSuccess) return e;
    st.Bind(1, id);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) names.push_back(st.Text(0));
    return rc == SQLITE_DONE ? kErrorSuccess : FromSqlite(rc);
}

Error Hive::Values(KeyId id, std::vector<NamedValue>& values) {
    std::lock_guard lock(mu_);
    values.clear();
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    Statement st;
    e = Prepare("SELECT name,type,data FROM vals WHERE key=?1 ORDER BY id", st);
    if (e != kErrorSuccess) return e;
    st.Bind(1, id);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        NamedValue v;
        v.name = st.Text(0);
        v.value.type = static_cast<ValueType>(static_cast<std::uint32_t>(st.Int(1)));
        v.value.data = st.Blob(2);
        values.push_back(std::move(v));
    }
    return rc == SQLITE_DONE ? kErrorSuccess : FromSqlite(rc);
}

Error Hive::GetValue(KeyId id, std::wstring_view name, RegValue& value, bool& found) {
    std::lock_guard lock(mu_);
    found = false;
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    Statement st;
    e = Prepare("SELECT type,data FROM vals WHERE key=?1 AND fold=?2", st);
    if (e != kErrorSuccess) return e;
    st.Bind(1, id);
    st.Bind(2, FoldName(name));
    int rc = st.Step();
    if (rc == SQLITE_ROW) {
        found = true;
        value.type = static_cast<ValueType>(static_cast<std::uint32_t>(st.Int(0)));
        value.data = st.Blob(1);
        return kErrorSuccess;
    }
    return rc == SQLITE_DONE ? kErrorSuccess : FromSqlite(rc);
}

Error Hive::SetValue(KeyId id, std::wstring_view name, const RegValue& value) {
    std::lock_guard lock(mu_);
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    Transaction tx(*this);
    if ((e = tx.Begin()) != kErrorSuccess) return e;
    Statement exists;
    if ((e = Prepare("SELECT 1 FROM keys WHERE id=?1", exists)) != kErrorSuccess) return e;
    exists.Bind(1, id);
    if (exists.Step() != SQLITE_ROW) return kErrorKeyDeleted;
    Statement st;
    e = Prepare(
        "INSERT INTO vals(key,name,fold,type,data) VALUES(?1,?2,?3,?4,?5) "
        "ON CONFLICT(key,fold) DO UPDATE SET type=excluded.type, data=excluded.data",
        st);
    if (e != kErrorSuccess) return e;
    st.Bind(1, id);
    st.Bind(2, WideToUtf8(name));
    st.Bind(3, FoldName(name));
    st.Bind(4, static_cast<std::int64_t>(value.type));
    st.BindBlob(5, value.data);
    int rc = st.Step();
    if (rc != SQLITE_DONE) return FromSqlite(rc);
    return tx.Commit();
}

Error Hive::DeleteValue(KeyId id, std::wstring_view name) {
    std::lock_guard lock(mu_);
    if (id == -1) return kErrorFileNotFound;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    Transaction tx(*this);
    e = tx.Begin();
    if (e != kErrorSuccess) return e;
    Statement st;
    if ((e = Prepare("DELETE FROM vals WHERE key=?1 AND fold=?2", st)) != kErrorSuccess) return e;
    st.Bind(1, id);
    st.Bind(2, FoldName(name));
    int rc = st.Step();
    if (rc != SQLITE_DONE) return FromSqlite(rc);
    if (sqlite3_changes(db_) == 0) return kErrorFileNotFound;
    return tx.Commit();
}

Error Hive::DeleteKey(KeyId id, bool withSubKeys, bool keepSelf) {
    std::lock_guard lock(mu_);
    if (id == -1) return keepSelf ? kErrorSuccess : kErrorFileNotFound;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    Transaction tx(*this);
    e = tx.Begin();
    if (e != kErrorSuccess) return e;
    Statement exists;
    if ((e = Prepare("SELECT 1 FROM keys WHERE id=?1", exists)) != kErrorSuccess) return e;
    exists.Bind(1, id);
    if (exists.Step() != SQLITE_ROW) return kErrorKeyDeleted;
    if (!withSubKeys) {
        Statement any;
        if ((e = Prepare("SELECT 1 FROM keys WHERE parent=?1 LIMIT 1", any)) != kErrorSuccess)
            return e;
        any.Bind(1, id);
        if (any.Step() == SQLITE_ROW) return kErrorAccessDenied;
    }
    Statement del;
    e = Prepare(
        "WITH RECURSIVE t(id) AS (SELECT id FROM keys WHERE parent=?1"
        " UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent=t.id)"
        " DELETE FROM keys WHERE id IN t OR (id=?1 AND ?2=0)",
        del);
    if (e != kErrorSuccess) return e;
    del.Bind(1, id);
    del.Bind(2, keepSelf ? 1 : 0);
    int rc = del.Step();
    if (rc != SQLITE_DONE) return FromSqlite(rc);
    if (keepSelf) {
        Statement vals;
        if ((e = Prepare("DELETE FROM vals WHERE key=?1", vals)) != kErrorSuccess) return e;
        vals.Bind(1, id);
        if ((rc = vals.Step()) != SQLITE_DONE) return FromSqlite(rc);
    }
    return tx.Commit();
}

}  // namespace zub::platform::detail
