// What only the server backend has: the dialect it translates, outages, and
// the errors of a connection that cannot be made.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/serverstore.h"
#include "pgconnection.h"
#include "pgdialect.h"
#include "testsupport.h"
#include "zub/text.h"
#include "zubtest/pgcluster.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::Params;
using ZUBDB::PgDialect;

namespace {

TEST(PgDialect, TranslatesTheLibrarysDialectOutsideQuotesOnly) {
    struct Case {
        const char* in;
        std::string out;
    };
    const std::string now = PgDialect::kNow;
    const Case cases[] = {
        {"select a from t where b = ? and c = ?", "select a from t where b = $1 and c = $2"},
        {"select ?2, ?1", "select $2, $1"},
        {"select [Read] from QV_DMAuth", "select \"read\" from QV_DMAuth"},
        {"insert into t (d) values (getdate())", "insert into t (d) values (" + now + ")"},
        {"select GetDate ( ), getdate", "select " + now + ", getdate"},
        {"select 'it''s ? [x] getdate()', \"?\"", "select 'it''s ? [x] getdate()', \"?\""},
        {"select ifnull(a, 0), ifnulls(b)", "select coalesce(a, 0), ifnulls(b)"},
        {"insert or ignore into f (a) select ? where true;",
         "INSERT into f (a) select $1 where true ON CONFLICT DO NOTHING"},
        {"select 1 -- what? [x]\n, ?", "select 1 -- what? [x]\n, $1"},
    };
    for (const Case& c : cases) EXPECT_EQ(PgDialect::Translate(c.in), c.out) << c.in;
}

TEST(PgDialect, TellsQueriesFromWrites) {
    EXPECT_TRUE(PgDialect::IsQuery("  SELECT 1"));
    EXPECT_TRUE(PgDialect::IsQuery("with x as (select 1) select * from x"));
    EXPECT_FALSE(PgDialect::IsQuery("with x as (delete from t returning *) select * from x"));
    EXPECT_FALSE(PgDialect::IsQuery("update t set a = 1"));
    EXPECT_FALSE(PgDialect::IsQuery("insert into t values (1)"));
}

int InsertPerson(ZUBDB::CDBAccessor& db, const std::wstring& name) {
    auto v = Params();
    Add(v, L"PersonName", name);
    return db.InsertRow(L"Person", v, L"", L"");
}

long CountPersons(ZUBDB::CDBAccessor& db, const std::wstring& name) {
    auto where = Params();
    Add(where, L"PersonName", name);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db.SelectRows(rs, L"Person", L"count(*)", where, L"", L"", L"", 0, 0) != 0) return -1;
    return rs->GetIntAt(0, -1);
}

TEST(ServerBackend, ARestartFailsTheOperationUnderWayAndTheNextOneReconnects) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    ASSERT_EQ(InsertPerson(*db, L"committed"), 0);
    ASSERT_EQ(db->CommitTrans(), 0);
    ASSERT_EQ(InsertPerson(*db, L"pending"), 0);

    auto& cluster = zub::testsupport::PgCluster::Shared();
    cluster.Stop(true);
    cluster.Start();

    EXPECT_NE(InsertPerson(*db, L"lost"), 0);
    EXPECT_NE(db->errDescription().find(zub::Utf8ToWide(cluster.socketDir())), std::wstring::npos)
        << zub::WideToUtf8(db->errDescription());
    // The unit went with the connection: its commit says so.
    EXPECT_NE(db->CommitTrans(), 0);
    EXPECT_NE(db->errDescription().find(L"nothing of it was committed"), std::wstring::npos);
    EXPECT_FALSE(zub::dbcore::test::InTransaction(*db));

    EXPECT_EQ(CountPersons(*db, L"committed"), 1) << zub::WideToUtf8(db->errDescription());
    EXPECT_EQ(CountPersons(*db, L"pending"), 0);
    EXPECT_EQ(InsertPerson(*db, L"after"), 0) << zub::WideToUtf8(db->errDescription());
    EXPECT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(CountPersons(*store.Connect(), L"after"), 1);
}

