// The store the tool works on: an embedded store, a folder holding the
// product database (QVData.sqlite3), the system database (QVSystem.sqlite3)
// and the file server's root (files/); or a team's store on a PostgreSQL
// server, named by a small store file (see ServerStoreFile).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "dbcore/cdbaccessor.h"

class BO;

namespace zub::vault {

class Store {
public:
    static constexpr const wchar_t* kProductDb = L"QVData";
    static constexpr const wchar_t* kSystemDb = L"QVSystem";
    static constexpr const char* kAdmin = "system";

    // --store DIR, else $VAULT_STORE, else ./vaultdata; made absolute.
    static std::filesystem::path Locate(const std::string& option);

    // A folder is an embedded store; a file is a store file.
    explicit Store(std::filesystem::path dir);

    // What a store file says: the server (host, address or socket folder),
    // its port (0: 5432), the login name (empty: libpq's usual sources) and
    // the file-server root, a folder or a WebDAV server's address. Never a
    // password: libpq reads it from PGPASSWORD or ~/.pgpass, and the file
    // server's is in the system database.
    struct ServerStoreFile {
        std::wstring server;
        long port = 0;
        std::string user;
        std::filesystem::path files;

        bool RemoteFiles() const;

        static ServerStoreFile Read(const std::filesystem::path& file);
        void Write(const std::filesystem::path& file) const;
    };
    // "HOST", "HOST:PORT", "[v6]:PORT" or "/socket/folder"; throws on a bad port.
    static void ParseServer(const std::string& text, std::wstring& server, long& port);

    bool IsServer() const { return server_.has_value(); }
    // Makes the store on the server (or finds it there already) and writes
    // the store file at Dir(); refuses a file that is there already. With
    // its files on a WebDAV server, `password` is the one the server knows
    // for the user "system": a new store keeps it, a joined one must keep
    // the same already.
    void InitOnServer(const ServerStoreFile& where, const std::wstring& password = L"");
    // Whether InitOnServer found the store on the server already.
    bool joined = false;

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path ProductDbFile() const;
    std::filesystem::path SystemDbFile() const;
    std::filesystem::path FilesRoot() const;
    std::filesystem::path FilesServerFile() const;

    // Both databases are there.
    bool Exists() const;
    // Throws "no store" unless it exists.
    void RequireExists() const;
    // Makes a ready store: both databases, the default version strategy, the
    // administrator "system", the file-server root and its password.
    // Refuses a folder that already holds a store. The store is private to
    // its owner, or shared with `group` when one is named.
    void Init(const std::string& group = std::string()) const;
    // The same with the repositories' files on a WebDAV server
    // ("http(s)://HOST[:PORT]/BASE"): the file-server password becomes
    // `password`, the one the server knows for the user "system".
    void InitWithFiles(const std::string& group, const std::wstring& files,
                       const std::wstring& password) const;
    // The repositories' files live on a server named at init, not in FilesRoot.
    bool RemoteFiles() const;

    // The file-server root keeps the hash of the password QVSystem hands to
    // the library's login (stores made before did not; they serve everyone
    // until `vault verify --repair` writes it).
    bool FilesPasswordKept() const;
    void WriteFilesPassword() const;
    // The password the library logs in to the file server with (QVSystem).
    std::wstring SystemPassword() const;

    // The store's identity (QVSystem), "" for a store made by an older vault.
    std::wstring StoreId() const;
    // Gives an older store its identity; returns the identity in force (a
    // concurrent call may have written it first).
    std::wstring EnsureStoreId() const;
    // "sqlite:" and the real folder: where the store is.
    std::wstring Place() const;
    // Names this store as the owner of the file-server root of `server`
    // (resolved), logging in first. Throws what the file server says.
    void ClaimRoot(const std::wstring& server, int port) const;

    // "sqlite:DIR": what business objects connect to.
    std::wstring Locator() const;
    // "file:files": the file server new repositories live on, named relative
    // to the store so that a copied store works on its own files; or the
    // server named at init (kept in the file FilesServerFile()).
    std::wstring FileServer() const;
    // A repository row's file server as the library reaches it from here.
    std::wstring ResolvedFileServer(const std::wstring& server) const;

    // Connects a business object to the product database; throws when no
    // connection could be made.
    void Connect(BO& bo) const;
    // A raw connection to the product database, for the user tables.
    std::unique_ptr<ZUBDB::CDBAccessor> OpenProductDb() const;
    // One to either database; throws when none could be made.
    std::unique_ptr<ZUBDB::CDBAccessor> OpenDb(const wchar_t* database) const;

private:
    // Makes the store's folder (when missing) and gives it the mode, and the
    // group, that everything made in the store later follows.
    void PrepareFolder(const std::string& group) const;
    // Refuses an address that is no WebDAV server's, or no password.
    static void CheckRemoteFiles(const std::wstring& files, const std::wstring& password);
    // Logs in to the WebDAV server and reads its root's owner: a wrong
    // password or an unreachable server fails before anything is made.
    static void ProbeRemoteFiles(const std::wstring& files, const std::wstring& password);
    void KeepFilesPassword(const std::wstring& password) const;
    std::unique_ptr<ZUBDB::CDBAccessor> Open(const wchar_t* database) const;
    std::wstring Token() const;
    long Port() const { return server_ ? server_->port : 0; }
    std::string Where() const;

    std::filesystem::path dir_;
    std::optional<ServerStoreFile> server_;
};

}  // namespace zub::vault
