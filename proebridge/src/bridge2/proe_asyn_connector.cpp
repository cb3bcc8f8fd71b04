#include "proebridge2/proe_asyn_connector.h"

#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBPROE2 {
namespace {

std::vector<LoadRecord>& LoadLog() {
    static std::vector<LoadRecord> log;
    return log;
}

}  // namespace

ProeAsynConnector::~ProeAsynConnector() = default;

int ProeAsynConnector::Load(const std::wstring& launcherPath, const std::wstring& bridgeParam,
                            IDispatch* application, std::wstring& info, void*& handle) {
    LoadLog().push_back({launcherPath, bridgeParam, application});
    info =
        zub::FormatBounded(launcherPath.size() + 48,
                           ZUB_N_(L"proebridge2 stand-in; launcher \"%ls\""), launcherPath.c_str());
    handle = this;
    return launcherPath.empty() ? 1 : 0;
}

const std::vector<LoadRecord>& Loads() { return LoadLog(); }
void ResetStandIn() { LoadLog().clear(); }

}  // namespace ZUBPROE2
