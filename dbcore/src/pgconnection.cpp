#include "pgconnection.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>

#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

// Type numbers of pg_type that arrive as numbers.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

constexpr const char* kLostSending =
    ZUB_N_("the connection to the PostgreSQL server %s failed while sending: %s");
constexpr const char* kLostWaiting =
    ZUB_N_("the connection to the PostgreSQL server %s failed while waiting for the answer: %s");
constexpr const char* kLostFinishing =
    ZUB_N_("the connection to the PostgreSQL server %s failed while finishing: %s");
constexpr const char* kLostScript =
    ZUB_N_("the connection to the PostgreSQL server %s failed while running a script: %s");

std::string Trimmed(const char* text) {
    std::string s = text != nullptr ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

DBValue Cell(const PGresult* r, int row, int col, Oid type) {
    if (PQgetisnull(r, row, col) != 0) return std::monostate{};
    const char* text = PQgetvalue(r, row, col);
    const int length = PQgetlength(r, row, col);
    switch (type) {
        case kBool:
            return static_cast<long long>(text[0] == 't' ? 1 : 0);
        case kInt8:
        case kInt2:
        case kInt4:
        case kOid: {
            long long v = 0;
            std::from_chars(text, text + length, v);
            return v;
        }
        case kFloat4:
        case kFloat8:
        case kNumeric: {
            double v = 0;
            std::from_chars(text, text + length, v);
            return v;
        }
        default:
            return zub::Utf8ToWide(std::string_view(text, static_cast<std::size_t>(length)));
    }
}

struct ResultCloser {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultCloser>;

// A query's rows read where libpq keeps them: each value is made once, when
// the caller reads it, with no copy of the whole answer in between.
class ResultRows : public CDBRowSource {
public:
    explicit ResultRows(Result result) : result_(std::move(result)) {
        const int columns = PQnfields(result_.get());
        for (int c = 0; c < columns; ++c) types_.push_back(PQftype(result_.get(), c));
    }
    std::size_t RowCount() const override {
        return static_cast<std::size_t>(PQntuples(result_.get()));
    }
    DBValue Value(std::size_t row, std::size_t column) const override {
        return Cell(result_.get(), static_cast<int>(row), static_cast<int>(column), types_[column]);
    }

private:
    Result result_;
    std::vector<Oid> types_;
};

CDBRecordset Rows(Result r) {
    const int columns = PQnfields(r.get());
    std::vector<std::wstring> names;
    for (int c = 0; c < columns; ++c) names.push_back(zub::Utf8ToWide(PQfname(r.get(), c)));
    return CDBRecordset(std::move(names), std::make_shared<ResultRows>(std::move(r)));
}

std::string Text(const DBValue& v) {
    if (const auto* s = std::get_if<std::wstring>(&v)) return zub::WideToUtf8(*s);
    if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v)) {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, res.ptr);
    }
    return {};
}

std::atomic<long long> gConnections{0};
std::atomic<long long> gRoundTrips{0};
std::atomic<long long> gStatements{0};
std::atomic<long long> gNanoseconds{0};
PgConnection::Observer gObserver;

// Adds the time of a round trip to the process's count, however it ends.
class TripTimer {
public:
    TripTimer() : start_(std::chrono::steady_clock::now()) {}
    ~TripTimer() {
        gNanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start_)
                            .count();
    }
    TripTimer(const TripTimer&) = delete;
    TripTimer& operator=(const TripTimer&) = delete;

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

PgTraffic PgConnection::Traffic() { return {gConnections, gRoundTrips, gStatements, gNanoseconds}; }

void PgConnection::Observe(Observer observer) { gObserver = std::move(observer); }

void PgConnection::Closer::operator()(pg_conn* c) const { PQfinish(c); }

PgConnection::PgConnection(const std::vector<std::string>& keywords,
                           const std::vector<std::string>& values, std::string place)
    : place_(std::move(place)) {
    std::vector<const char*> k;
    std::vector<const char*> v;
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        k.push_back(keywords[i].c_str());
        v.push_back(values[i].c_str());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    conn_.reset(PQconnectdbParams(k.data(), v.data(), 0));
    ++gConnections;
    if (!conn_)
        throw PgError(PgError::kCannotConnect,
                      zub::Format(ZUB_N_("out of memory connecting to %s"), place_.c_str()));
    if (PQstatus(conn_.get()) != CONNECTION_OK)
        throw PgError(PgError::kCannotConnect,
                      zub::Format(ZUB_N_("cannot connect to the PostgreSQL server %s: %s"),
                                  place_.c_str(), Trimmed(PQerrorMessage(conn_.get())).c_str()));
    if (PQserverVersion(conn_.get()) < 120000)
        throw PgError(PgError::kCannotConnect,
                      zub::Format(ZUB_N_("the PostgreSQL server %s is older than version 12"),
                                  place_.c_str()));
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
}