// Nothing was under way when the server went: the first operation after it
// came back replaces the connection and succeeds.
TEST(ServerBackend, AConnectionLostWhileIdleIsReplacedByTheNextOperation) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    ASSERT_EQ(InsertPerson(*db, L"committed"), 0);
    ASSERT_EQ(db->CommitTrans(), 0);
    struct Case {
        const char* name;
        std::function<int(ZUBDB::CDBAccessor&)> first;
    };
    const Case cases[] = {
        {"a read",
         [](ZUBDB::CDBAccessor& d) { return CountPersons(d, L"committed") == 1 ? 0 : 1; }},
        {"a write opening a unit",
         [](ZUBDB::CDBAccessor& d) { return InsertPerson(d, L"written"); }},
        {"a unit begun", [](ZUBDB::CDBAccessor& d) { return d.BeginTrans(); }},
        // Sent once only, so the loss must be found before it goes.
        {"a write carrying its commit",
         [](ZUBDB::CDBAccessor& d) {
             d.CommitWithNextWrite();
             return InsertPerson(d, L"committing");
         }},
    };
    auto& cluster = zub::testsupport::PgCluster::Shared();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cluster.Stop(true);
        cluster.Start();
        EXPECT_EQ(c.first(*db), 0) << zub::WideToUtf8(db->errDescription());
        ASSERT_EQ(InsertPerson(*db, L"after"), 0) << zub::WideToUtf8(db->errDescription());
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    EXPECT_EQ(CountPersons(*store.Connect(), L"written"), 1);
    EXPECT_EQ(CountPersons(*store.Connect(), L"committing"), 1);
    EXPECT_EQ(CountPersons(*store.Connect(), L"after"), 4);
}

// Every call with a statement is one round trip, whatever the unit of work
// adds around it; the counts are what the benchmarks report.
TEST(ServerBackend, EveryCallIsOneRoundTripAndTheTrafficIsCounted) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    struct Case {
        const char* name;
        std::function<int(ZUBDB::CDBAccessor&)> call;
        long long statements;  // sent in its round trip
        long long trips = 1;
    };
    const Case cases[] = {
        {"a read", [](ZUBDB::CDBAccessor& d) { return CountPersons(d, L"x") == 0 ? 0 : 1; }, 1},
        {"a write opening a unit", [](ZUBDB::CDBAccessor& d) { return InsertPerson(d, L"x"); }, 3},
        {"a write inside the unit", [](ZUBDB::CDBAccessor& d) { return InsertPerson(d, L"y"); }, 3},
        {"the commit", [](ZUBDB::CDBAccessor& d) { return d.CommitTrans(); }, 1},
        // A unit begun waits for its first statement.
        {"a unit begun", [](ZUBDB::CDBAccessor& d) { return d.BeginTrans(); }, 0, 0},
        {"the unit's first statement",
         [](ZUBDB::CDBAccessor& d) { return CountPersons(d, L"x") == 1 ? 0 : 1; }, 5},
        {"the rollback", [](ZUBDB::CDBAccessor& d) { return d.RollbackTrans(); }, 1},
        {"a unit without a statement",
         [](ZUBDB::CDBAccessor& d) { return d.BeginTrans() + d.CommitTrans(); }, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ZUBDB::PgTraffic before = ZUBDB::PgConnection::Traffic();
        ASSERT_EQ(c.call(*db), 0) << zub::WideToUtf8(db->errDescription());
        const ZUBDB::PgTraffic after = ZUBDB::PgConnection::Traffic();
        EXPECT_EQ(after.connections - before.connections, 0);
        EXPECT_EQ(after.roundTrips - before.roundTrips, c.trips);
        EXPECT_EQ(after.statements - before.statements, c.statements);
        if (c.trips > 0) {
            EXPECT_GT(after.nanoseconds, before.nanoseconds);
        }
    }
}

long long ConnectionsMadeBy(const std::function<void()>& work) {
    const long long before = ZUBDB::PgConnection::Traffic().connections;
    work();
    return ZUBDB::PgConnection::Traffic().connections - before;
}

long long BackendPid(ZUBDB::CDBAccessor& db) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db.ExecuteSql(rs, L"select pg_backend_pid()", Params(), L"", 0, 0) != 0) return -1;
    return rs->GetInt64At(0);
}

