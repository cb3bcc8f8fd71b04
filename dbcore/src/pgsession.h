// The session handed to a definition's seed and upgrade on a server: "?"
// placeholders become $n.
#pragma once

#include "dbcore/sqlitesession.h"
#include "pgconnection.h"

namespace ZUBDB {

class PgSession : public SqliteSession {
public:
    explicit PgSession(PgConnection& conn) : conn_(conn) {}
    CDBRecordset Query(const std::string& sql, const std::vector<DBValue>& args) override;
    long long Execute(const std::string& sql, const std::vector<DBValue>& args) override;

private:
    PgOutcome Run(const std::string& sql, const std::vector<DBValue>& args);
    PgConnection& conn_;
};

}  // namespace ZUBDB
