// The command a caller of the CAD connector works with; it owns it and
// destroys it through the virtual destructor.
#pragma once

#include <string>

#include "cadlink/connect_context.h"

namespace ZUBCAX {

class CaxCommand {
public:
    virtual ~CaxCommand() = default;
    virtual void Disconnect() = 0;
    virtual bool ConnIsValid() = 0;
    virtual int CreateMenu(const std::wstring& name) = 0;
    virtual int RefreshTable(const std::wstring& tables, const std::wstring& dbPath) = 0;
    virtual int UpdateTable(const std::wstring& first, const std::wstring& second) = 0;
    virtual int OpenFile(const std::wstring& path) = 0;
    virtual int SaveFile(std::wstring& text) = 0;
    virtual int CloseFile(const std::wstring& name) = 0;
    virtual int GetDependencies(std::wstring& text) = 0;

    int errNumber() const noexcept { return errNumber_; }
    const std::wstring& errText() const noexcept { return errText_; }
    void* appHandle() const noexcept { return appHandle_; }
    const std::wstring& appInfo() const noexcept { return appInfo_; }
    int creator() const noexcept { return creator_; }
    const std::wstring& versionName() const noexcept { return versionName_; }

protected:
    explicit CaxCommand(const ConnectContext& context)
        : appHandle_(context.appHandle),
          appInfo_(context.appInfo),
          creator_(context.creator),
          versionName_(context.versionName) {}
    CaxCommand(const CaxCommand&) = default;
    CaxCommand& operator=(const CaxCommand&) = default;

    void SetErr(int number, std::wstring text) {
        errNumber_ = number;
        errText_ = std::move(text);
    }

private:
    int errNumber_ = 0;
    std::wstring errText_;
    void* appHandle_ = nullptr;
    std::wstring appInfo_;
    int creator_ = 0;
    std::wstring versionName_;
    std::wstring reserved_;
};

}  // namespace ZUBCAX
