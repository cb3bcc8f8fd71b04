#include "store.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "zub/randomtext.h"
#include "zub/storemode.h"
#include "zub/text.h"

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
    // The raw connections below open the store without the library.
    vaultschema::ProductStore::Register();
}

fs::path Store::ProductDbFile() const { return dir_ / (zub::WideToUtf8(kProductDb) + ".sqlite3"); }

fs::path Store::SystemDbFile() const { return dir_ / (zub::WideToUtf8(kSystemDb) + ".sqlite3"); }

fs::path Store::FilesRoot() const { return dir_ / "files"; }

fs::path Store::FilesServerFile() const { return dir_ / "files.server"; }

bool Store::RemoteFiles() const {
    std::error_code ec;
    return fs::is_regular_file(FilesServerFile(), ec);
}

bool Store::Exists() const {
    std::error_code ec;
    return fs::is_regular_file(ProductDbFile(), ec) && fs::is_regular_file(SystemDbFile(), ec);
}

void Store::RequireExists() const {
    if (!Exists())
        throw VaultError(VaultErr::kNoStore,
                         L"no vault store in " + zub::Utf8ToWide(dir_.string()) +
                             L" (make one with `vault init`, or name it with --store DIR or "
                             L"VAULT_STORE)");
}

void Store::Init(const std::string& group) const {
    std::error_code ec;
    if (fs::exists(ProductDbFile(), ec) || fs::exists(SystemDbFile(), ec))
        throw VaultError(VaultErr::kStoreExists,
                         L"a vault store exists already in " + zub::Utf8ToWide(dir_.string()));
    PrepareFolder(group);
    std::wstring error;
    if (vaultschema::ProductStore::Create(dir_.string(), zub::WideToUtf8(kProductDb), error) != 0)
        throw VaultError(VaultErr::kInitFailed, error);
    try {
        zub::StoreMode::Of(dir_).MakeFolders(FilesRoot());
    } catch (const fs::filesystem_error& e) {
        throw VaultError(VaultErr::kInitFailed, L"cannot make the file-server root " +
                                                    zub::Utf8ToWide(FilesRoot().string()) + L": " +
                                                    zub::Utf8ToWide(e.code().message()));
    }
    WriteFilesPassword();
    ClaimRoot(ResolvedFileServer(FileServer()), 0);
}

void Store::InitWithFiles(const std::string& group, const std::wstring& files,
                          const std::wstring& password) const {
    if (files.compare(0, 7, L"http://") != 0 && files.compare(0, 8, L"https://") != 0)
        throw VaultError(VaultErr::kInitFailed,
                         L"--files takes an http:// or https:// address, not " + files);
    if (password.empty())
        throw VaultError(VaultErr::kInitFailed,
                         L"a store with its files on a WebDAV server needs the password the "
                         L"server knows for the user \"system\" (VAULT_FILES_PASSWORD)");
    std::error_code ec;
    if (fs::exists(ProductDbFile(), ec) || fs::exists(SystemDbFile(), ec))
        throw VaultError(VaultErr::kStoreExists,
                         L"a vault store exists already in " + zub::Utf8ToWide(dir_.string()));
    PrepareFolder(group);
    std::wstring error;
    if (vaultschema::ProductStore::Create(dir_.string(), zub::WideToUtf8(kProductDb), error) != 0)
        throw VaultError(VaultErr::kInitFailed, error);
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), 0, kSystemDb, L""), L"");
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"sysPwd", password, false, false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db || db->ExecuteSql(rs, L"update QV_SysInfo set sysPwd = ?", params, L"", 0, 0) != 0 ||
        db->CommitTrans() != 0)
        throw VaultError(VaultErr::kInitFailed,
                         L"cannot keep the file-server password" +
                             (db ? L": " + db->errDescription() : std::wstring()));
    {
        std::ofstream out(FilesServerFile());
        out << zub::WideToUtf8(files) << "\n";
        if (!out.flush() ||
            ::chmod(FilesServerFile().c_str(), zub::StoreMode::Of(dir_).file()) != 0)
            throw VaultError(VaultErr::kInitFailed,
                             L"cannot write " + zub::Utf8ToWide(FilesServerFile().string()));
    }
    // Proves the server takes the password before anyone stores a file there.
    ClaimRoot(files, 0);
}

std::wstring Store::StoreId() const {
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), 0, kSystemDb, L""), L"");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db ||
        db->SelectRows(rs, L"QV_SysInfo", L"StoreId", ZUBDB::QVParams(false), L"", L"", L"", 0,
                       0) != 0 ||
        !rs || rs->IsEOF())
        throw VaultError(VaultErr::kInitFailed, L"cannot read the identity of the store in " +
                                                    zub::Utf8ToWide(dir_.string()));
    return rs->GetStringAt(0);
}

