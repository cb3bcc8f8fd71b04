// Base of the CAD connectors: loads the CAD application through a bridge and
// hands out commands, which the caller owns.
// Errors: connector and command calls return 0 or non-zero and keep a number
// and text (18000 for a failed connection); the mirror store's own wrapper
// throws SqliteError, which the commands turn into their status.
#pragma once

#include <exception>
#include <string>

#include "cadbridge/idispatch.h"
#include "cadlink/cax_command.h"
#include "cadlink/connect_context.h"

namespace ZUBCAX {

class CaxConnector {
public:
    static constexpr int kConnectFailed = 18000;

    virtual ~CaxConnector();

    // 0 and a new command, or the failing step's code (the command is left
    // as it was).
    int NewCommand(IDispatch* application, CaxCommand*& command);

    int errNumber() const noexcept { return errNumber_; }
    const std::wstring& errText() const noexcept { return errText_; }
    int creator() const noexcept { return creator_; }
    const std::wstring& versionName() const noexcept { return versionName_; }
    const std::wstring& bridgeParam() const noexcept { return bridgeParam_; }

protected:
    CaxConnector(int creator, std::wstring versionName, std::wstring bridgeParam);
    CaxConnector(const CaxConnector&) = default;
    CaxConnector& operator=(const CaxConnector&) = default;

    virtual int CreateCommand(const void* context, CaxCommand*& command) = 0;
    virtual int LoadApplication(const std::wstring& version, const std::wstring& bridgeParam,
                                IDispatch* application, std::wstring& info, void*& handle) = 0;

private:
    int Connect(ConnectContext& context, IDispatch* application);
    int Fail(const wchar_t* function, int line, const std::exception_ptr& error);

    int errNumber_ = 0;
    std::wstring errText_;
    int creator_;
    std::wstring versionName_;
    std::wstring bridgeParam_;
};

}  // namespace ZUBCAX
