#include "pgbackend.h"

#include <libpq-fe.h>

#include <cwctype>
#include <mutex>
#include <set>
#include <stdexcept>

#include "pgaccessor.h"
#include "pgconnectionpool.h"
#include "pgdialect.h"
#include "pgsession.h"
#include "zub/i18n.h"
#include "zub/randomtext.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

struct Registered {
    std::mutex mutex;
    std::shared_ptr<const StoreDefinition> definition;
};

Registered& Server() {
    static Registered registered;
    return registered;
}

// The token's keywords that may appear: credentials and transport security.
// Where to connect is the server description's.
bool AllowedInToken(const std::string& keyword) {
    static const std::set<std::string> allowed = {
        "user",       "password",        "passfile",        "sslmode",     "sslcert",
        "sslkey",     "sslrootcert",     "sslcrl",          "sslpassword", "gssencmode",
        "krbsrvname", "channel_binding", "application_name"};
    return allowed.count(keyword) != 0;
}

void ReadToken(const std::wstring& token, std::vector<std::string>& keywords,
               std::vector<std::string>& values) {
    if (token.empty()) return;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(zub::WideToUtf8(token).c_str(), &error);
    if (options == nullptr) {
        std::string why = error != nullptr ? error : "unreadable";
        PQfreemem(error);
        throw PgError(
            "08001",
            zub::Format(ZUB_N_("the connection token is not a list of keyword=value pairs: %s"),
                        why.c_str()));
    }
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> hold(options, PQconninfoFree);
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        if (!AllowedInToken(o->keyword))
            throw PgError("08001",
                          zub::Format(ZUB_N_("the connection token may not set \"%s\": the "
                                             "server description says where to connect"),
                                      o->keyword));
        keywords.emplace_back(o->keyword);
        values.emplace_back(o->val);
    }
}

std::shared_ptr<const DatabaseDefinition> Part(std::shared_ptr<const StoreDefinition> store,
                                               const std::string& name) {
    const DatabaseDefinition& part = store->For(name);
    return std::shared_ptr<const DatabaseDefinition>(std::move(store), &part);
}

}  // namespace

void RegisterServerStore(std::shared_ptr<const StoreDefinition> definition) {
    std::lock_guard<std::mutex> lock(Server().mutex);
    Server().definition = std::move(definition);
}

std::shared_ptr<const StoreDefinition> FindServerStore() {
    std::lock_guard<std::mutex> lock(Server().mutex);
    return Server().definition;
}

PgTarget PgTarget::Of(const ServerPlace& place, const std::string& database) {
    if (place.server.empty()) throw PgError("08001", ZUB_N_("no database server given"));
    if (database.empty()) throw PgError("3D000", ZUB_N_("no database name given"));
    PgTarget t;
    const std::string host = zub::WideToUtf8(place.server);
    const long port = place.port == 0 ? 5432 : place.port;
    if (port < 0 || port > 65535)
        throw PgError(
            "08001", zub::Format(ZUB_N_("port %ld is no TCP port"), static_cast<long>(place.port)));
    t.place = host + ":" + std::to_string(port) + " database " + database;
    auto set = [&](const char* k, std::string v) {
        t.keywords.emplace_back(k);
        t.values.push_back(std::move(v));
    };
    set("host", host);
    set("port", std::to_string(port));
    set("dbname", database);
    set("client_encoding", "UTF8");
    set("application_name", "zubvault");
    // Bounded waits: a server that is gone is noticed, never waited on for ever.
    set("connect_timeout", "10");
    set("keepalives", "1");
    set("keepalives_idle", "15");
    set("keepalives_interval", "5");
    set("keepalives_count", "3");
    set("tcp_user_timeout", "30000");
    set("options", "-c statement_timeout=60000 -c idle_in_transaction_session_timeout=600000");
    ReadToken(place.token, t.keywords, t.values);
    return t;
}

std::unique_ptr<PgConnection> PgTarget::Connect() const {
    return std::make_unique<PgConnection>(keywords, values, place);
}

