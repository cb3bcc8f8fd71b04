// The Pro/ENGINEER command: forwards to the bridge command it owns and
// mirrors CAD tables into a fresh SQLite file before the bridge fills them.
#pragma once

#include <memory>
#include <string>

#include "cadbridge/proe_command_base.h"
#include "cadlink/cax_command.h"

namespace ZUBCAX {

class TableDescription;

class ProeCommand : public CaxCommand {
public:
    // Error of an operation that needs a bridge command the version has none of.
    static constexpr int kNoBridge = 18001;
    // Pause after closing a same-named model from another directory.
    static constexpr int kReopenPauseMs = 1000;

    // `bridge` may be null (Wildfire 2.0 and 3.0). An empty description path
    // means the shipped one beside the library.
    ProeCommand(const ConnectContext& context, std::unique_ptr<ProeCommandBase> bridge,
                std::wstring descriptionPath = {});
    ~ProeCommand() override;
    ProeCommand(const ProeCommand&) = delete;
    ProeCommand& operator=(const ProeCommand&) = delete;

    void Disconnect() override;
    bool ConnIsValid() override;
    int CreateMenu(const std::wstring& name) override;
    int RefreshTable(const std::wstring& tables, const std::wstring& dbPath) override;
    int UpdateTable(const std::wstring& first, const std::wstring& second) override;
    int OpenFile(const std::wstring& path) override;
    int SaveFile(std::wstring& text) override;
    int CloseFile(const std::wstring& name) override;
    int GetDependencies(std::wstring& text) override;

    bool HasBridge() const noexcept { return bridge_ != nullptr; }
    int descErrNumber() const noexcept { return descErrNumber_; }
    const std::wstring& descErrText() const noexcept { return descErrText_; }
    // The shipped description: "zh-cn/dd_2.xml" in this library's folder.
    static std::wstring DefaultDescriptionPath();

private:
    template <class Call>
    int Forward(const wchar_t* operation, Call call);
    bool NeedBridge();
    int CopyBridgeError(int result);
    int BuildMirror(const std::wstring& tables, const std::wstring& dbPath);
    int RefreshFailed(const std::wstring& why);

    std::unique_ptr<ProeCommandBase> bridge_;
    std::unique_ptr<TableDescription> description_;
    int descErrNumber_ = 0;
    std::wstring descErrText_;
    std::wstring descriptionPath_;
};

}  // namespace ZUBCAX
