#include "store.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/bo.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/rootowner.h"
#include "vaultfs/rootpassword.h"
#include "vaultschema/productstore.h"
#include "zub/i18n.h"
#include "zub/randomtext.h"
#include "zub/storemode.h"
#include "zub/text.h"

namespace zub::vault {

namespace fs = std::filesystem;

fs::path Store::Locate(const std::string& option) {
    std::string dir = option;
    if (dir.empty()) {
        const char* env = std::getenv("VAULT_STORE");
        if (env && *env) dir = env;
    }
    if (dir.empty()) dir = "vaultdata";
    return fs::absolute(dir).lexically_normal();
}

Store::Store(fs::path dir) : dir_(std::move(dir)) {
    // "dir/" and "dir" must give the same locator.
    if (!dir_.has_filename() && dir_.has_parent_path() && dir_ != dir_.root_path())
        dir_ = dir_.parent_path();
    std::error_code ec;
    if (fs::is_regular_file(dir_, ec)) server_ = ServerStoreFile::Read(dir_);
    // The raw connections below open the store without the library.
    zub::vaultschema::ProductStore::Register();
}

namespace {

const char* const kStoreFileHeader = "# zubvault store on a database server";

std::string Trim(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) != 0) ++i;
    return s.substr(i);
}

bool IsWebDavAddress(const std::string& text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

[[noreturn]] void ThrowFileServerError(NFS::CNFS_Cmd* cmd) {
    wchar_t* text = nullptr;
    cmd->GetLastError(&text);
    const std::wstring why = text ? text : L"";
    NFS::CNFS_Cmd::FreeText(text);
    throw VaultError::Library(cmd->GetErrorNumber(), why);
}

}  // namespace

bool Store::ServerStoreFile::RemoteFiles() const { return IsWebDavAddress(files.string()); }

Store::ServerStoreFile Store::ServerStoreFile::Read(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != kStoreFileHeader)
        throw VaultError(
            VaultErr::kNoStore,
            zub::trf("%s is neither a store folder nor a store file", file.string().c_str()));
    ServerStoreFile f;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "server")
            f.server = zub::Utf8ToWide(value);
        else if (key == "port")
            f.port = std::atol(value.c_str());
        else if (key == "user")
            f.user = value;
        else if (key == "files")
            f.files = value;
    }
    if (f.server.empty() || f.files.empty() || !(f.files.is_absolute() || f.RemoteFiles()))
        throw VaultError(VaultErr::kNoStore,
                         zub::trf("the store file %s names no server or no absolute files folder",
                                  file.string().c_str()));
    return f;
}

void Store::ServerStoreFile::Write(const fs::path& file) const {
    // Written beside and renamed: a reader never sees half a file.
    const fs::path temp = file.string() + ".new-" + zub::RandomText(8);
    {
        std::ofstream out(temp, std::ios::trunc);
        out << kStoreFileHeader << "\n"
            << "# No password here: libpq takes it from PGPASSWORD or ~/.pgpass.\n"
            << "server=" << zub::WideToUtf8(server) << "\n"
            << "port=" << port << "\n";
        if (!user.empty()) out << "user=" << user << "\n";
        out << "files=" << files.string() << "\n";
        out.close();
        if (!out) {
            fs::remove(temp);
            throw VaultError(VaultErr::kInitFailed,
                             zub::trf("cannot write the store file %s", file.string().c_str()));
        }
    }
    fs::rename(temp, file);
}

void Store::ParseServer(const std::string& text, std::wstring& server, long& port) {
    std::string host = text;
    std::string portText;
    if (!host.empty() && host[0] == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos)
            throw VaultError(VaultErr::kInitFailed, zub::trf("unclosed [ in %s", text.c_str()));
        if (close + 1 < host.size() && host[close + 1] == ':') portText = host.substr(close + 2);
        host = host.substr(1, close - 1);
    } else if (const std::size_t colon = host.rfind(':');
               colon != std::string::npos && host.find(':') == colon) {
        portText = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    port = 0;
    if (!portText.empty()) {
        char* end = nullptr;
        port = std::strtol(portText.c_str(), &end, 10);
        if (*end != '\0' || port < 1 || port > 65535)
            throw VaultError(VaultErr::kInitFailed,
                             zub::trf("\"%s\" is no port (1 to 65535)", portText.c_str()));
    }
    if (host.empty()) throw VaultError(VaultErr::kInitFailed, zub::tr("no server named"));
    server = zub::Utf8ToWide(host);
}

