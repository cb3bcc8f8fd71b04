// The session handed to procedure bodies: statements on one connection.
#pragma once

#include "dbcore/sqlitesession.h"

namespace ZUBDB {

class SqliteDb;

class SqliteDbSession : public SqliteSession {
public:
    explicit SqliteDbSession(const SqliteDb& db) : db_(db) {}

    CDBRecordset Query(const std::string& sql, const std::vector<DBValue>& args) override;
    long long Execute(const std::string& sql, const std::vector<DBValue>& args) override;

private:
    const SqliteDb& db_;
};

}  // namespace ZUBDB
