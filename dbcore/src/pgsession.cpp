#include "pgsession.h"

#include "pgdialect.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {

PgOutcome PgSession::Run(const std::string& sql, const std::vector<DBValue>& args) {
    auto outcomes = conn_.Batch({{PgDialect::Translate(sql), args}});
    PgOutcome& o = outcomes.front();
    if (!o.ok)
        throw PgError(o.sqlState,
                      zub::Format(ZUB_N_("PostgreSQL server %s: %s (statement: %s)"),
                                  conn_.place().c_str(), o.message.c_str(), sql.c_str()));
    return std::move(o);
}

CDBRecordset PgSession::Query(const std::string& sql, const std::vector<DBValue>& args) {
    return Run(sql, args).rows;
}

long long PgSession::Execute(const std::string& sql, const std::vector<DBValue>& args) {
    return Run(sql, args).affected;
}

}  // namespace ZUBDB