std::string Store::Where() const {
    if (server_)
        return zub::trf("the store on %s port %ld", zub::WideToUtf8(server_->server).c_str(),
                        server_->port == 0 ? 5432L : static_cast<long>(server_->port));
    return zub::trf("the store in %s", dir_.string().c_str());
}

std::wstring Store::Token() const {
    return server_ && !server_->user.empty() ? L"user=" + zub::Utf8ToWide(server_->user)
                                             : std::wstring();
}

std::unique_ptr<ZUBDB::CDBAccessor> Store::Open(const wchar_t* database) const {
    return ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), Port(), database, L""), Token());
}

void Store::InitOnServer(const ServerStoreFile& where, const std::wstring& password) {
    std::error_code ec;
    if (fs::exists(dir_, ec))
        throw VaultError(VaultErr::kStoreExists,
                         zub::trf("%s exists already", dir_.string().c_str()));
    const bool remote = where.RemoteFiles();
    if (remote) {
        const std::wstring files = zub::Utf8ToWide(where.files.string());
        CheckRemoteFiles(files, password);
        ProbeRemoteFiles(files, password);
    }
    ZUBDB::ServerPlace place{where.server, where.port,
                             where.user.empty() ? L"" : L"user=" + zub::Utf8ToWide(where.user)};
    std::wstring error;
    bool existed = false;
    if (zub::vaultschema::ProductStore::CreateOnServer(place, zub::WideToUtf8(kProductDb), existed,
                                                       error) != 0)
        throw VaultError::Library(VaultErr::kInitFailed, error);
    joined = existed;
    // From here on this object is the server store.
    server_ = where;
    if (remote) {
        // Every workstation logs in with the one password the store keeps.
        if (!existed)
            KeepFilesPassword(password);
        else if (SystemPassword() != password)
            throw VaultError(VaultErr::kInitFailed,
                             zub::trf("%s keeps another file-server password than the one in "
                                      "VAULT_FILES_PASSWORD",
                                      Where().c_str()));
    } else {
        try {
            zub::StoreMode::Private().MakeFolders(FilesRoot());
        } catch (const fs::filesystem_error& e) {
            throw VaultError(VaultErr::kInitFailed,
                             zub::trf("cannot make the file-server root %s: %s",
                                      FilesRoot().string().c_str(), e.code().message().c_str()));
        }
    }
    if (!FilesPasswordKept()) WriteFilesPassword();
    ClaimRoot(ResolvedFileServer(FileServer()), 0);
    where.Write(dir_);
}

fs::path Store::ProductDbFile() const { return dir_ / (zub::WideToUtf8(kProductDb) + ".sqlite3"); }

fs::path Store::SystemDbFile() const { return dir_ / (zub::WideToUtf8(kSystemDb) + ".sqlite3"); }

fs::path Store::FilesRoot() const { return server_ ? server_->files : dir_ / "files"; }

fs::path Store::FilesServerFile() const { return dir_ / "files.server"; }

bool Store::RemoteFiles() const {
    if (server_) return server_->RemoteFiles();
    std::error_code ec;
    return fs::is_regular_file(FilesServerFile(), ec);
}

bool Store::Exists() const {
    if (server_) return true;
    std::error_code ec;
    return fs::is_regular_file(ProductDbFile(), ec) && fs::is_regular_file(SystemDbFile(), ec);
}

void Store::RequireExists() const {
    if (!Exists())
        throw VaultError(VaultErr::kNoStore,
                         zub::trf("no vault store in %s (make one with `vault init`, or name it "
                                  "with --store DIR or VAULT_STORE)",
                                  dir_.string().c_str()));
}

void Store::Init(const std::string& group) const {
    std::error_code ec;
    if (fs::exists(ProductDbFile(), ec) || fs::exists(SystemDbFile(), ec))
        throw VaultError(VaultErr::kStoreExists,
                         zub::trf("a vault store exists already in %s", dir_.string().c_str()));
    PrepareFolder(group);
    std::wstring error;
    if (zub::vaultschema::ProductStore::Create(dir_.string(), zub::WideToUtf8(kProductDb), error) !=
        0)
        throw VaultError::Library(VaultErr::kInitFailed, error);
    try {
        zub::StoreMode::Of(dir_).MakeFolders(FilesRoot());
    } catch (const fs::filesystem_error& e) {
        throw VaultError(VaultErr::kInitFailed,
                         zub::trf("cannot make the file-server root %s: %s",
                                  FilesRoot().string().c_str(), e.code().message().c_str()));
    }
    WriteFilesPassword();
    ClaimRoot(ResolvedFileServer(FileServer()), 0);
}

