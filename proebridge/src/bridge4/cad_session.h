// The one simulated CAD session of the process, shared by the bridge's
// connectors and commands as a running CAD program would be.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model_file.h"
#include "proebridge4/proe_asyn_command.h"

namespace ZUBPROE4 {

struct CadSession {
    bool connected = false;
    std::optional<Model> current;
    std::vector<LoadRecord> loads;
    std::vector<std::wstring> menus;
    std::vector<std::wstring> calls;
};

CadSession& TheSession();

}  // namespace ZUBPROE4
