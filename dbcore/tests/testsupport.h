// Temporary stores for the tests; each removes its directory when done.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/qvparams.h"
#include "zubtest/tempdir.h"

namespace zubtest {

// A fresh store of the tests' own small schema (testsupport.cpp) in its own
// temporary directory, served for the "sqlite" scheme.
class TempStore {
public:
    static constexpr const char* kDataDb = "Data";
    static constexpr const char* kSystemDb = "System";

    TempStore();
    std::string dir() const { return dir_.str(); }
    std::string dataFile() const;
    // A new connection to the main database (Data), or to the fixed one (System).
    std::unique_ptr<ZUBDB::CDBAccessor> Connect() const;
    std::unique_ptr<ZUBDB::CDBAccessor> ConnectSystem() const;

private:
    TempDir dir_;
};

// Building parameter lists in one line.
ZUBDB::QVParams Params();
ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, long long value);
ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& value);
ZUBDB::QVParams& AddRaw(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& expr);

}  // namespace zubtest