void CloseIdleServerConnections() { PgConnectionPool::Clear(); }

CDBAccessorCreator::Factory ServerBackend() {
    return [](const QVSvrInfo& server, const std::wstring& token) -> std::unique_ptr<CDBAccessor> {
        auto definition = FindServerStore();
        if (!definition)
            throw std::runtime_error(zub::Format(
                ZUB_N_("no store definition is registered for database servers, so \"%s\" cannot "
                       "be opened; the product registers its own before it opens one"),
                zub::WideToUtf8(server.server()).c_str()));
        const std::string db = zub::WideToUtf8(server.database());
        PgTarget target = PgTarget::Of({server.server(), server.port(), token}, db);
        return std::make_unique<PgAccessor>(std::move(target), Part(std::move(definition), db));
    };
}

int CreateServerStore(const ServerPlace& place, const StoreDefinition& definition,
                      const std::string& mainDb, bool& existed, std::wstring& error) {
    existed = false;
    error.clear();
    try {
        std::vector<std::pair<std::string, const DatabaseDefinition*>> parts = {
            {mainDb, &definition.main}};
        for (const auto& [name, part] : definition.fixed) {
            if (name == mainDb)
                throw std::invalid_argument(
                    zub::Format(ZUB_N_("the product database may not be called %s"), name.c_str()));
            parts.emplace_back(name, &part);
        }
        std::vector<std::unique_ptr<PgConnection>> conns;
        std::set<std::string> marks;
        bool anyEmpty = false;
        for (const auto& [name, part] : parts) {
            PgTarget target = PgTarget::Of(place, name);
            std::unique_ptr<PgConnection> conn;
            try {
                conn = target.Connect();
            } catch (const PgError& e) {
                if (std::string(e.what()).find("does not exist") == std::string::npos) throw;
                // A new database for the store, ordered as the embedded store orders.
                auto admin = PgTarget::Of(place, "postgres").Connect();
                admin->Script("CREATE DATABASE \"" + name +
                              "\" TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
                conn = target.Connect();
            }
            auto tables = conn->Batch(
                {{"SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()", {}},
                 {"SELECT to_regclass('zub_store') IS NOT NULL", {}}});
            const long long count = tables[0].rows.GetInt64At(0);
            if (count == 0) {
                anyEmpty = true;
            } else if (tables[1].rows.GetInt64At(0) == 1) {
                auto mark = conn->Batch({{"SELECT min(StoreId) FROM zub_store", {}}});
                marks.insert(zub::WideToUtf8(mark[0].rows.GetStringAt(0)));
            } else {
                throw std::runtime_error(
                    zub::Format(ZUB_N_("the database %s already holds tables of something else"),
                                target.place.c_str()));
            }
            conns.push_back(std::move(conn));
        }
        if (!marks.empty()) {
            if (!anyEmpty && marks.size() == 1) {
                existed = true;
                return 0;
            }
            throw std::runtime_error(
                ZUB_N_("the databases on the server already hold parts of a different store"));
        }
        // Every database is made in its own transaction, committed only when
        // all are made.
        const std::string storeId = zub::RandomText(32);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            PgConnection& conn = *conns[i];
            const DatabaseDefinition& part = *parts[i].second;
            conn.Script("BEGIN");
            conn.Script(PgDialect::kSupportSql);
            if (!part.serverSchema.empty()) conn.Script(part.serverSchema);
            conn.Script("CREATE TABLE zub_store (StoreId text NOT NULL)");
            PgSession session(conn);
            session.Execute("INSERT INTO zub_store (StoreId) VALUES (?)",
                            {zub::Utf8ToWide(storeId)});
            if (part.serverSeed) part.serverSeed(session);
        }
        for (auto& conn : conns) conn->Script("COMMIT");
        return 0;
    } catch (const std::exception& e) {
        error = zub::Utf8ToWide(e.what());
        return 1;
    }
}

}  // namespace ZUBDB
