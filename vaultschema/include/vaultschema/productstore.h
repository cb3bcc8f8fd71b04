// The product's store as dbcore serves it: the product database (QVData by
// default, any name but QVSystem) with its tables, view, starting rows, upgrade
// steps and procedures, and the system database QVSystem.
//
// dbcore knows no product table: a store opens only once its definition is
// registered. docvault's connect registers it, so users of the library do
// nothing; code that opens a store through CDBAccessorCreator itself calls
// Register() first (forgetting it fails the open and says so), and a store is
// made with Create(), which registers too.
#pragma once

#include <memory>
#include <string>

#include "dbcore/serverstore.h"
#include "dbcore/storedefinition.h"

namespace zub::vaultschema {

class ProductStore {
public:
    // Name of the product database a new store gets unless told otherwise.
    static constexpr const char* kDefaultProductDb = "QVData";
    // Name of the system database (QV_SysInfo).
    static constexpr const char* kSystemDb = "QVSystem";

    // One definition per process: the same object every call.
    static std::shared_ptr<const ZUBDB::StoreDefinition> Definition();

    // Makes "sqlite:DIR" (and database files opened by path), and stores on
    // database servers, open as product stores. Cheap, idempotent and safe from any thread.
    static void Register();

    // Register(), then creates DIR with DIR/<productDb>.sqlite3 and
    // DIR/QVSystem.sqlite3 and their starting rows:
    //  - version strategy 1: scheme 2 (main and sub number), new documents
    //    start at 1.0 (Begin_Main 1, Begin_Sub 0, NewDocBeginNum 0),
    //    DocAdvScope 0, CreateBSLNAdv 0;
    //  - user 1 "system";
    //  - QV_SysInfo: one row with a random 32-character sysPwd;
    //  - the folder DIR/files, root of ZUBDB::EmbeddedFileServer().
    // Returns 0, or non-zero with `error` saying why; an existing database
    // file is never touched, and a failed call leaves no database file.
    static int Create(const std::string& dir, const std::string& productDb, std::wstring& error);

    // Register(), then makes the same store on a PostgreSQL server: the
    // databases <productDb> and QVSystem with the same starting rows. A
    // server whose databases hold this one store already is left as it is
    // and `existed` set; databases holding anything else are refused.
    static int CreateOnServer(const ZUBDB::ServerPlace& place, const std::string& productDb,
                              bool& existed, std::wstring& error);
};

}  // namespace zub::vaultschema
