// Interface of the bridge's command object. The bridges implement it, so it
// stays header-only and keeps its slot order.
#pragma once

#include <string>

namespace ZUBCAX {

class ProeCommandBase {
public:
    virtual ~ProeCommandBase() = default;
    virtual int CreateMenu(const std::wstring& name) = 0;
    virtual void Disconnect() = 0;
    virtual bool ConnIsValid() = 0;
    virtual int OpenFile(const std::wstring& path) = 0;
    virtual int CloseFile(const std::wstring& name) = 0;
    virtual int SaveFile(std::wstring& text) = 0;
    virtual int GetDependencies(std::wstring& text) = 0;
    virtual int RefreshTable(const std::wstring& tables, const std::wstring& dbPath) = 0;
    virtual int UpdateTable(const std::wstring& first, const std::wstring& second) = 0;
    virtual std::wstring GetCurrentMdlFullName() = 0;

    int errNumber() const noexcept { return errNumber_; }
    const std::wstring& errText() const noexcept { return errText_; }

protected:
    ProeCommandBase() = default;
    ProeCommandBase(const ProeCommandBase&) = default;
    ProeCommandBase& operator=(const ProeCommandBase&) = default;

    void SetErr(int number, std::wstring text) {
        errNumber_ = number;
        errText_ = std::move(text);
    }

    int errNumber_ = 0;
    std::wstring errText_;
};

}  // namespace ZUBCAX