PgConnection::~PgConnection() = default;

bool PgConnection::Broken() const { return PQstatus(conn_.get()) != CONNECTION_OK; }

bool PgConnection::StillThere() {
    if (PQstatus(conn_.get()) != CONNECTION_OK) return false;
    // Every answer was read to its end, so an idle connection hears nothing
    // unless the server is going away (its farewell, or the close itself).
    pollfd idle{PQsocket(conn_.get()), POLLIN, 0};
    return ::poll(&idle, 1, 0) == 0;
}

bool PgConnection::Idle() {
    return PQtransactionStatus(conn_.get()) == PQTRANS_IDLE && StillThere();
}

void PgConnection::Abandon() {
    // The socket's number now names /dev/null: the farewell libpq sends on
    // closing goes nowhere, and no other file can have taken the number.
    const int socket = PQsocket(conn_.get());
    if (socket < 0) return;
    const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nothing < 0) {
        (void)conn_.release();  // leaked rather than heard by the server
        return;
    }
    ::dup2(nothing, socket);
    ::close(nothing);
}

void PgConnection::ThrowLost(const char* format) const {
    throw PgError(
        PgError::kConnectionFailure,
        zub::Format(format, place_.c_str(), Trimmed(PQerrorMessage(conn_.get())).c_str()));
}

std::vector<PgOutcome> PgConnection::Batch(const std::vector<PgStatement>& statements) {
    const TripTimer timer;
    PGconn* c = conn_.get();
    if (PQenterPipelineMode(c) != 1) ThrowLost(kLostSending);
    for (const PgStatement& s : statements) {
        std::vector<std::string> texts;
        std::vector<const char*> values;
        texts.reserve(s.args.size());
        for (const DBValue& a : s.args) {
            texts.push_back(Text(a));
            values.push_back(std::holds_alternative<std::monostate>(a) ? nullptr
                                                                       : texts.back().c_str());
        }
        if (PQsendQueryParams(c, s.sql.c_str(), static_cast<int>(values.size()), nullptr,
                              values.data(), nullptr, nullptr, 0) != 1)
            ThrowLost(kLostSending);
    }
    if (PQpipelineSync(c) != 1) ThrowLost(kLostSending);
    ++roundTrips_;
    ++gRoundTrips;
    gStatements += static_cast<long long>(statements.size());
    if (gObserver) gObserver(statements);
    std::vector<PgOutcome> outcomes(statements.size());
    for (PgOutcome& o : outcomes) {
        bool first = true;
        while (Result r{PQgetResult(c)}) {
            const ExecStatusType status = PQresultStatus(r.get());
            if (first) {
                first = false;
                if (status == PGRES_TUPLES_OK) {
                    o.ok = true;
                    o.affected = PQntuples(r.get());
                    o.rows = Rows(std::move(r));
                } else if (status == PGRES_COMMAND_OK) {
                    o.ok = true;
                    o.affected = std::atoll(PQcmdTuples(r.get()));
                } else if (status == PGRES_EMPTY_QUERY) {
                    o.sqlState = "42601";
                    o.message = "no statement given";
                } else if (status == PGRES_PIPELINE_ABORTED) {
                    o.skipped = true;
                } else {
                    const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
                    o.sqlState = state != nullptr ? state : PgError::kConnectionFailure;
                    o.message = Trimmed(PQresultErrorMessage(r.get()));
                }
            }
            if (PQstatus(c) != CONNECTION_OK) ThrowLost(kLostWaiting);
        }
        if (first || PQstatus(c) != CONNECTION_OK) ThrowLost(kLostWaiting);
    }
    Result sync{PQgetResult(c)};
    if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) ThrowLost(kLostFinishing);
    if (PQexitPipelineMode(c) != 1) ThrowLost(kLostFinishing);
    return outcomes;
}

void PgConnection::Script(const std::string& sql) {
    ++roundTrips_;
    ++gRoundTrips;
    ++gStatements;
    if (gObserver) gObserver({{sql, {}}});
    Result r{PQexec(conn_.get(), sql.c_str())};
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
    if (PQstatus(conn_.get()) != CONNECTION_OK) ThrowLost(kLostScript);
    const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
    throw PgError(state != nullptr ? state : "XX000",
                  zub::Format(ZUB_N_("PostgreSQL server %s: %s"), place_.c_str(),
                              Trimmed(PQresultErrorMessage(r.get())).c_str()));
}

}  // namespace ZUBDB
