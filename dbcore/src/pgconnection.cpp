#include "pgconnection.h"

#include <libpq-fe.h>

#include <charconv>
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

CDBRecordset Rows(const PGresult* r) {
    const int columns = PQnfields(r);
    std::vector<std::wstring> names;
    std::vector<Oid> types;
    for (int c = 0; c < columns; ++c) {
        names.push_back(zub::Utf8ToWide(PQfname(r, c)));
        types.push_back(PQftype(r, c));
    }
    CDBRecordset rows(std::move(names));
    const int count = PQntuples(r);
    for (int i = 0; i < count; ++i) {
        std::vector<DBValue> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(Cell(r, i, c, types[static_cast<std::size_t>(c)]));
        rows.AddRow(std::move(row));
    }
    return rows;
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

struct ResultCloser {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultCloser>;

}  // namespace

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

void PgConnection::ThrowLost(const char* format) const {
    throw PgError(
        PgError::kConnectionFailure,
        zub::Format(format, place_.c_str(), Trimmed(PQerrorMessage(conn_.get())).c_str()));
}

std::vector<PgOutcome> PgConnection::Batch(const std::vector<PgStatement>& statements) {
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
    std::vector<PgOutcome> outcomes(statements.size());
    for (PgOutcome& o : outcomes) {
        bool first = true;
        while (Result r{PQgetResult(c)}) {
            const ExecStatusType status = PQresultStatus(r.get());
            if (first) {
                first = false;
                if (status == PGRES_TUPLES_OK) {
                    o.ok = true;
                    o.rows = Rows(r.get());
                    o.affected = PQntuples(r.get());
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
