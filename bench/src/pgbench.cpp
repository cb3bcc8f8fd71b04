// The document library on a loopback PostgreSQL server, beside a hand-written
// libpq client doing the same database work: 4 KiB adds and check-ins (the
// raw side also writes the files durably, as the file server does) and the
// listing of a repository of 100,000 documents. Counts the round trips and
// statements of every add and check-in. Prints one table; sizes can be scaled
// down with ZUB_PG_BENCH_DOCS and ZUB_PG_BENCH_LIST.
#include <fcntl.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbcore/serverstore.h"
#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/docs.h"
#include "pgconnection.h"
#include "rawdocrow.h"
#include "standalone.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/pgcluster.h"
#include "zubtest/tempdir.h"

namespace zub::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Processor time of this thread: what the client spends, whatever the load.
double Cpu() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Pages this thread took fresh from the system: each costs a fault.
long MinorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Row(const std::string& what, double ours, double raw, const std::string& note) {
    std::printf("%-36s %9.3f ms %9.3f ms %6.2fx  %s\n", what.c_str(), ours * 1000, raw * 1000,
                raw > 0 ? ours / raw : 0.0, note.c_str());
}

// The hand-written client: one connection, statements pipelined as a client
// that knows what it sends would.
class RawClient {
public:
    explicit RawClient(const std::string& conninfo)
        : conn_(PQconnectdb(conninfo.c_str()), &PQfinish) {
        if (PQstatus(conn_.get()) != CONNECTION_OK)
            throw std::runtime_error("raw client: " + std::string(PQerrorMessage(conn_.get())));
    }

    void Exec(const std::string& sql) {
        std::unique_ptr<PGresult, decltype(&PQclear)> r(PQexec(conn_.get(), sql.c_str()), &PQclear);
        const ExecStatusType s = PQresultStatus(r.get());
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
            throw std::runtime_error(sql + ": " + PQerrorMessage(conn_.get()));
    }

    using Statements = std::vector<std::pair<std::string, std::vector<std::string>>>;

    // The statements in one round trip; the rows of the last one that has rows.
    std::unique_ptr<PGresult, decltype(&PQclear)> Pipeline(const Statements& statements) {
        PGconn* c = conn_.get();
        if (PQenterPipelineMode(c) != 1) throw std::runtime_error("pipeline mode");
        for (const auto& [sql, args] : statements) {
            std::vector<const char*> values;
            for (const auto& a : args) values.push_back(a.c_str());
            if (PQsendQueryParams(c, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                  values.data(), nullptr, nullptr, 0) != 1)
                throw std::runtime_error("send: " + std::string(PQerrorMessage(c)));
        }
        PQpipelineSync(c);
        std::unique_ptr<PGresult, decltype(&PQclear)> last(nullptr, &PQclear);
        for (std::size_t i = 0; i < statements.size(); ++i) {
            while (PGresult* r = PQgetResult(c)) {
                const ExecStatusType s = PQresultStatus(r);
                if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
                    const std::string error = PQresultErrorMessage(r);
                    PQclear(r);
                    throw std::runtime_error(statements[i].first + ": " + error);
                }
                if (s == PGRES_TUPLES_OK || !last)
                    last.reset(r);
                else
                    PQclear(r);
            }
        }
        PQclear(PQgetResult(c));  // the sync
        PQexitPipelineMode(c);
        return last;
    }

    PGconn* get() { return conn_.get(); }

private:
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn_;
};

void Sync(const fs::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) throw std::runtime_error("cannot sync " + p.string());
}

// A file written as the file server writes it: complete and synced, with
// its folder, before a row may point at it.
void DurableCopy(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    Sync(to);
    Sync(to.parent_path());
}

// The statements the library sends, as a hand-written client would send them:
// the reads of an operation in one round trip, the writes in as few as their
// conditions allow. The savepoints the library puts around a statement in a
// unit of work are its own business and left out.
const char* const kRepoSql = "SELECT server,port,directory FROM QV_DMRepo WHERE DocRepoId = $1";
const char* const kAddStrategySql =
    "select SeriaNumStra,NewDocBeginNum,Begin_Main,Begin_Sub from QV_DMVerStrategy";
const char* const kCheckInStrategySql = "select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy";
const char* const kUserSql = "SELECT UserName FROM QV_User WHERE UserId = $1";
const char* const kWriterLockSql = "SELECT pg_advisory_xact_lock(7305070461)";

