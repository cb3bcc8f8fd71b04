// The embedded store: a folder holding the product database and the system
// database as SQLite files, reached with the server text "sqlite:DIR".
#pragma once

#include <string>

namespace ZUBDB {

// Name of the product database a new store gets unless told otherwise.
extern const char* const kDefaultProductDb;
// Name of the system database (QV_SysInfo).
extern const char* const kSystemDb;

// Creates DIR (and its parents), DIR/<productDb>.sqlite3 with the product
// schema and DIR/QVSystem.sqlite3 with the system schema, then the starting
// rows:
//  - version strategy 1: scheme 2 (main and sub number), new documents start
//    at 1.0 (Begin_Main 1, Begin_Sub 0, NewDocBeginNum 0), DocAdvScope 0,
//    CreateBSLNAdv 0;
//  - user 1 "system";
//  - QV_SysInfo: one row with a random 32-character sysPwd;
//  - the folder DIR/files, root of EmbeddedFileServer().
// Returns 0, or non-zero with `error` saying why; an existing database file
// of either name is never touched, and a failed call leaves no database file.
int CreateEmbeddedStore(const std::string& dir, const std::string& productDb, std::wstring& error);

// L"sqlite:" + dir: the server text that selects the store in DIR.
std::wstring EmbeddedLocator(const std::string& dir);

// The file server a store keeps its repositories on, named relative to the
// store ("file:files"), so that a copied or moved store uses its own files.
std::wstring EmbeddedFileServer();

// The file server a row names, as seen from the database server the row was
// read from: "file:REL" (a relative folder) read through "sqlite:DIR" is
// "file:DIR/REL"; every other text (an absolute "file:/..." of older stores,
// another scheme, another database server) is returned as it is.
std::wstring ResolveFileServer(const std::wstring& dbServer, const std::wstring& fileServer);

}  // namespace ZUBDB
