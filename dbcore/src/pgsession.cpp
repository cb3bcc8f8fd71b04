#include "pgsession.h"

#include "pgdialect.h"

namespace ZUBDB {

PgOutcome PgSession::Run(const std::string& sql, const std::vector<DBValue>& args) {
    auto outcomes = conn_.Batch({{PgDialect::Translate(sql), args}});
    PgOutcome& o = outcomes.front();
    if (!o.ok)
        throw PgError(o.sqlState, "PostgreSQL server " + conn_.place() + ": " + o.message +
                                      " (statement: " + sql + ")");
    return std::move(o);
}

CDBRecordset PgSession::Query(const std::string& sql, const std::vector<DBValue>& args) {
    return Run(sql, args).rows;
}

long long PgSession::Execute(const std::string& sql, const std::vector<DBValue>& args) {
    return Run(sql, args).affected;
}

}  // namespace ZUBDB
