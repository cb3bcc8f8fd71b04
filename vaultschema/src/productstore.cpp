#include "vaultschema/productstore.h"

#include "dbcore/embeddedstore.h"
#include "productprocedures.h"
#include "productupgrade.h"
#include "schemasql.h"
#include "zub/randomtext.h"
#include "zub/text.h"

namespace vaultschema {
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

    ZUBDB::DatabaseDefinition& system = store->fixed[ProductStore::kSystemDb];
    system.sqliteSchema = kSystemSchemaSql;
    system.seed = [](ZUBDB::SqliteSession& db) {
        db.Execute("INSERT INTO QV_SysInfo (sysPwd, StoreId) VALUES (?, ?)",
                   {zub::Utf8ToWide(zub::RandomText(32)), zub::Utf8ToWide(zub::RandomText(32))});
    };
    system.upgrade = &UpgradeSystemDb;
    return store;
}

}  // namespace

std::shared_ptr<const ZUBDB::StoreDefinition> ProductStore::Definition() {
    static const std::shared_ptr<const ZUBDB::StoreDefinition> definition = Make();
    return definition;
}

void ProductStore::Register() {
    auto definition = Definition();
    if (ZUBDB::FindEmbeddedStore(L"sqlite") != definition)
        ZUBDB::RegisterEmbeddedStore(L"sqlite", std::move(definition));
}

int ProductStore::Create(const std::string& dir, const std::string& productDb,
                         std::wstring& error) {
    Register();
    return ZUBDB::CreateEmbeddedStore(dir, *Definition(), productDb, error);
}

}  // namespace vaultschema
