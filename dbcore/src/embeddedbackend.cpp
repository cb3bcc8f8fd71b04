#include "embeddedbackend.h"

#include <cwctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

#include "dbcore/embeddedstore.h"
#include "sqliteaccessor.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

const wchar_t* const kDefaultScheme = L"sqlite";

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

struct Definitions {
    std::mutex mutex;
    std::map<std::wstring, std::shared_ptr<const StoreDefinition>> byScheme;
};

Definitions& Registered() {
    static Definitions definitions;
    return definitions;
}

std::shared_ptr<const StoreDefinition> Require(const std::wstring& scheme) {
    auto definition = FindEmbeddedStore(scheme);
    if (!definition)
        throw std::runtime_error(
            zub::Format(ZUB_N_("no store definition is registered for \"%s:\" stores, so none can "
                               "be opened; the product registers its own before it opens one"),
                        zub::WideToUtf8(scheme).c_str()));
    return definition;
}

// The part of `store` that serves the database `name`, kept alive with it.
std::shared_ptr<const DatabaseDefinition> Part(std::shared_ptr<const StoreDefinition> store,
                                               const std::string& name) {
    const DatabaseDefinition& part = store->For(name);
    return std::shared_ptr<const DatabaseDefinition>(std::move(store), &part);
}

}  // namespace

void RegisterEmbeddedStore(const std::wstring& scheme,
                           std::shared_ptr<const StoreDefinition> definition) {
    const std::wstring key = Lower(scheme);
    const bool known = definition != nullptr;
    {
        std::lock_guard<std::mutex> lock(Registered().mutex);
        if (known)
            Registered().byScheme[key] = std::move(definition);
        else
            Registered().byScheme.erase(key);
    }
    if (known) CDBAccessorCreator::instance().RegisterBackend(key, EmbeddedBackend(key));
}

std::shared_ptr<const StoreDefinition> FindEmbeddedStore(const std::wstring& scheme) {
    std::lock_guard<std::mutex> lock(Registered().mutex);
    auto it = Registered().byScheme.find(Lower(scheme));
    return it == Registered().byScheme.end() ? nullptr : it->second;
}

CDBAccessorCreator::Factory EmbeddedBackend(const std::wstring& scheme) {
    return [scheme](const QVSvrInfo& server,
                    const std::wstring& /*token*/) -> std::unique_ptr<CDBAccessor> {
        const std::wstring& text = server.server();
        std::wstring dir = text.substr(text.find(L':') + 1);
        const std::wstring& db = server.database();
        if (dir.empty())
            throw std::invalid_argument(
                zub::Format(ZUB_N_("the server text \"%s\" names no directory"),
                            zub::WideToUtf8(text).c_str()));
        if (db.empty())
            throw std::invalid_argument(zub::Format(ZUB_N_("no database name given for %s"),
                                                    zub::WideToUtf8(text).c_str()));
        // The name picks a file in DIR and must not lead out of it.
        if (db.find_first_of(L"/\\") != std::wstring::npos || db == L"." || db == L"..")
            throw std::invalid_argument(zub::Format(
                ZUB_N_("database name \"%s\" is not a plain name"), zub::WideToUtf8(db).c_str()));
        auto definition = Require(scheme);
        std::string path = zub::WideToUtf8(dir);
        if (path.back() != '/') path += '/';
        path += zub::WideToUtf8(db) + ".sqlite3";
        return std::make_unique<SqliteAccessor>(path,
                                                Part(std::move(definition), zub::WideToUtf8(db)));
    };
}

std::unique_ptr<CDBAccessor> OpenEmbeddedFile(const std::string& path) {
    auto definition = Require(kDefaultScheme);
    const std::string name = std::filesystem::path(path).stem().string();
    return std::make_unique<SqliteAccessor>(path, Part(std::move(definition), name));
}

}  // namespace ZUBDB
