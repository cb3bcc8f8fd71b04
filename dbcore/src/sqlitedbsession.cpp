#include "sqlitedbsession.h"

#include <sqlite3.h>

#include "sqlitedb.h"
#include "sqlitestatement.h"

namespace ZUBDB {

CDBRecordset SqliteDbSession::Query(const std::string& sql, const std::vector<DBValue>& args) {
    SqliteStatement statement(db_, sql);
    statement.bindAll(args);
    return statement.fetchAll();
}

long long SqliteDbSession::Execute(const std::string& sql, const std::vector<DBValue>& args) {
    SqliteStatement statement(db_, sql);
    statement.bindAll(args);
    statement.fetchAll();
    return sqlite3_changes64(db_.get());
}

}  // namespace ZUBDB
