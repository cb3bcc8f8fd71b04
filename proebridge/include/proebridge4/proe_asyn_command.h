// Stand-in for the Wildfire 4.0/5.0 bridge command: drives the simulated
// CAD session with model files of the stand-in's text format (README.md).
#pragma once

#include <string>
#include <vector>

#include "cadbridge/idispatch.h"
#include "cadbridge/proe_command_base.h"

namespace ZUBPROE4 {

class ProeAsynCommand : public ZUBCAX::ProeCommandBase {
public:
    // Error numbers of the stand-in.
    static constexpr int kNotConnected = 1;
    static constexpr int kModelNotFound = 2;
    static constexpr int kModelMalformed = 3;
    static constexpr int kNoModel = 4;
    static constexpr int kDatabase = 5;
    static constexpr int kBadArgument = 6;

    ProeAsynCommand() = default;
    ~ProeAsynCommand() override = default;

    int CreateMenu(const std::wstring& name) override;
    void Disconnect() override;
    bool ConnIsValid() override;
    int OpenFile(const std::wstring& path) override;
    int CloseFile(const std::wstring& name) override;
    // Writes the current model back to its file; `text` gets its full name.
    int SaveFile(std::wstring& text) override;
    // `text` gets the current model's dependencies, one per line.
    int GetDependencies(std::wstring& text) override;
    // Fills the mirror tables that exist in the database with the model's rows.
    int RefreshTable(const std::wstring& tables, const std::wstring& dbPath) override;
    // Reads the rows of the listed mirror tables (`first`) in the database
    // (`second`) back into the current model.
    int UpdateTable(const std::wstring& first, const std::wstring& second) override;
    std::wstring GetCurrentMdlFullName() override;

private:
    bool Connected();
    bool HaveModel();
    int Fail(int number, std::wstring text);
};

// The simulated session, for tests and the command line.
struct LoadRecord {
    std::wstring launcherPath;
    std::wstring bridgeParam;
    IDispatch* application = nullptr;
};
const std::vector<LoadRecord>& Loads();
const std::vector<std::wstring>& Menus();
// Every call the bridge command received, as "Name(arg,...)".
const std::vector<std::wstring>& Calls();
void ResetStandIn();

}  // namespace ZUBPROE4
