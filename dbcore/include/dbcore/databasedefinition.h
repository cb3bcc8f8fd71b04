// What one database of a store is: the script that makes it, its starting
// rows, the steps that bring a copy made by an earlier version up to date, and
// the procedures it serves. A product hands these to dbcore; dbcore itself
// knows no table.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "dbcore/sqliteprocedureregistry.h"
#include "dbcore/sqlitesession.h"

namespace ZUBDB {

struct DatabaseDefinition {
    // SQLite script of the tables, views and indexes of a new database.
    std::string sqliteSchema;
    // Starting rows, written in the transaction that creates the database.
    std::function<void(SqliteSession&)> seed;
    // Runs on every open: must be cheap when there is nothing to do and must
    // not fail on a current database.
    std::function<void(SqliteSession&)> upgrade;
    // Served to "Name arg,arg" calls on this database.
    SqliteProcedureRegistry procedures;

    // The same database on a PostgreSQL server. The script (tables, view,
    // indexes, server functions) runs once, when a store is made on a server;
    // the sessions of seed and upgrade take PostgreSQL statements with "?"
    // placeholders.
    std::string serverSchema;
    std::function<void(SqliteSession&)> serverSeed;
    std::function<void(SqliteSession&)> serverUpgrade;
    // "Name arg,arg" calls of these names run the server function of the
    // same name with the arguments; the key is lower case.
    std::map<std::wstring, ProcedureKind> serverProcedures;
};

}  // namespace ZUBDB
