// The process-wide maker of accessors. The server text selects a backend by
// its scheme ("sqlite:DIR"); tests register schemes of their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbconnstate.h"
#include "dbcore/qvsvrinfo.h"

namespace ZUBDB {

class CDBAccessorCreator {
public:
    using Factory = std::function<std::unique_ptr<CDBAccessor>(const QVSvrInfo& server,
                                                               const std::wstring& token)>;

    static CDBAccessorCreator& instance();

    // Null when the server text names no known backend or the connection fails.
    std::unique_ptr<CDBAccessor> CreateAccessor(const QVSvrInfo& server, const std::wstring& token);
    // The local form: a database file path and a second text (unused here).
    std::unique_ptr<CDBAccessor> CreateAccessor(const std::wstring& local, const std::wstring& b);

    // Why the last CreateAccessor on this thread returned null.
    std::wstring LastError() const;

    // scheme without the colon, e.g. L"sqlite"; replaces an earlier one.
    void RegisterBackend(const std::wstring& scheme, Factory factory);
    void UnregisterBackend(const std::wstring& scheme);

private:
    CDBAccessorCreator();
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace ZUBDB
