// Product stores in temporary directories for the tests; each removes its
// directory when done.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/pgcluster.h"
#include "zubtest/tempdir.h"

namespace zub::vaultschema::test {

enum class Backend { Embedded, Server };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Embedded ? "Embedded" : "Server";
}

// In a temporary folder, or as QVData and QVSystem made anew on the test
// program's PostgreSQL cluster.
class TempProductStore {
public:
    explicit TempProductStore(Backend backend = Backend::Embedded) : backend_(backend) {
        std::wstring error;
        int rc = 0;
        if (backend == Backend::Embedded) {
            rc = vaultschema::ProductStore::Create(dir_.str(), "QVData", error);
        } else {
            const auto& cluster = zub::testsupport::PgCluster::Shared();
            cluster.DropDatabase("QVData");
            cluster.DropDatabase("QVSystem");
            bool existed = false;
            rc = vaultschema::ProductStore::CreateOnServer(Place(), "QVData", existed, error);
        }
        if (rc != 0)
            throw std::runtime_error("cannot create a test store: " + zub::WideToUtf8(error));
    }

    static ZUBDB::ServerPlace Place() {
        const auto& cluster = zub::testsupport::PgCluster::Shared();
        return {zub::Utf8ToWide(cluster.socketDir()), cluster.port(),
                zub::Utf8ToWide(cluster.SocketToken())};
    }
    std::string dir() const { return dir_.str(); }
    std::filesystem::path path() const { return dir_.path(); }

    // A new connection to a database of the store, as the library makes it.
    std::unique_ptr<ZUBDB::CDBAccessor> Connect(const wchar_t* db = L"QVData") const {
        auto& creator = ZUBDB::CDBAccessorCreator::instance();
        std::unique_ptr<ZUBDB::CDBAccessor> accessor;
        if (backend_ == Backend::Embedded) {
            accessor = creator.CreateAccessor(
                ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(dir()), 0, db, L""), L"");
        } else {
            const ZUBDB::ServerPlace place = Place();
            accessor = creator.CreateAccessor(ZUBDB::QVSvrInfo(place.server, place.port, db, L""),
                                              place.token);
        }
        if (!accessor) throw std::runtime_error(zub::WideToUtf8(creator.LastError()));
        return accessor;
    }

private:
    Backend backend_;
    zub::testsupport::TempDir dir_;
};

inline std::unique_ptr<ZUBDB::CDBRecordset> Query(
    ZUBDB::CDBAccessor& db, const std::wstring& sql,
    const ZUBDB::QVParams& p = ZUBDB::QVParams(false)) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    EXPECT_EQ(db.ExecuteSql(rs, sql, p, L"", 0, 0), 0) << zub::WideToUtf8(db.errDescription());
    // Empty rather than null, so a failed query fails its checks, not the run.
    return rs ? std::move(rs) : std::make_unique<ZUBDB::CDBRecordset>();
}

inline void Add(ZUBDB::QVParams& p, const std::wstring& column, long long value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, L"=");
}

inline void Add(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, false, L"=");
}

}  // namespace zub::vaultschema::test
