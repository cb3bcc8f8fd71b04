// The embedded store: a folder holding the databases of a store definition as
// SQLite files, reached with the server text "sqlite:DIR".
#pragma once

#include <memory>
#include <string>

#include "dbcore/storedefinition.h"

namespace ZUBDB {

// Creates DIR (and its parents) holding DIR/<mainDb>.sqlite3 made by the main
// database of `definition` and DIR/<name>.sqlite3 for each of its fixed
// databases, each from its script with its starting rows, and the folder
// DIR/files, root of EmbeddedFileServer(). Returns 0, or with `error` saying
// why: 1 when a database of those names exists (also when another creator
// publishes one meanwhile) or a name is unusable, 2 when DIR cannot be made,
// 3 when building the databases fails. An existing database file is never
// touched, and a failed call leaves no database file.
int CreateEmbeddedStore(const std::string& dir, const StoreDefinition& definition,
                        const std::string& mainDb, std::wstring& error);

// Serves "scheme:DIR" as stores of `definition` from now on: database `db` is
// DIR/db.sqlite3 under definition.For(db). "sqlite" is served from the start,
// and is the one the local form of CDBAccessorCreator opens files of, but
// without a definition: until one is registered, opening such a store fails
// and says so. A null definition forgets the scheme's definition again.
void RegisterEmbeddedStore(const std::wstring& scheme,
                           std::shared_ptr<const StoreDefinition> definition);
// The definition registered for the scheme, or null.
std::shared_ptr<const StoreDefinition> FindEmbeddedStore(const std::wstring& scheme);

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

// Where the store reached through "sqlite:DIR" lives: "sqlite:" and the real
// path of DIR, the same text for every spelling of the folder; empty for a
// database server that is not an embedded store.
std::wstring EmbeddedStorePlace(const std::wstring& dbServer);

}  // namespace ZUBDB
