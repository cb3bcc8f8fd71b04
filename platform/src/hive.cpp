#include "hive.h"

#include <sqlite3.h>

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

#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/text.h"

namespace zub::platform::detail {

namespace {

using sqlite::Connection;
using sqlite::Statement;

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

// Runs a call's body: a failure of SQLite inside it is the call's Win32 number.
template <class Body>
Error Guarded(Body&& body) {
    try {
        return body();
    } catch (const sqlite::Error& e) {
        return FromSqlite(e.code());
    } catch (const std::bad_alloc&) {
        return kErrorNotEnoughMemory;
    }
}

// Runs SQL, waiting out other processes' locks. Switching a file's
// journal mode takes the write lock from inside a read, and SQLite answers
// a busy lock there at once instead of calling the busy handler (waiting
// could deadlock two such upgrades); so the waiting is done here.
void ExecWaiting(const Connection& db, const char* sql) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(sqlite::kBusyTimeoutMs);
    while (true) {
        try {
            db.exec(sql);
            return;
        } catch (const sqlite::Error& e) {
            if (e.primary() != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) throw;
        }
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

std::wstring Text(const Statement& st, int col) { return Utf8ToWide(st.columnText(col)); }

// Whether the key row exists, inside the caller's transaction.
bool KeyExists(const Connection& db, KeyId id) {
    Statement st(db, "SELECT 1 FROM keys WHERE id=?1");
    st.bind(1, static_cast<long long>(id));
    return st.step();
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

// An immediate transaction, rolled back unless committed.
class Hive::Transaction {
public:
    explicit Transaction(Hive& hive) : db_(hive.db_) { db_.exec("BEGIN IMMEDIATE"); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (open_) db_.rollbackQuietly();
    }
    void Commit() {
        db_.exec("COMMIT");
        open_ = false;
    }

private:
    const Connection& db_;
    bool open_ = true;
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

Hive::~Hive() = default;

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
    if (db_ && owner_ != ::getpid()) {
        // Inherited across fork(): the parent's connection and its locks are
        // not ours to use or close.
        db_.abandon();
        readOnly_ = false;
    }
    if (db_ && !(create && readOnly_)) return kErrorSuccess;
    std::error_code ec;
    bool exists = std::filesystem::exists(path_, ec);
    if (!exists && !create) return kErrorFileNotFound;
    bool writable = Writable();
    if (create && !writable) return kErrorAccessDenied;
    db_ = Connection();
    if (!exists) {
        std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
        if (ec) return kErrorAccessDenied;
    }
    readOnly_ = !writable;
    owner_ = ::getpid();
    const Error e = Guarded([&] {
        if (writable) {
            db_ = Connection(path_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX);
            ExecWaiting(db_, "PRAGMA journal_mode=WAL");
            db_.exec(kSchema);
        } else {
            db_ = Connection(path_, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX);
            try {
                db_.exec("SELECT count(*) FROM keys");
            } catch (const sqlite::Error&) {
                // A read-only folder cannot take the shared-memory file; the
                // last writer checkpointed, so the main file is whole.
                db_ = Connection();
                db_ = Connection("file:" + path_ + "?immutable=1",
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX);
            }
        }
        db_.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
        return kErrorSuccess;
    });
    if (e != kErrorSuccess) db_ = Connection();
    return e;
}

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
    return Guarded([&] {
        const auto find = [&](KeyId& found) {
            Statement st(db_, "SELECT id FROM keys WHERE parent=0 AND fold=?1");
            st.bind(1, FoldName(rootName));
            if (!st.step()) return false;
            found = st.columnInt64(0);
            return true;
        };
        if (find(id)) return kErrorSuccess;
        if (!create) {
            id = -1;
            return kErrorSuccess;
        }
        Transaction tx(*this);
        Statement ins(db_, "INSERT OR IGNORE INTO keys(parent,name,fold) VALUES(0,?1,?2)");
        ins.bind(1, WideToUtf8(rootName));
        ins.bind(2, FoldName(rootName));
        ins.step();
        tx.Commit();
        return find(id) ? kErrorSuccess : kErrorRegistryCorrupt;
    });
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
    return Guarded([&] {
        exists = KeyExists(db_, id);
        return kErrorSuccess;
    });
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
    return Guarded([&] {
        Statement st(db_, "SELECT id FROM keys WHERE parent=?1 AND fold=?2");
        for (const auto& name : names) {
            st.reset();
            st.bind(1, static_cast<long long>(id));
            st.bind(2, FoldName(name));
            if (!st.step()) {
                id = 0;
                return kErrorSuccess;
            }
            id = st.columnInt64(0);
        }
        return kErrorSuccess;
    });
}

Error Hive::CreatePath(KeyId from, const std::vector<std::wstring>& names, KeyId& id,
                       bool& created) {
    std::lock_guard lock(mu_);
    created = false;
    id = 0;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    return Guarded([&] {
        Transaction tx(*this);
        KeyId cur = from;
        if (!KeyExists(db_, cur)) return kErrorKeyDeleted;
        for (const auto& name : names) {
            std::string fold = FoldName(name);
            Statement find(db_, "SELECT id FROM keys WHERE parent=?1 AND fold=?2");
            find.bind(1, static_cast<long long>(cur));
            find.bind(2, fold);
            if (find.step()) {
                cur = find.columnInt64(0);
                continue;
            }
            Statement ins(db_, "INSERT INTO keys(parent,name,fold) VALUES(?1,?2,?3)");
            ins.bind(1, static_cast<long long>(cur));
            ins.bind(2, WideToUtf8(name));
            ins.bind(3, fold);
            ins.step();
            cur = db_.lastInsertRowid();
            created = true;
        }
        tx.Commit();
        id = cur;
        return kErrorSuccess;
    });
}

Error Hive::SubKeys(KeyId id, std::vector<std::wstring>& names) {
    std::lock_guard lock(mu_);
    names.clear();
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    return Guarded([&] {
        Statement st(db_, "SELECT name FROM keys WHERE parent=?1 ORDER BY fold");
        st.bind(1, static_cast<long long>(id));
        while (st.step()) names.push_back(Text(st, 0));
        return kErrorSuccess;
    });
}

Error Hive::Values(KeyId id, std::vector<NamedValue>& values) {
    std::lock_guard lock(mu_);
    values.clear();
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    return Guarded([&] {
        Statement st(db_, "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY id");
        st.bind(1, static_cast<long long>(id));
        while (st.step()) {
            NamedValue v;
            v.name = Text(st, 0);
            v.value.type = static_cast<ValueType>(static_cast<std::uint32_t>(st.columnInt64(1)));
            v.value.data = st.columnBlob(2);
            values.push_back(std::move(v));
        }
        return kErrorSuccess;
    });
}

Error Hive::GetValue(KeyId id, std::wstring_view name, RegValue& value, bool& found) {
    std::lock_guard lock(mu_);
    found = false;
    Error e = id == -1 ? kErrorFileNotFound : ForRead();
    if (e != kErrorSuccess) return e == kErrorFileNotFound ? kErrorSuccess : e;
    return Guarded([&] {
        Statement st(db_, "SELECT type,data FROM vals WHERE key=?1 AND fold=?2");
        st.bind(1, static_cast<long long>(id));
        st.bind(2, FoldName(name));
        if (st.step()) {
            found = true;
            value.type = static_cast<ValueType>(static_cast<std::uint32_t>(st.columnInt64(0)));
            value.data = st.columnBlob(1);
        }
        return kErrorSuccess;
    });
}

Error Hive::SetValue(KeyId id, std::wstring_view name, const RegValue& value) {
    std::lock_guard lock(mu_);
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    return Guarded([&] {
        Transaction tx(*this);
        if (!KeyExists(db_, id)) return kErrorKeyDeleted;
        Statement st(db_,
                     "INSERT INTO vals(key,name,fold,type,data) VALUES(?1,?2,?3,?4,?5) "
                     "ON CONFLICT(key,fold) DO UPDATE SET type=excluded.type, data=excluded.data");
        st.bind(1, static_cast<long long>(id));
        st.bind(2, WideToUtf8(name));
        st.bind(3, FoldName(name));
        st.bind(4, static_cast<long long>(value.type));
        st.bindBlob(5, value.data.data(), value.data.size());
        st.step();
        tx.Commit();
        return kErrorSuccess;
    });
}

Error Hive::DeleteValue(KeyId id, std::wstring_view name) {
    std::lock_guard lock(mu_);
    if (id == -1) return kErrorFileNotFound;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    return Guarded([&] {
        Transaction tx(*this);
        Statement st(db_, "DELETE FROM vals WHERE key=?1 AND fold=?2");
        st.bind(1, static_cast<long long>(id));
        st.bind(2, FoldName(name));
        st.step();
        if (db_.changes() == 0) return kErrorFileNotFound;
        tx.Commit();
        return kErrorSuccess;
    });
}

Error Hive::DeleteKey(KeyId id, bool withSubKeys, bool keepSelf) {
    std::lock_guard lock(mu_);
    if (id == -1) return keepSelf ? kErrorSuccess : kErrorFileNotFound;
    Error e = ForWrite();
    if (e != kErrorSuccess) return e;
    return Guarded([&] {
        Transaction tx(*this);
        if (!KeyExists(db_, id)) return kErrorKeyDeleted;
        if (!withSubKeys) {
            Statement any(db_, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
            any.bind(1, static_cast<long long>(id));
            if (any.step()) return kErrorAccessDenied;
        }
        Statement del(db_,
                      "WITH RECURSIVE t(id) AS (SELECT id FROM keys WHERE parent=?1"
                      " UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent=t.id)"
                      " DELETE FROM keys WHERE id IN t OR (id=?1 AND ?2=0)");
        del.bind(1, static_cast<long long>(id));
        del.bind(2, keepSelf ? 1LL : 0LL);
        del.step();
        if (keepSelf) {
            Statement vals(db_, "DELETE FROM vals WHERE key=?1");
            vals.bind(1, static_cast<long long>(id));
            vals.step();
        }
        tx.Commit();
        return kErrorSuccess;
    });
}

}  // namespace zub::platform::detail