struct Traffic {
    long long connections = 0, roundTrips = 0, statements = 0;
    double seconds = 0;  // in round trips

    void Add(const Traffic& t) {
        connections += t.connections;
        roundTrips += t.roundTrips;
        statements += t.statements;
        seconds += t.seconds;
    }
};

Traffic TrafficDuring(const std::function<void()>& work) {
    const ZUBDB::PgTraffic before = ZUBDB::PgConnection::Traffic();
    work();
    const ZUBDB::PgTraffic after = ZUBDB::PgConnection::Traffic();
    return {after.connections - before.connections, after.roundTrips - before.roundTrips,
            after.statements - before.statements,
            static_cast<double>(after.nanoseconds - before.nanoseconds) / 1e9};
}

std::string PerOp(const Traffic& t, std::uint64_t count) {
    char text[160];
    std::snprintf(text, sizeof text, "%.1f round trips, %.1f statements, %.1f connects each",
                  static_cast<double>(t.roundTrips) / static_cast<double>(count),
                  static_cast<double>(t.statements) / static_cast<double>(count),
                  static_cast<double>(t.connections) / static_cast<double>(count));
    return text;
}

// One statement of a round trip as the listing shows it: its first words.
std::string Shortened(const std::string& sql) {
    std::string flat;
    for (char c : sql) {
        if (c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && !flat.empty() && flat.back() == ' ') continue;
        flat += c;
    }
    return flat.size() > 90 ? flat.substr(0, 87) + "..." : flat;
}

// The round trips `work` makes, one line each: its statements, " | " between them.
std::vector<std::string> TripsOf(const std::function<void()>& work) {
    std::vector<std::string> trips;
    ZUBDB::PgConnection::Observe([&](const std::vector<ZUBDB::PgStatement>& batch) {
        std::string line;
        for (const ZUBDB::PgStatement& s : batch)
            line += (line.empty() ? "" : " | ") + Shortened(s.sql);
        trips.push_back(line);
    });
    work();
    ZUBDB::PgConnection::Observe(nullptr);
    return trips;
}

const char* const kListSql =
    "SELECT DocId,DocRepoId,Name,ext,CurrentVersion,CurrentState,CurrentOperatorId,"
    "CurrentOperatorName,CreatorId,CreatorName,DocCreateTime,LastOperatorId,LastOperatorName,"
    "LastOperateTime,phyUrl FROM QV_DMDoc WHERE DocRepoId = $1 ORDER BY phyurl ASC";

std::size_t RawListing(RawClient& raw, int repo) {
    auto r = raw.Pipeline({{kListSql, {std::to_string(repo)}}});
    const int n = PQntuples(r.get());
    std::vector<RawDocRow> rows(static_cast<std::size_t>(n));
    const auto text = [&](int i, int c) { return std::string(PQgetvalue(r.get(), i, c)); };
    const auto integer = [&](int i, int c) { return std::atoll(PQgetvalue(r.get(), i, c)); };
    const auto real = [&](int i, int c) { return std::atof(PQgetvalue(r.get(), i, c)); };
    for (int i = 0; i < n; ++i) {
        RawDocRow& row = rows[static_cast<std::size_t>(i)];
        row.id = integer(i, 0);
        row.repoId = integer(i, 1);
        row.name = text(i, 2);
        row.ext = text(i, 3);
        row.version = text(i, 4);
        row.state = integer(i, 5);
        row.holderId = integer(i, 6);
        row.holderName = text(i, 7);
        row.creatorId = integer(i, 8);
        row.creatorName = text(i, 9);
        row.created = real(i, 10);
        row.lastId = integer(i, 11);
        row.lastName = text(i, 12);
        row.lastTime = real(i, 13);
        row.phyUrl = text(i, 14);
    }
    return rows.size();
}

}  // namespace

