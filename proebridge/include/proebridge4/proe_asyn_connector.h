// Stand-in for the Wildfire 4.0/5.0 bridge connector: loading starts (or
// rejoins) the one simulated CAD session of the process.
#pragma once

#include <string>

#include "cadbridge/idispatch.h"

namespace ZUBPROE4 {

class ProeAsynConnector {
public:
    ProeAsynConnector() = default;
    // Fails (1) when the launcher path is empty; the simulated session
    // starts all the same, as a CAD already running would be joined.
    virtual int Load(const std::wstring& launcherPath, const std::wstring& bridgeParam,
                     IDispatch* application, std::wstring& info, void*& handle);
    virtual ~ProeAsynConnector();
};

}  // namespace ZUBPROE4
