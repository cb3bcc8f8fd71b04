#include "vaultschema/productstore.h"

#include "dbcore/embeddedstore.h"
#include "dbcore/serverstore.h"
#include "productprocedures.h"
#include "productupgrade.h"
#include "schemasql.h"
#include "zub/randomtext.h"
#include "zub/text.h"

namespace zub::vaultschema {
namespace {

std::shared_ptr<const ZUBDB::StoreDefinition> Make() {
    auto store = std::make_shared<ZUBDB::StoreDefinition>();
    ZUBDB::DatabaseDefinition& product = store->main;
    product.sqliteSchema = kProductSchemaSql;
    product.seed = [](ZUBDB::SqliteSession& db) {
        db.Execute(
            "INSERT INTO QV_DMVerStrategy (VersionStraId, SeriaNumStra, Begin_Main, Begin_Sub, "
            "NewDocBeginNum, DocAdvScope, CreateBSLNAdv) VALUES (1, 2, 1, 0, 0, 0, 0)",
            {});
        db.Execute("INSERT INTO QV_User (UserId, UserName) VALUES (1, 'system')", {});
    };
    product.upgrade = &UpgradeProductDb;
    ProductProcedures::RegisterInto(product.procedures);
    product.serverSchema = kServerProductSchemaSql;
    product.serverSeed = [](ZUBDB::SqliteSession& db) {
        db.Execute(
            "INSERT INTO QV_DMVerStrategy (VersionStraId, SeriaNumStra, Begin_Main, Begin_Sub, "
            "NewDocBeginNum, DocAdvScope, CreateBSLNAdv) VALUES (1, 2, 1, 0, 0, 0, 0)",
            {});
        db.Execute("INSERT INTO QV_User (UserId, UserName) VALUES (1, 'system')", {});
        // Rows with their keys given leave the key generators behind them.
        db.Query("SELECT setval(pg_get_serial_sequence('qv_dmverstrategy', 'versionstraid'), 1)",
                 {});
        db.Query("SELECT setval(pg_get_serial_sequence('qv_user', 'userid'), 1)", {});
    };
    product.serverUpgrade = &UpgradeServerProductDb;
    product.serverProcedures = {{L"getnewid", ZUBDB::ProcedureKind::CommitsItself},
                                {L"qv_p_dmgetuserauths", ZUBDB::ProcedureKind::ReadOnly}};

    ZUBDB::DatabaseDefinition& system = store->fixed[ProductStore::kSystemDb];
    system.sqliteSchema = kSystemSchemaSql;
    system.seed = [](ZUBDB::SqliteSession& db) {
        db.Execute("INSERT INTO QV_SysInfo (sysPwd, StoreId) VALUES (?, ?)",
                   {zub::Utf8ToWide(zub::RandomText(32)), zub::Utf8ToWide(zub::RandomText(32))});
    };
    system.upgrade = &UpgradeSystemDb;
    system.serverSchema = kServerSystemSchemaSql;
    system.serverSeed = system.seed;
    return store;
}

}  // namespace

std::shared_ptr<const ZUBDB::StoreDefinition> ProductStore::Definition() {
    static const std::shared_ptr<const ZUBDB::StoreDefinition> definition = Make();
    return definition;
}

void ProductStore::Register() {
    auto definition = Definition();
    if (ZUBDB::FindServerStore() != definition) ZUBDB::RegisterServerStore(definition);
    if (ZUBDB::FindEmbeddedStore(L"sqlite") != definition)
        ZUBDB::RegisterEmbeddedStore(L"sqlite", std::move(definition));
}

int ProductStore::CreateOnServer(const ZUBDB::ServerPlace& place, const std::string& productDb,
                                 bool& existed, std::wstring& error) {
    Register();
    return ZUBDB::CreateServerStore(place, *Definition(), productDb, existed, error);
}

int ProductStore::Create(const std::string& dir, const std::string& productDb,
                         std::wstring& error) {
    Register();
    return ZUBDB::CreateEmbeddedStore(dir, *Definition(), productDb, error);
}

}  // namespace zub::vaultschema