int Main() try {
    const std::uint64_t docs = Env("ZUB_PG_BENCH_DOCS", 100);
    const std::uint64_t listed = Env("ZUB_PG_BENCH_LIST", 100000);
    constexpr std::uint64_t kTurn = 10;  // documents per turn of ours and raw

    zub::testsupport::PgCluster cluster("zub-pg-bench");
    zub::testsupport::TempDir dir("zub-pg-bench-files");
    const std::wstring server = L"127.0.0.1";
    const std::wstring token = zub::Utf8ToWide(cluster.TcpToken());
    for (const char* db : {"QVData", "QVSystem"}) cluster.DropDatabase(db);
    bool existed = false;
    std::wstring error;
    if (zub::vaultschema::ProductStore::CreateOnServer({server, cluster.port(), token}, "QVData",
                                                       existed, error) != 0)
        throw std::runtime_error("cannot make the store: " + zub::WideToUtf8(error));
    RawClient raw("host=127.0.0.1 port=" + std::to_string(cluster.port()) +
                  " user=" + cluster.user() + " password=" + cluster.password() + " dbname=QVData");
    const auto connect = [&](auto& bo) {
        if (bo.Connect(server, cluster.port(), L"QVData", token) != 0)
            throw std::runtime_error("cannot connect: " + zub::WideToUtf8(bo.ErrDesc()));
    };
    const fs::path root = dir.path() / "files";
    fs::create_directories(root);
    const auto makeRepo = [&](const std::wstring& name) {
        DRM::DocRepo repo;
        connect(repo);
        repo.set_name(name);
        repo.set_nfsServer(L"file:" + root.wstring());
        repo.set_nfsRootDir(L"D:\\" + name);
        if (repo.Create() != DRM::DocRepo::kCreated)
            throw std::runtime_error("cannot make a repository: " +
                                     zub::WideToUtf8(repo.ErrDesc()));
        return repo.id();
    };
    const int repo = makeRepo(L"bench");
    const std::string repoId = std::to_string(repo);

    // The raw side writes rows of the same shape into copies of the tables,
    // with the same indexes and checks.
    raw.Exec("CREATE TABLE raw_doc (LIKE QV_DMDoc INCLUDING ALL)");
    // A copy has no foreign keys of its own: the document's repository is checked as in the store.
    raw.Exec("ALTER TABLE raw_doc ADD FOREIGN KEY (DocRepoId) REFERENCES QV_DMRepo (DocRepoId)");
    raw.Exec("CREATE TABLE raw_docver (LIKE QV_DMDocVer INCLUDING ALL)");
    const fs::path rawFiles = dir.path() / "raw";
    fs::create_directories(rawFiles / "trunk");
    fs::create_directories(rawFiles / "history");

    const fs::path in = dir.path() / "in";
    fs::create_directories(in);
    std::vector<fs::path> sources;
    for (std::uint64_t i = 0; i < docs; ++i) {
        sources.push_back(in / ("p" + std::to_string(i) + ".prt"));
        std::ofstream(sources.back(), std::ios::binary) << std::string(4096, char('a' + i % 26));
    }
    const fs::path changed = in / "changed.prt";
    std::ofstream(changed, std::ios::binary) << std::string(4096, 'z');

    std::printf("# loopback PostgreSQL (TCP 127.0.0.1), %llu documents of 4 KiB, %llu listed\n",
                static_cast<unsigned long long>(docs), static_cast<unsigned long long>(listed));
    std::printf("%-36s %12s %12s %7s\n", "operation", "library", "raw libpq", "ratio");

    // Adds, in turns of ours and raw.
    DRM::Doc doc;
    connect(doc);
    std::vector<int> ids;
    std::vector<long long> rawIds;
    double oursAdd = 0, rawAdd = 0, rawAddDb = 0;
    // Each operation's time too: a median is not moved by the odd slow sync.
    std::vector<double> oursAdds, rawAdds, oursCheckIns, rawCheckIns;
    Traffic addTraffic;
    for (std::uint64_t first = 0; first < docs; first += kTurn) {
        const std::uint64_t end = std::min(docs, first + kTurn);
        for (std::uint64_t i = first; i < end; ++i) {
            doc.set_docRepoId(repo);
            doc.set_fileName(L"p" + std::to_wstring(i));
            doc.set_ext(L"prt");
            doc.set_creById(1);
            const auto start = Clock::now();
            const Traffic t = TrafficDuring([&] {
                if (doc.Add(sources[i].wstring()) != 0)
                    throw std::runtime_error("Doc::Add: " + zub::WideToUtf8(doc.ErrDesc()));
            });
            oursAdds.push_back(Since(start));
            oursAdd += oursAdds.back();
            addTraffic.Add(t);
            ids.push_back(doc.id());
        }
        for (std::uint64_t i = first; i < end; ++i) {
            const auto start = Clock::now();
            double db = 0;
            const auto trip = [&](const RawClient::Statements& statements) {
                const auto at = Clock::now();
                auto r = raw.Pipeline(statements);
                db += Since(at);
                return r;
            };
            trip({{kRepoSql, {repoId}}, {kAddStrategySql, {}}, {kUserSql, {"1"}}});
            DurableCopy(sources[i], rawFiles / "trunk" / sources[i].filename());
            const std::string mark = "add|" + std::string(40, 's') + std::to_string(i) + "|";
            auto r =
                trip({{"BEGIN", {}},
                      {kWriterLockSql, {}},
                      {"INSERT INTO raw_doc (DocRepoId, Name, Ext, phyUrl, CurrentVersion, "
                       "CurrentState, CreatorId, CreatorName, DocCreateTime, LastOperatorId, "
                       "LastOperatorName, LastOperateTime, CurrentOperatorId, CaxDocType, "
                       "PendingFile, ContentSha256, ContentBytes) VALUES ($1, $2, 'prt', '', "
                       "'1.0', 0, 1, 'system', $3, 1, 'system', $3, 0, 0, $4, $5, 4096) "
                       "RETURNING DocId",
                       {repoId, "p" + std::to_string(i), "46000.5", mark, std::string(64, 'f')}},
                      {"COMMIT", {}}});
            const std::string id = PQgetvalue(r.get(), 0, 0);
            rawIds.push_back(std::atoll(id.c_str()));
            trip({{"BEGIN", {}},
                  {kWriterLockSql, {}},
                  {"UPDATE raw_doc SET PendingFile = '' WHERE DocId = $1 AND PendingFile = $2",
                   {id, mark}},
                  {"COMMIT", {}}});
            rawAddDb += db;
            rawAdds.push_back(Since(start));
            rawAdd += rawAdds.back();
        }
    }
    const double n = static_cast<double>(docs);
    Row("add 4 KiB", oursAdd / n, rawAdd / n, "files written and synced on both sides");
    Row("  median of one", Median(oursAdds), Median(rawAdds), "in the same turns");
    Row("  its database round trips", addTraffic.seconds / n, rawAddDb / n,
        PerOp(addTraffic, docs) + " (raw: 3 round trips, 11 statements)");

    // Check-ins of those documents, each claimed first as a check-out would.
    // One connection for all, as the raw side has: a fresh server process
    // would pay for loading its caches in the first check-in's statements.
    DRM::Doc held;
    connect(held);
    double oursCheckIn = 0, rawCheckIn = 0, rawCheckInDb = 0;
    Traffic checkInTraffic;
    for (std::uint64_t first = 0; first < docs; first += kTurn) {
        const std::uint64_t end = std::min(docs, first + kTurn);
        for (std::uint64_t i = first; i < end; ++i) {
            raw.Pipeline(
                {{"UPDATE QV_DMDoc SET CurrentState = 1, CurrentOperatorId = 1, "
                  "CurrentOperatorName = 'system' WHERE DocId = $1",
                  {std::to_string(ids[i])}}});
            if (held.Read(ids[i]) != 0) throw std::runtime_error("Doc::Read");
            held.set_checkOutById(1);
            held.set_checkOutByName(L"system");
            held.set_modifyInfo(L"benchmark check-in");
            const auto start = Clock::now();
            const Traffic t = TrafficDuring([&] {
                if (held.CheckIn(changed.wstring()) != 0)
                    throw std::runtime_error("Doc::CheckIn: " + zub::WideToUtf8(held.ErrDesc()));
            });
            oursCheckIns.push_back(Since(start));
            oursCheckIn += oursCheckIns.back();
            checkInTraffic.Add(t);
        }
        for (std::uint64_t i = first; i < end; ++i) {
            const std::string id = std::to_string(rawIds[i]);
            const fs::path current = rawFiles / "trunk" / sources[i].filename();
            const auto start = Clock::now();
            double db = 0;
            const auto trip = [&](const RawClient::Statements& statements) {
                const auto at = Clock::now();
                raw.Pipeline(statements);
                db += Since(at);
            };
            trip({{kRepoSql, {repoId}},
                  {"SELECT CurrentState, CurrentOperatorId, CurrentVersion, Name, Ext, phyUrl, "
                   "ChangeStamp, ContentSha256, ContentBytes, PendingFile FROM raw_doc "
                   "WHERE DocId = $1",
                   {id}},
                  {kCheckInStrategySql, {}}});
            fs::copy_file(changed, rawFiles / "trunk" / ("staged" + id));
            Sync(rawFiles / "trunk" / ("staged" + id));
            const std::string mark = "checkin|staged" + id + "|history" + id;
            trip({{"BEGIN", {}},
                  {kWriterLockSql, {}},
                  {"UPDATE raw_doc SET CurrentVersion = '1.1', CurrentState = 0, "
                   "LastOperatorId = 1, LastOperatorName = 'system', LastOperateTime = $2, "
                   "CurrentOperatorId = 0, CurrentOperatorName = '', PendingFile = $3, "
                   "ContentSha256 = $4 WHERE DocId = $1 AND CurrentState = 0 AND PendingFile = ''",
                   {id, "46000.6", mark, std::string(64, 'e')}}});
            trip({{"INSERT INTO raw_docver (DocId, DocName, OperatorId, OperatorName, "
                   "OperatorTime, Action, OperateInfo, PhyUrl, Version_Main, Version_Sub, "
                   "Revision, ContentSha256, ContentBytes) VALUES ($1, $2, 1, 'system', $3, 1, "
                   "'benchmark check-in', '', 1, 0, (SELECT count(*) + 1 FROM raw_docver WHERE "
                   "DocId = $1), $4, 4096)",
                   {id, id + "_1.0.prt", "46000.5", std::string(64, 'f')}},
                  {"COMMIT", {}}});
            // The replaced file to the history, the new one into place.
            fs::rename(current, rawFiles / "history" / (id + "_1.0.prt"));
            fs::rename(rawFiles / "trunk" / ("staged" + id), current);
            Sync(rawFiles / "history");
            Sync(rawFiles / "trunk");
            trip({{"BEGIN", {}},
                  {kWriterLockSql, {}},
                  {"UPDATE raw_doc SET PendingFile = '' WHERE DocId = $1 AND PendingFile = $2",
                   {id, mark}},
                  {"COMMIT", {}}});
            rawCheckInDb += db;
            rawCheckIns.push_back(Since(start));
            rawCheckIn += rawCheckIns.back();
        }
    }
    Row("check-in 4 KiB", oursCheckIn / n, rawCheckIn / n,
        "raw: new file staged and synced, both moved, folders synced");
    Row("  median of one", Median(oursCheckIns), Median(rawCheckIns), "in the same turns");
    Row("  its database round trips", checkInTraffic.seconds / n, rawCheckInDb / n,
        PerOp(checkInTraffic, docs) + " (raw: 4 round trips, 12 statements)");

    // One more add and check-in, their round trips listed after the table.
    DRM::Doc traced;
    connect(traced);
    traced.set_docRepoId(repo);
    traced.set_fileName(L"traced");
    traced.set_ext(L"prt");
    traced.set_creById(1);
    const std::vector<std::string> addTrips = TripsOf([&] {
        if (traced.Add(sources[0].wstring()) != 0)
            throw std::runtime_error("Doc::Add: " + zub::WideToUtf8(traced.ErrDesc()));
    });
    raw.Pipeline(
        {{"UPDATE QV_DMDoc SET CurrentState = 1, CurrentOperatorId = 1, "
          "CurrentOperatorName = 'system' WHERE DocId = $1",
          {std::to_string(traced.id())}}});
    traced.set_state(1);
    traced.set_checkOutById(1);
    traced.set_checkOutByName(L"system");
    traced.set_modifyInfo(L"traced check-in");
    const std::vector<std::string> checkInTrips = TripsOf([&] {
        if (traced.CheckIn(changed.wstring()) != 0)
            throw std::runtime_error("Doc::CheckIn: " + zub::WideToUtf8(traced.ErrDesc()));
    });

    // A repository of `listed` documents, seeded in bulk.
    const int big = makeRepo(L"listing");
    raw.Exec(
        "INSERT INTO QV_DMDoc (DocRepoId, Name, Ext, CurrentVersion, CreatorId, CreatorName, "
        "DocCreateTime, LastOperatorId, LastOperatorName, LastOperateTime, phyUrl) "
        "SELECT " +
        std::to_string(big) +
        ", 'part' || g, 'prt', '1.' || (g % 7), 1, 'system', 46000 + g / 1000.0, 1, "
        "'system', 46001 + g / 1000.0, 'folder' || (g % 100) FROM generate_series(1, " +
        std::to_string(listed) + ") g");
    raw.Exec("ANALYZE QV_DMDoc");
    // The fastest of five after a warm-up; only the call is timed.
    const auto best = [](const std::function<double()>& timed) {
        timed();
        double fastest = 1e9;
        for (int i = 0; i < 5; ++i) fastest = std::min(fastest, timed());
        return fastest;
    };
    DRM::filterForDoc filter;
    filter.docRepoId = big;
    long count = 0;
    std::size_t rawCount = 0;
    Traffic listTraffic;
    // Cold: the heap given back to the system before each listing, as in a
    // process that lists once; warm, the process keeps what it had.
    bool cold = false;
    double oursCpu = 1e9, rawCpu = 1e9;
    long oursFaults = 0, rawFaults = 0;
    // One object lists each time, as the raw client keeps its connection:
    // the first listing (the warm-up) connects it.
    DRM::Docs listing;
    connect(listing);
    const auto oursListing = [&] {
        listing.Clear();
        if (cold) ::malloc_trim(0);
        const long faults = MinorFaults();
        const auto start = Clock::now();
        const double cpu = Cpu();
        listTraffic = TrafficDuring([&] {
            if (listing.GetAll(filter) != 0) throw std::runtime_error("Docs::GetAll");
        });
        oursCpu = std::min(oursCpu, Cpu() - cpu);
        const double seconds = Since(start);
        oursFaults = MinorFaults() - faults;
        count = listing.Count();
        return seconds;
    };
    const auto rawListing = [&] {
        if (cold) ::malloc_trim(0);
        const long faults = MinorFaults();
        const auto start = Clock::now();
        const double cpu = Cpu();
        rawCount = RawListing(raw, big);
        rawCpu = std::min(rawCpu, Cpu() - cpu);
        rawFaults = MinorFaults() - faults;
        return Since(start);
    };
    const double oursList = best(oursListing);
    const double rawList = best(rawListing);
    if (static_cast<std::uint64_t>(count) != listed || rawCount != listed)
        throw std::runtime_error("the listings found " + std::to_string(count) + " and " +
                                 std::to_string(rawCount) + " documents");
    Row("listing " + std::to_string(listed) + " documents", oursList, rawList,
        std::to_string(listTraffic.roundTrips) + " round trip(s), fastest of 5, warm");
    Row("  its round trip", listTraffic.seconds, rawList,
        "the rest is the library making its documents from the answer");
    Row("  client processor time", oursCpu, rawCpu, "least of 5: the server's work left out");
    const auto faultsRow = [&] {
        std::printf(
            "%-36s %9ld    %9ld    %6.2fx  %s\n", "  pages faulted in", oursFaults, rawFaults,
            rawFaults > 0 ? static_cast<double>(oursFaults) / static_cast<double>(rawFaults) : 0.0,
            "of the last listing: memory taken fresh from the system");
    };
    faultsRow();
    cold = true;
    oursCpu = rawCpu = 1e9;
    const double oursCold = best(oursListing);
    const double rawCold = best(rawListing);
    Row("listing, cold", oursCold, rawCold, "the heap given back before each, fastest of 5");
    Row("  client processor time", oursCpu, rawCpu, "least of 5");
    faultsRow();
    // As a program that makes an object for each listing: it connects first.
    cold = false;
    const double oursNew = best([&] {
        DRM::Docs fresh;
        connect(fresh);
        const auto start = Clock::now();
        if (fresh.GetAll(filter) != 0) throw std::runtime_error("Docs::GetAll");
        return Since(start);
    });
    Row("listing, a new object each time", oursNew, rawList, "its connection included");
    for (const auto& [what, trips] :
         {std::pair{"add", &addTrips}, std::pair{"check-in", &checkInTrips}}) {
        std::printf("# the round trips of one %s\n", what);
        for (std::size_t i = 0; i < trips->size(); ++i)
            std::printf("# %2zu  %s\n", i + 1, (*trips)[i].c_str());
    }
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "zub_pg_bench: %s\n", e.what());
    return 1;
}

}  // namespace zub::bench

int main() { return zub::bench::Main(); }
