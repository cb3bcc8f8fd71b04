// Temporary stores for the tests; each removes its directory when done.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/qvparams.h"
#include "zubtest/tempdir.h"

namespace zub::dbcore::test {

// The backends the contract tests run on.
enum class Backend { Embedded, Server };
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

// What each backend numbers its errors.
struct ErrorNumbers {
    long unknownName;  // no such table or column
    long primaryKey;
    long foreignKey;
    long twoStatements;
    long valueCount;
};
const ErrorNumbers& NumbersOf(Backend backend);

// A fresh store of the tests' own small schema (testsupport.cpp): in its own
// temporary directory served for the "sqlite" scheme, or as the databases
// Data and System, made anew, on the test program's PostgreSQL cluster.
class TempStore {
public:
    static constexpr const char* kDataDb = "Data";
    static constexpr const char* kSystemDb = "System";

    explicit TempStore(Backend backend = Backend::Embedded);
    Backend backend() const { return backend_; }
    std::string dir() const { return dir_.str(); }
    std::string dataFile() const;
    // A new connection to the main database (Data), or to the fixed one (System).
    std::unique_ptr<ZUBDB::CDBAccessor> Connect() const;
    std::unique_ptr<ZUBDB::CDBAccessor> ConnectSystem() const;

private:
    std::unique_ptr<ZUBDB::CDBAccessor> Open(const char* database) const;

    Backend backend_;
    zub::testsupport::TempDir dir_;
};

// Whether the accessor has a unit of work open, on either backend.
bool InTransaction(ZUBDB::CDBAccessor& db);

// Building parameter lists in one line.
ZUBDB::QVParams Params();
ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, long long value);
ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& value);
ZUBDB::QVParams& AddRaw(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& expr);

}  // namespace zub::dbcore::test