std::wstring Store::EnsureStoreId() const {
    if (std::wstring id = StoreId(); !id.empty()) return id;
    const std::wstring id = zub::Utf8ToWide(zub::RandomText(32));
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), 0, kSystemDb, L""), L"");
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"StoreId", id, false, false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    // Only an empty identity is filled: two repairs at once agree on one.
    if (!db ||
        db->ExecuteSql(rs, L"update QV_SysInfo set StoreId = ? where StoreId = ''", params, L"", 0,
                       0) != 0 ||
        db->CommitTrans() != 0)
        throw VaultError(VaultErr::kInitFailed,
                         L"cannot give the store in " + zub::Utf8ToWide(dir_.string()) +
                             L" its identity" + (db ? L": " + db->errDescription() : L""));
    return StoreId();
}

std::wstring Store::Place() const { return ZUBDB::EmbeddedStorePlace(Locator()); }

void Store::ClaimRoot(const std::wstring& server, int port) const {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    const auto nfsPort = static_cast<unsigned short>(port);
    cmd->logIn(server, nfsPort, L"", zub::Utf8ToWide(kAdmin), SystemPassword());
    const NFS::RootOwner owner{EnsureStoreId(), Place()};
    if (cmd->claimRoot(server, nfsPort, owner.Text()) != 0) {
        wchar_t* text = nullptr;
        cmd->GetLastError(&text);
        const std::wstring why = text ? text : L"";
        NFS::CNFS_Cmd::FreeText(text);
        throw VaultError(cmd->GetErrorNumber(), why);
    }
}

void Store::PrepareFolder(const std::string& group) const {
    const std::wstring dir = zub::Utf8ToWide(dir_.string());
    auto fail = [&](const std::wstring& what, int err) {
        throw VaultError(VaultErr::kInitFailed, what + L": " + zub::Utf8ToWide(std::strerror(err)));
    };
    gid_t gid = static_cast<gid_t>(-1);
    if (!group.empty()) {
        struct group entry {};
        struct group* found = nullptr;
        std::vector<char> buffer(16384);
        const int err = ::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (found == nullptr) {
            if (err != 0) fail(L"cannot look up the group " + zub::Utf8ToWide(group), err);
            throw VaultError(VaultErr::kInitFailed, L"no group named " + zub::Utf8ToWide(group));
        }
        gid = found->gr_gid;
    }
    try {
        zub::StoreMode::Private().MakeFolders(dir_);
    } catch (const fs::filesystem_error& e) {
        fail(L"cannot make the folder " + dir, e.code().value());
    }
    if (!group.empty() && ::chown(dir_.c_str(), static_cast<uid_t>(-1), gid) != 0)
        fail(L"cannot give " + dir + L" to the group " + zub::Utf8ToWide(group), errno);
    const zub::StoreMode mode = group.empty() ? zub::StoreMode::Private() : zub::StoreMode::Group();
    if (::chmod(dir_.c_str(), mode.folder()) != 0) fail(L"cannot set the mode of " + dir, errno);
}

std::wstring Store::SystemPassword() const {
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), 0, kSystemDb, L""), L"");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!db ||
        db->SelectRows(rs, L"QV_SysInfo", L"sysPwd", ZUBDB::QVParams(false), L"", L"", L"", 0, 0) !=
            0 ||
        !rs || rs->IsEOF())
        throw VaultError(VaultErr::kInitFailed, L"the store in " + zub::Utf8ToWide(dir_.string()) +
                                                    L" keeps no file-server password");
    return rs->GetString(L"sysPwd");
}

void Store::WriteFilesPassword() const {
    try {
        NFS::RootPassword::Write(FilesRoot(), zub::Utf8ToWide(kAdmin), SystemPassword());
    } catch (const VaultError&) {
        throw;
    } catch (const std::exception& e) {
        throw VaultError(VaultErr::kInitFailed, L"cannot keep the file-server password in " +
                                                    zub::Utf8ToWide(FilesRoot().string()) + L": " +
                                                    zub::NarrowToWide(e.what()));
    }
}

bool Store::FilesPasswordKept() const {
    // A WebDAV server keeps its own password file.
    return RemoteFiles() || NFS::RootPassword::Exists(FilesRoot());
}

std::wstring Store::Locator() const { return ZUBDB::EmbeddedLocator(dir_.string()); }

std::wstring Store::FileServer() const {
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
    const int status = bo.Connect(Locator(), 0, kProductDb, L"");
    if (status != 0) VaultError::Check(status, bo);
    if (!bo.IsConnected())
        throw VaultError(49600, L"cannot open the store in " + zub::Utf8ToWide(dir_.string()) +
                                    L": " + ZUBDB::CDBAccessorCreator::instance().LastError());
}

std::unique_ptr<ZUBDB::CDBAccessor> Store::OpenProductDb() const {
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(Locator(), 0, kProductDb, L""), L"");
    if (!db)
        throw VaultError(49600, L"cannot open the store in " + zub::Utf8ToWide(dir_.string()) +
                                    L": " + ZUBDB::CDBAccessorCreator::instance().LastError());
    return db;
}
