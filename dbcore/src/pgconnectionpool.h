// Idle connections of this process, kept for the next accessor of the same
// database: each business object makes its own accessor, and a new
// connection costs the server a process and its caches (several
// milliseconds before the first answer).
//
// A connection is kept only when nothing is under way on it (no unit of
// work, no answer unread), for a short while and a few per database, and is
// handed to one accessor at a time. One that went while it waited is not
// handed out. A forked child never takes its parent's connections and lets
// them go without a word to the server, which still serves the parent.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "pgconnection.h"

namespace ZUBDB {

class PgConnectionPool {
public:
    // What an accessor learnt of its database when it connected.
    struct Idle {
        std::unique_ptr<PgConnection> conn;
        std::map<std::string, std::string> keyColumns;
        // Kept alive with the connection: the key names it by its address.
        std::shared_ptr<const void> definition;
    };

    // A connection given back under `key` that is still there, if any.
    static std::optional<Idle> Take(const std::string& key);
    // Keeps an idle connection for the next Take of `key`, or closes it.
    static void Give(const std::string& key, Idle idle);
    // Closes every kept connection (tests, and programs about to drop a
    // database they used).
    static void Clear();
    // Connections kept at most per key, and how long one waits.
    static constexpr std::size_t kPerKey = 4;
    static constexpr int kIdleSeconds = 60;
};

}  // namespace ZUBDB
