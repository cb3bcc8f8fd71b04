// Temporary stores for the tests; each removes its directory when done.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/qvparams.h"
#include "zubtest/tempdir.h"

namespace zubtest {

// A fresh store of the product in its own temporary directory: the accessor
// is tested on the tables and dialect it serves.
class TempStore {
public:
    TempStore();
    std::string dir() const { return dir_.str(); }
    std::string productFile() const;
    // A new connection to the product database (QVData).
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
