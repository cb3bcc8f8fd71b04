// One libpq connection to one database of a PostgreSQL server. Statements go
// out as a pipeline (one round trip for a batch), values always bound as
// parameters in text form with their type left to the server.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "pgerror.h"

struct pg_conn;

namespace ZUBDB {

struct PgStatement {
    std::string sql;  // PostgreSQL text with $1..$n
    std::vector<DBValue> args;
};

// What one statement of a batch gave.
struct PgOutcome {
    bool ok = false;
    bool skipped = false;  // not run: an earlier statement of the batch failed
    std::string sqlState;
    std::string message;
    long long affected = 0;
    CDBRecordset rows;
};

// What every connection of this process did so far, for benchmarks.
struct PgTraffic {
    long long connections = 0;
    long long roundTrips = 0;  // a pipeline of statements is one
    long long statements = 0;
    long long nanoseconds = 0;  // spent in round trips
};

class PgConnection {
public:
    // Connects or throws PgError; `keywords`/`values` are libpq's.
    PgConnection(const std::vector<std::string>& keywords, const std::vector<std::string>& values,
                 std::string place);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs the statements in one round trip. A failing statement makes the
    // rest skipped. Throws PgError only when the connection itself fails.
    std::vector<PgOutcome> Batch(const std::vector<PgStatement>& statements);
    // A script of several statements without parameters; throws on failure.
    void Script(const std::string& sql);

    bool Broken() const;
    // Connected, outside any transaction, with nothing left to read.
    bool Idle();
    // For a connection a forked child inherited: lets it go without a word to
    // the server, which still serves the parent over it.
    void Abandon();
    // Whether the server is still there for an idle connection, as far as
    // can be told without a round trip.
    bool StillThere();
    // "HOST:PORT database DB": who the errors name.
    const std::string& place() const { return place_; }
    // Statements sent in pipelines so far (a pipeline is one round trip).
    long long roundTrips() const { return roundTrips_; }
    static PgTraffic Traffic();
    // Sees the statements of every round trip this process makes from now on
    // (benchmarks and tests list and count them); empty stops it. Set it while
    // no other thread sends.
    using Observer = std::function<void(const std::vector<PgStatement>&)>;
    static void Observe(Observer observer);

private:
    // format: the whole text, with the server and the driver's message.
    [[noreturn]] void ThrowLost(const char* format) const;

    struct Closer {
        void operator()(pg_conn* c) const;
    };
    std::unique_ptr<pg_conn, Closer> conn_;
    std::string place_;
    long long roundTrips_ = 0;
};

}  // namespace ZUBDB
