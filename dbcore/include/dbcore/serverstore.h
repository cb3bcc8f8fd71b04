// Stores on a PostgreSQL server. Any server text given to CDBAccessorCreator
// that names no registered scheme ("sqlite:DIR") names a PostgreSQL server:
// a host name, an address, or the absolute path of a Unix-socket folder;
// port 0 means 5432; the database name is the server's, as spelled.
//
// The token carries the credentials as libpq keywords, e.g.
// "user=alice password=secret" or "user=alice sslmode=require"; only user,
// password, passfile and the ssl* keywords may appear. An empty token uses
// libpq's usual sources (PGUSER, PGPASSWORD, ~/.pgpass, peer login over the
// socket), so no password need appear on a command line.
#pragma once

#include <memory>
#include <string>

#include "dbcore/storedefinition.h"

namespace ZUBDB {

// Serves server stores as stores of `definition` from now on (null forgets).
void RegisterServerStore(std::shared_ptr<const StoreDefinition> definition);
std::shared_ptr<const StoreDefinition> FindServerStore();

struct ServerPlace {
    std::wstring server;  // host, address or socket folder
    long port = 0;
    std::wstring token;
};

// Makes the databases of a store on the server: `mainDb` from the main
// definition and each fixed database, each with the dialect's support
// objects, its script and its starting rows, all committed together. A
// database that does not exist yet is created (when the login may). A
// database that already holds tables is refused, unless every database holds
// this one store already: then nothing changes and `existed` is set.
// Returns 0, or non-zero with `error` saying why.
int CreateServerStore(const ServerPlace& place, const StoreDefinition& definition,
                      const std::string& mainDb, bool& existed, std::wstring& error);

// An accessor that goes with nothing under way leaves its connection to the
// next accessor of the same database in this process, for a minute. This
// closes those connections: the next accessor of each database connects
// anew, and brings its store up to date as a new program would.
void CloseIdleServerConnections();

}  // namespace ZUBDB