void Store::CheckRemoteFiles(const std::wstring& files, const std::wstring& password) {
    if (!IsWebDavAddress(zub::WideToUtf8(files)))
        throw VaultError(VaultErr::kInitFailed,
                         zub::trf("--files takes an http:// or https:// address, not %s",
                                  zub::WideToUtf8(files).c_str()));
    if (password.empty())
        throw VaultError(VaultErr::kInitFailed,
                         zub::tr("a store with its files on a WebDAV server needs the password "
                                 "the server knows for the user \"system\" "
                                 "(VAULT_FILES_PASSWORD)"));
}

void Store::ProbeRemoteFiles(const std::wstring& files, const std::wstring& password) {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    cmd->logIn(files, 0, L"", zub::Utf8ToWide(kAdmin), password);
    std::wstring owner;
    if (cmd->rootOwner(files, 0, owner) != 0) ThrowFileServerError(cmd);
}

void Store::InitWithFiles(const std::string& group, const std::wstring& files,
                          const std::wstring& password) const {
    CheckRemoteFiles(files, password);
    std::error_code ec;
    if (fs::exists(ProductDbFile(), ec) || fs::exists(SystemDbFile(), ec))
        throw VaultError(VaultErr::kStoreExists,
                         zub::trf("a vault store exists already in %s", dir_.string().c_str()));
    // A wrong password leaves no store behind.
    ProbeRemoteFiles(files, password);
    PrepareFolder(group);
    std::wstring error;
    if (zub::vaultschema::ProductStore::Create(dir_.string(), zub::WideToUtf8(kProductDb), error) !=
        0)
        throw VaultError::Library(VaultErr::kInitFailed, error);
    KeepFilesPassword(password);
    {
        std::ofstream out(FilesServerFile());
        out << zub::WideToUtf8(files) << "\n";
        if (!out.flush() ||
            ::chmod(FilesServerFile().c_str(), zub::StoreMode::Of(dir_).file()) != 0)
            throw VaultError(VaultErr::kInitFailed,
                             zub::trf("cannot write %s", FilesServerFile().string().c_str()));
    }
    // Proves the server takes the password before anyone stores a file there.
    ClaimRoot(files, 0);
}

void Store::KeepFilesPassword(const std::wstring& password) const {
    auto db = Open(kSystemDb);
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"sysPwd", password, false, false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db || db->ExecuteSql(rs, L"update QV_SysInfo set sysPwd = ?", params, L"", 0, 0) != 0 ||
        db->CommitTrans() != 0)
        throw VaultError(
            VaultErr::kInitFailed,
            db ? zub::trf("cannot keep the file-server password: %s",
                          zub::LibraryText(zub::WideToUtf8(db->errDescription())).c_str())
               : std::string(zub::tr("cannot keep the file-server password")));
}

std::wstring Store::StoreId() const {
    auto db = Open(kSystemDb);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db ||
        db->SelectRows(rs, L"QV_SysInfo", L"StoreId", ZUBDB::QVParams(false), L"", L"", L"", 0,
                       0) != 0 ||
        !rs || rs->IsEOF())
        throw VaultError(VaultErr::kInitFailed,
                         zub::trf("cannot read the identity of %s", Where().c_str()));
    return rs->GetStringAt(0);
}

std::wstring Store::EnsureStoreId() const {
    if (std::wstring id = StoreId(); !id.empty()) return id;
    const std::wstring id = zub::Utf8ToWide(zub::RandomText(32));
    auto db = Open(kSystemDb);
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"StoreId", id, false, false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    // Only an empty identity is filled: two repairs at once agree on one.
    if (!db ||
        db->ExecuteSql(rs, L"update QV_SysInfo set StoreId = ? where StoreId = ''", params, L"", 0,
                       0) != 0 ||
        db->CommitTrans() != 0)
        throw VaultError(
            VaultErr::kInitFailed,
            db ? zub::trf("cannot give %s its identity: %s", Where().c_str(),
                          zub::LibraryText(zub::WideToUtf8(db->errDescription())).c_str())
               : zub::trf("cannot give %s its identity", Where().c_str()));
    return StoreId();
}

std::wstring Store::Place() const {
    // As the library names it when it checks a root's owner.
    if (server_) return L"server:" + server_->server;
    return ZUBDB::EmbeddedStorePlace(Locator());
}