// An accessor that goes with nothing under way leaves its connection to the
// next accessor of the database; one with work under way, or a connection
// that went meanwhile, is never handed on.
TEST(ServerBackend, AnAccessorGoneIdleLeavesItsConnectionToTheNextOne) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    ZUBDB::CloseIdleServerConnections();
    struct Case {
        const char* what;
        std::function<void(ZUBDB::CDBAccessor&)> last;  // of the first accessor
        bool handedOn;                                  // its connection, to the next
    };
    const Case cases[] = {
        {"committed",
         [](ZUBDB::CDBAccessor& d) {
             ASSERT_EQ(InsertPerson(d, L"kept"), 0);
             ASSERT_EQ(d.CommitTrans(), 0);
         },
         true},
        {"idle", [](ZUBDB::CDBAccessor& d) { ASSERT_EQ(CountPersons(d, L"kept"), 1); }, true},
        // Closing it rolls the row back.
        {"a write not committed",
         [](ZUBDB::CDBAccessor& d) { ASSERT_EQ(InsertPerson(d, L"dropped"), 0); }, false},
        {"its server process gone",
         [&](ZUBDB::CDBAccessor& d) {
             auto args = Params();
             Add(args, L"pid", BackendPid(d));
             auto other = store.Connect();
             std::unique_ptr<ZUBDB::CDBRecordset> rs;
             ASSERT_EQ(
                 other->ExecuteSql(rs, L"select pg_terminate_backend(?, 5000)", args, L"", 0, 0),
                 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        long long first = 0;
        {
            auto db = store.Connect();
            first = BackendPid(*db);
            c.last(*db);
        }
        auto next = store.Connect();
        EXPECT_EQ(BackendPid(*next) == first, c.handedOn);
        EXPECT_EQ(CountPersons(*next, L"kept"), 1) << zub::WideToUtf8(next->errDescription());
        EXPECT_EQ(CountPersons(*next, L"dropped"), 0);
    }
    // Closing the kept connections makes the next accessor connect.
    ZUBDB::CloseIdleServerConnections();
    EXPECT_EQ(ConnectionsMadeBy([&] { store.Connect(); }), 1);

    // A forked child connects for itself, and leaves the parent's kept
    // connection working when it exits.
    const long long parentPid = BackendPid(*store.Connect());
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        long long made = 0, pid = -1;
        made = ConnectionsMadeBy([&] { pid = BackendPid(*store.Connect()); });
        std::exit(made == 1 && pid != parentPid && pid > 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::unique_ptr<ZUBDB::CDBAccessor> after;
    EXPECT_EQ(ConnectionsMadeBy([&] { after = store.Connect(); }), 0);
    EXPECT_EQ(BackendPid(*after), parentPid);
}

ZUBDB::CDBRead CountRead(const std::wstring& name) {
    ZUBDB::CDBRead read;
    read.table = L"Person";
    read.columns = L"count(*)";
    Add(read.params, L"PersonName", name);
    return read;
}

long long TripsSoFar() { return ZUBDB::PgConnection::Traffic().roundTrips; }

// Reads sent ahead cost one round trip and answer the next reads made in
// their order; any other call drops them, so no later read gets an old answer.
TEST(ServerBackend, ReadsSentAheadAnswerOnlyTheReadsThatFollowInOrder) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    auto other = store.Connect();
    ASSERT_EQ(InsertPerson(*db, L"a"), 0);
    ASSERT_EQ(db->CommitTrans(), 0);
    using Step = std::function<void()>;
    const auto ahead = [&](std::vector<ZUBDB::CDBRead> reads) { db->ReadAhead(reads); };
    const auto bornElsewhere = [&](const std::wstring& name) {
        ASSERT_EQ(InsertPerson(*other, name), 0);
        ASSERT_EQ(other->CommitTrans(), 0);
    };
    struct Case {
        const char* what;
        Step before;        // after the reads went ahead
        std::wstring read;  // then read
        long expected;      // persons of that name
        long long trips;    // of the read
    };
    const Case cases[] = {
        {"the first read is answered", [] {}, L"a", 1, 0},
        {"a read out of order goes to the server", [&] { bornElsewhere(L"c"); }, L"c", 1, 1},
        {"an empty list drops them",
         [&] {
             ahead({});
             bornElsewhere(L"b");
         },
         L"b", 1, 1},
        // The unit sees its own row beside the one committed before.
        {"a write drops them", [&] { ASSERT_EQ(InsertPerson(*db, L"b"), 0); }, L"b", 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(db->RollbackTrans(), 0);
        const long long before = TripsSoFar();
        ahead({CountRead(c.read == L"c" ? L"a" : c.read), CountRead(L"b"), CountRead(L"c")});
        EXPECT_EQ(TripsSoFar() - before, 1);
        c.before();
        const long long reading = TripsSoFar();
        EXPECT_EQ(CountPersons(*db, c.read), c.expected);
        EXPECT_EQ(TripsSoFar() - reading, c.trips);
    }
    ASSERT_EQ(db->RollbackTrans(), 0);

    // All of them, one after the other, in one round trip.
    const long long before = TripsSoFar();
    ahead({CountRead(L"a"), CountRead(L"b"), CountRead(L"c")});
    EXPECT_EQ(CountPersons(*db, L"a"), 1);
    EXPECT_EQ(CountPersons(*db, L"b"), 1);
    EXPECT_EQ(CountPersons(*db, L"c"), 1);
    EXPECT_EQ(TripsSoFar() - before, 1);

    // A read out of their order drops the rest: the next one is the server's.
    ahead({CountRead(L"a"), CountRead(L"b")});
    bornElsewhere(L"a");
    EXPECT_EQ(CountPersons(*db, L"b"), 1);
    EXPECT_EQ(CountPersons(*db, L"a"), 2);

    // A read that fails ahead is reported by its own call, not before.
    ZUBDB::CDBRead missing = CountRead(L"a");
    missing.table = L"NoSuchTable";
    ahead({CountRead(L"a"), missing});
    EXPECT_EQ(db->errNumber(), 0);
    EXPECT_EQ(CountPersons(*db, L"a"), 2);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    EXPECT_NE(
        db->SelectRows(rs, missing.table, missing.columns, missing.params, L"", L"", L"", 0, 0), 0);
    EXPECT_NE(db->errDescription().find(L"nosuchtable"), std::wstring::npos)
        << zub::WideToUtf8(db->errDescription());

    // Inside a unit of work every read is the unit's.
    ASSERT_EQ(db->BeginTrans(), 0);
    const long long inUnit = TripsSoFar();
    ahead({CountRead(L"a"), CountRead(L"b")});
    EXPECT_EQ(TripsSoFar() - inUnit, 0);
    ASSERT_EQ(db->RollbackTrans(), 0);
}

// A write asked to commit its unit carries the COMMIT in its own round trip;
// one that fails leaves the unit as any failed write does.
TEST(ServerBackend, AWriteCanCarryTheCommitOfItsUnit) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    auto other = store.Connect();
    std::vector<std::vector<std::string>> trips;
    ZUBDB::PgConnection::Observe([&](const std::vector<ZUBDB::PgStatement>& batch) {
        trips.emplace_back();
        for (const auto& s : batch) trips.back().push_back(s.sql);
    });
    struct Case {
        const char* name;
        bool inUnit;  // a unit is open before the write
    };
    for (const Case c : {Case{"opening its unit", false}, Case{"inside an open unit", true}}) {
        SCOPED_TRACE(c.name);
        if (c.inUnit) {
            ASSERT_EQ(InsertPerson(*db, L"before"), 0);
        }
        trips.clear();
        db->CommitWithNextWrite();
        ASSERT_EQ(InsertPerson(*db, zub::Utf8ToWide(c.name)), 0)
            << zub::WideToUtf8(db->errDescription());
        ASSERT_EQ(trips.size(), 1u);
        EXPECT_EQ(trips[0].back(), "COMMIT");
        EXPECT_FALSE(zub::dbcore::test::InTransaction(*db));
        // Durable before any CommitTrans, which finds nothing left to do.
        EXPECT_EQ(CountPersons(*other, zub::Utf8ToWide(c.name)), 1);
        EXPECT_EQ(CountPersons(*other, L"before"), c.inUnit ? 1 : 0);
        trips.clear();
        EXPECT_EQ(db->CommitTrans(), 0);
        EXPECT_TRUE(trips.empty());
    }

    // A failing write: nothing committed, the unit it joined still open.
    ASSERT_EQ(InsertPerson(*db, L"kept"), 0);
    db->CommitWithNextWrite();
    auto bad = Params();
    Add(bad, L"NoSuchColumn", L"x");
    EXPECT_NE(db->InsertRow(L"Person", bad, L"", L""), 0);
    EXPECT_TRUE(zub::dbcore::test::InTransaction(*db));
    EXPECT_EQ(CountPersons(*other, L"kept"), 0);
    // The request went with the failed write: the next one commits nothing.
    ASSERT_EQ(InsertPerson(*db, L"later"), 0);
    EXPECT_TRUE(zub::dbcore::test::InTransaction(*db));
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(CountPersons(*other, L"kept"), 1);

    // CommitTrans and RollbackTrans take a request back.
    for (const bool commit : {true, false}) {
        db->CommitWithNextWrite();
        ASSERT_EQ(commit ? db->CommitTrans() : db->RollbackTrans(), 0);
        ASSERT_EQ(InsertPerson(*db, L"unasked"), 0);
        EXPECT_TRUE(zub::dbcore::test::InTransaction(*db));
        ASSERT_EQ(db->RollbackTrans(), 0);
    }
    EXPECT_EQ(CountPersons(*other, L"unasked"), 0);
    ZUBDB::PgConnection::Observe(nullptr);
}

TEST(ServerBackend, UpdatesAndDeletesTellTheRowsTheyChanged) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto db = store.Connect();
    for (const wchar_t* name : {L"a", L"a", L"b"}) ASSERT_EQ(InsertPerson(*db, name), 0);
    ASSERT_EQ(db->CommitTrans(), 0);
    struct Case {
        const char* name;
        std::function<int(ZUBDB::CDBAccessor&)> write;
        long long rows;
    };
    const auto named = [](const wchar_t* name) {
        auto where = Params();
        Add(where, L"PersonName", name);
        return where;
    };
    const Case cases[] = {
        {"an update of two",
         [&](ZUBDB::CDBAccessor& d) {
             auto v = Params();
             Add(v, L"PersonName", L"c");
             return d.UpdateRows(L"Person", v, named(L"a"), L"", L"");
         },
         2},
        {"an update of none",
         [&](ZUBDB::CDBAccessor& d) {
             auto v = Params();
             Add(v, L"PersonName", L"d");
             return d.UpdateRows(L"Person", v, named(L"zz"), L"", L"");
         },
         0},
        {"a delete of one",
         [&](ZUBDB::CDBAccessor& d) { return d.DeleteRows(L"Person", named(L"b"), L"", L""); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.write(*db), 0) << zub::WideToUtf8(db->errDescription());
        EXPECT_EQ(db->RowsAffected(), c.rows);
    }
    ASSERT_EQ(db->CommitTrans(), 0);
}

TEST(ServerBackend, ConnectionsThatCannotBeMadeSayWhy) {
    zub::dbcore::test::TempStore store(zub::dbcore::test::Backend::Server);
    auto& cluster = zub::testsupport::PgCluster::Shared();
    auto& creator = ZUBDB::CDBAccessorCreator::instance();
    const std::wstring socket = zub::Utf8ToWide(cluster.socketDir());
    struct Case {
        std::wstring server;
        std::wstring database;
        std::wstring token;
        std::wstring says;
    };
    const std::wstring tcp = L"user=" + zub::Utf8ToWide(cluster.user());
    const Case cases[] = {
        {socket, L"NoSuchDb", zub::Utf8ToWide(cluster.SocketToken()),
         L"\"NoSuchDb\" does not exist"},
        {L"127.0.0.1", L"Data", tcp + L" password=wrong", L"password authentication failed"},
        {socket, L"Data", L"host=elsewhere", L"may not set \"host\""},
        {socket, L"Data", L"user", L"not a list of keyword=value pairs"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(creator.CreateAccessor(
            ZUBDB::QVSvrInfo(c.server, cluster.port(), c.database, L""), c.token));
        EXPECT_NE(creator.LastError().find(c.says), std::wstring::npos)
            << zub::WideToUtf8(creator.LastError());
    }
}

}  // namespace
