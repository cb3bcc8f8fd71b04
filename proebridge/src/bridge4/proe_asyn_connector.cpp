#include "proebridge4/proe_asyn_connector.h"

#include "cad_session.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBPROE4 {

CadSession& TheSession() {
    static CadSession session;
    return session;
}

ProeAsynConnector::~ProeAsynConnector() = default;

int ProeAsynConnector::Load(const std::wstring& launcherPath, const std::wstring& bridgeParam,
                            IDispatch* application, std::wstring& info, void*& handle) {
    CadSession& session = TheSession();
    session.loads.push_back({launcherPath, bridgeParam, application});
    session.connected = true;
    handle = &session;
    if (launcherPath.empty()) {
        info = ZUB_N_(L"proebridge4 stand-in; no launcher (Pro/ENGINEER not installed)");
        return 1;
    }
    info =
        zub::FormatBounded(launcherPath.size() + 48,
                           ZUB_N_(L"proebridge4 stand-in; launcher \"%ls\""), launcherPath.c_str());
    return 0;
}

const std::vector<LoadRecord>& Loads() { return TheSession().loads; }
const std::vector<std::wstring>& Menus() { return TheSession().menus; }
const std::vector<std::wstring>& Calls() { return TheSession().calls; }
void ResetStandIn() { TheSession() = CadSession(); }

}  // namespace ZUBPROE4
