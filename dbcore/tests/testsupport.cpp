#include "testsupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zubtest {

namespace {
const char* const kProductDb = vaultschema::ProductStore::kDefaultProductDb;
}  // namespace

TempStore::TempStore() {
    std::wstring error;
    int rc = vaultschema::ProductStore::Create(dir_.str(), kProductDb, error);
    if (rc != 0) throw std::runtime_error("cannot create a test store: " + zub::WideToUtf8(error));
}

std::string TempStore::productFile() const {
    return (dir_.path() / (std::string(kProductDb) + ".sqlite3")).string();
}

std::unique_ptr<ZUBDB::CDBAccessor> TempStore::Connect() const {
    ZUBDB::QVSvrInfo server(ZUBDB::EmbeddedLocator(dir()), 0, L"QVData", L"");
    auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(server, L"");
    if (!accessor)
        throw std::runtime_error(
            zub::WideToUtf8(ZUBDB::CDBAccessorCreator::instance().LastError()));
    return accessor;
}

std::unique_ptr<ZUBDB::CDBAccessor> TempStore::ConnectSystem() const {
    ZUBDB::QVSvrInfo server(ZUBDB::EmbeddedLocator(dir()), 0, L"QVSystem", L"");
    auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(server, L"");
    if (!accessor)
        throw std::runtime_error(
            zub::WideToUtf8(ZUBDB::CDBAccessorCreator::instance().LastError()));
    return accessor;
}

ZUBDB::QVParams Params() { return ZUBDB::QVParams(false); }

ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, long long value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, L"=");
    return p;
}

ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, false, L"=");
    return p;
}

ZUBDB::QVParams& AddRaw(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& expr) {
    p.AddParam(static_cast<long>(p.size()), column, expr, true, false, L"=");
    return p;
}

}  // namespace zubtest