void Store::ClaimRoot(const std::wstring& server, int port) const {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    const auto nfsPort = static_cast<unsigned short>(port);
    cmd->logIn(server, nfsPort, L"", zub::Utf8ToWide(kAdmin), SystemPassword());
    const NFS::RootOwner owner{EnsureStoreId(), Place()};
    if (cmd->claimRoot(server, nfsPort, owner.Text()) != 0) ThrowFileServerError(cmd);
}

void Store::PrepareFolder(const std::string& group) const {
    const std::string dir = dir_.string();
    auto fail = [&](const std::string& what, int err) {
        throw VaultError(VaultErr::kInitFailed, what + ": " + std::strerror(err));
    };
    gid_t gid = static_cast<gid_t>(-1);
    if (!group.empty()) {
        struct group entry {};
        struct group* found = nullptr;
        std::vector<char> buffer(16384);
        const int err = ::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (found == nullptr) {
            if (err != 0) fail(zub::trf("cannot look up the group %s", group.c_str()), err);
            throw VaultError(VaultErr::kInitFailed, zub::trf("no group named %s", group.c_str()));
        }
        gid = found->gr_gid;
    }
    try {
        zub::StoreMode::Private().MakeFolders(dir_);
    } catch (const fs::filesystem_error& e) {
        fail(zub::trf("cannot make the folder %s", dir.c_str()), e.code().value());
    }
    if (!group.empty() && ::chown(dir_.c_str(), static_cast<uid_t>(-1), gid) != 0)
        fail(zub::trf("cannot give %s to the group %s", dir.c_str(), group.c_str()), errno);
    const zub::StoreMode mode = group.empty() ? zub::StoreMode::Private() : zub::StoreMode::Group();
    if (::chmod(dir_.c_str(), mode.folder()) != 0)
        fail(zub::trf("cannot set the mode of %s", dir.c_str()), errno);
}

std::wstring Store::SystemPassword() const {
    auto db = Open(kSystemDb);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db ||
        db->SelectRows(rs, L"QV_SysInfo", L"sysPwd", ZUBDB::QVParams(false), L"", L"", L"", 0, 0) !=
            0 ||
        !rs || rs->IsEOF())
        throw VaultError(VaultErr::kInitFailed,
                         zub::trf("%s keeps no file-server password", Where().c_str()));
    return rs->GetString(L"sysPwd");
}

void Store::WriteFilesPassword() const {
    try {
        NFS::RootPassword::Write(FilesRoot(), zub::Utf8ToWide(kAdmin), SystemPassword());
    } catch (const VaultError&) {
        throw;
    } catch (const std::exception& e) {
        throw VaultError(VaultErr::kInitFailed,
                         zub::trf("cannot keep the file-server password in %s: %s",
                                  FilesRoot().string().c_str(), e.what()));
    }
}

bool Store::FilesPasswordKept() const {
    // A WebDAV server keeps its own password file.
    return RemoteFiles() || NFS::RootPassword::Exists(FilesRoot());
}

std::wstring Store::Locator() const {
    return server_ ? server_->server : ZUBDB::EmbeddedLocator(dir_.string());
}

std::wstring Store::FileServer() const {
    if (server_)
        return (server_->RemoteFiles() ? L"" : L"file:") + zub::Utf8ToWide(server_->files.string());
    if (!RemoteFiles()) return ZUBDB::EmbeddedFileServer();
    std::ifstream in(FilesServerFile());
    std::string line;
    std::getline(in, line);
    return zub::Utf8ToWide(line);
}

std::wstring Store::ResolvedFileServer(const std::wstring& server) const {
    return ZUBDB::ResolveFileServer(Locator(), server);
}

void Store::Connect(BO& bo) const {
    const int status = bo.Connect(Locator(), Port(), kProductDb, Token());
    if (status != 0) VaultError::Check(status, bo);
    if (!bo.IsConnected())
        throw VaultError(
            49600, zub::trf("cannot open %s: %s", Where().c_str(),
                            zub::LibraryText(
                                zub::WideToUtf8(ZUBDB::CDBAccessorCreator::instance().LastError()))
                                .c_str()));
}

std::unique_ptr<ZUBDB::CDBAccessor> Store::OpenProductDb() const { return OpenDb(kProductDb); }

std::unique_ptr<ZUBDB::CDBAccessor> Store::OpenDb(const wchar_t* database) const {
    auto db = Open(database);
    if (!db)
        throw VaultError(
            49600, zub::trf("cannot open %s: %s", Where().c_str(),
                            zub::LibraryText(
                                zub::WideToUtf8(ZUBDB::CDBAccessorCreator::instance().LastError()))
                                .c_str()));
    return db;
}

}  // namespace zub::vault
