// Stand-in for the Wildfire 2.0/3.0 bridge: it only records that the
// application was loaded; this bridge has no command object.
#pragma once

#include <string>
#include <vector>

#include "cadbridge/idispatch.h"

namespace ZUBPROE2 {

class ProeAsynConnector {
public:
    ProeAsynConnector() = default;
    // The load call must stay the first virtual operation.
    virtual int Load(const std::wstring& launcherPath, const std::wstring& bridgeParam,
                     IDispatch* application, std::wstring& info, void*& handle);
    virtual ~ProeAsynConnector();
};

// What the stand-in was asked, for tests and the command line.
struct LoadRecord {
    std::wstring launcherPath;
    std::wstring bridgeParam;
    IDispatch* application = nullptr;
};
const std::vector<LoadRecord>& Loads();
void ResetStandIn();

}  // namespace ZUBPROE2
