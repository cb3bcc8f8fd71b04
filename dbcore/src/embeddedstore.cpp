#include "dbcore/embeddedstore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <system_error>

#include "dbcore/sqliteerror.h"
#include "sqlitedb.h"
#include "sqlitedbsession.h"
#include "zub/i18n.h"
#include "zub/randomtext.h"
#include "zub/storemode.h"
#include "zub/text.h"
#include "zub/uniquefd.h"

namespace ZUBDB {

namespace fs = std::filesystem;

namespace {

bool Taken(const fs::path& file) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-journal"}) {
        if (fs::exists(fs::path(file.string() + suffix), ec) || ec) return true;
    }
    return false;
}

// Builds a database under a temporary name in `dir`; the caller publishes it.
fs::path Build(const fs::path& dir, const std::string& name, const DatabaseDefinition& definition) {
    fs::path temp = dir / ("." + name + ".sqlite3.new-" + zub::RandomText(8));
    try {
        {
            // SQLite would make the file readable by everyone; its journals
            // take the mode of the database file.
            zub::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!fd)
                throw std::system_error(errno, std::generic_category(),
                                        "cannot create " + temp.string());
            zub::StoreMode::Of(dir).SetFile(fd.get(), temp);
        }
        SqliteDb db = SqliteDb::Open(temp.string(), true);
        db.exec("BEGIN IMMEDIATE");
        db.exec(definition.sqliteSchema);
        if (definition.seed) {
            SqliteDbSession session(db);
            definition.seed(session);
        }
        db.exec("COMMIT");
    } catch (...) {
        std::error_code ec;
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(fs::path(temp.string() + suffix), ec);
        throw;
    }
    return temp;
}

// Moves the finished file to its name unless that name exists by now: false
// when another creator got there first (the same answer as finding it before).
bool Publish(const fs::path& temp, const fs::path& target) {
    std::error_code ec;
    if (::link(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        fs::remove(temp, ec);
        if (err == EEXIST) return false;
        throw std::runtime_error(
            zub::Format(ZUB_N_("cannot create %s: %s"), target.c_str(), std::strerror(err)));
    }
    fs::remove(temp, ec);
    return true;
}

std::wstring Exists(const fs::path& file) {
    return zub::Format(ZUB_N_(L"%s already exists; an existing store is never overwritten"),
                       file.c_str());
}

}  // namespace

std::wstring EmbeddedLocator(const std::string& dir) { return L"sqlite:" + zub::Utf8ToWide(dir); }

std::wstring EmbeddedFileServer() { return L"file:files"; }

namespace {

bool HasScheme(const std::wstring& text, const wchar_t* scheme, std::size_t length) {
    if (text.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (std::towlower(static_cast<wint_t>(text[i])) != static_cast<wint_t>(scheme[i]))
            return false;
    }
    return true;
}

}  // namespace

std::wstring EmbeddedStorePlace(const std::wstring& dbServer) {
    if (!HasScheme(dbServer, L"sqlite:", 7) || dbServer.size() == 7) return {};
    std::error_code ec;
    const fs::path dir =
        fs::weakly_canonical(fs::absolute(zub::WideToUtf8(dbServer.substr(7))), ec);
    if (ec) return {};
    std::string text = dir.generic_string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return L"sqlite:" + zub::Utf8ToWide(text);
}

std::wstring ResolveFileServer(const std::wstring& dbServer, const std::wstring& fileServer) {
    const auto hasScheme = &HasScheme;
    if (!hasScheme(fileServer, L"file:", 5) || !hasScheme(dbServer, L"sqlite:", 7))
        return fileServer;
    const std::wstring rel = fileServer.substr(5);
    const std::wstring dir = dbServer.substr(7);
    if (rel.empty() || dir.empty() || rel[0] == L'/') return fileServer;
    return L"file:" + dir + (dir.back() == L'/' ? L"" : L"/") + rel;
}

int CreateEmbeddedStore(const std::string& dir, const StoreDefinition& definition,
                        const std::string& mainDb, std::wstring& error) {
    error.clear();
    if (dir.empty()) {
        error = ZUB_N_(L"no directory given for the store");
        return 1;
    }
    if (mainDb.empty() || mainDb.find_first_of("/\\") != std::string::npos || mainDb == "." ||
        mainDb == ".." || definition.fixed.count(mainDb) != 0) {
        error =
            zub::Format(ZUB_N_(L"\"%s\" cannot name the store's main database"), mainDb.c_str());
        return 1;
    }
    const fs::path root(dir);
    // Main first, then the fixed ones: built and published in this order.
    std::vector<std::pair<std::string, const DatabaseDefinition*>> databases{
        {mainDb, &definition.main}};
    for (const auto& [name, db] : definition.fixed) databases.emplace_back(name, &db);
    for (const auto& db : databases) {
        const fs::path file = root / (db.first + ".sqlite3");
        if (Taken(file)) {
            error = Exists(file);
            return 1;
        }
    }
    std::error_code ec;
    try {
        // A new store is private unless its folder was made shared before.
        zub::StoreMode::Private().MakeFolders(root);
        zub::StoreMode::Of(root).MakeFolders(root / "files");
    } catch (const fs::filesystem_error& e) {
        error = zub::Format(ZUB_N_(L"cannot create the directory %s: %s"), dir.c_str(),
                            e.code().message().c_str());
        return 2;
    }

    std::vector<fs::path> temps;
    std::vector<fs::path> published;
    int status = 3;
    try {
        for (const auto& db : databases) temps.push_back(Build(root, db.first, *db.second));
        for (std::size_t i = 0; i < databases.size(); ++i) {
            const fs::path file = root / (databases[i].first + ".sqlite3");
            if (!Publish(temps[i], file)) {
                error = Exists(file);
                status = 1;
                break;
            }
            published.push_back(file);
        }
        if (status != 1) return 0;
    } catch (const SqliteError& e) {
        error = zub::Format(ZUB_N_(L"cannot create the store in %s: %s"), dir.c_str(), e.what());
    } catch (const std::exception& e) {
        error = zub::Format(ZUB_N_(L"cannot create the store in %s: %s"), dir.c_str(), e.what());
    }
    for (const fs::path& temp : temps) fs::remove(temp, ec);
    for (const fs::path& file : published) fs::remove(file, ec);
    return status;
}

}  // namespace ZUBDB
