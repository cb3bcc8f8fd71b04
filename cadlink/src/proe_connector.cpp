#include "cadlink/proe_connector.h"

#include <cwctype>
#include <memory>
#include <stdexcept>

#include "bridge_keeper.h"
#include "cadlink/proe_command.h"
#include "cadlink/proe_version.h"
#include "proebridge2/proe_asyn_connector.h"
#include "proebridge4/proe_asyn_command.h"
#include "proebridge4/proe_asyn_connector.h"
#include "zub/i18n.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

bool IsVersion(const std::wstring& name, const wchar_t* version) {
    const std::wstring other(version);
    if (name.size() != other.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(name[i])) !=
            std::towlower(static_cast<wint_t>(other[i]))) {
            return false;
        }
    }
    return true;
}

bool UsesBridge2(const std::wstring& name) {
    return IsVersion(name, L"Wildfire 2.0") || IsVersion(name, L"Wildfire 3.0");
}

bool UsesBridge4(const std::wstring& name) {
    return IsVersion(name, L"Wildfire 4.0") || IsVersion(name, L"Wildfire 5.0");
}

}  // namespace

ProeConnector::ProeConnector(int creator, const std::wstring& versionName,
                             const std::wstring& bridgeParam)
    : CaxConnector(creator, versionName, bridgeParam) {}

ProeConnector::ProeConnector(const ProeConnector& other) = default;
ProeConnector& ProeConnector::operator=(const ProeConnector& other) = default;
ProeConnector::~ProeConnector() = default;

int ProeConnector::LoadApplication(const std::wstring& version, const std::wstring& bridgeParam,
                                   IDispatch* application, std::wstring& info, void*& handle) {
    CProeVersion finder;
    const std::wstring launcher = finder.GetLauncherPath();
    // The bridge's own verdict is not ours to judge: starting and waiting
    // for the CAD program is its business.
    if (UsesBridge2(version)) {
        auto bridge = std::make_shared<ZUBPROE2::ProeAsynConnector>();
        KeepBridge(bridge);
        bridge->Load(launcher, bridgeParam, application, info, handle);
    } else if (UsesBridge4(version)) {
        auto bridge = std::make_shared<ZUBPROE4::ProeAsynConnector>();
        KeepBridge(bridge);
        bridge->Load(launcher, bridgeParam, application, info, handle);
    } else {
        throw ZUBBASE::QV_Exception(
            zub::FormatBounded(version.size() + 40,
                               ZUB_N_(L"no CAD bridge for the version \"%ls\""), version.c_str()),
            L"proe_connector", L"ZUBCAX::ProeConnector::LoadApplication", __LINE__);
    }
    return 0;
}

int ProeConnector::CreateCommand(const void* context, CaxCommand*& command) {
    const auto& ctx = *static_cast<const ConnectContext*>(context);
    std::unique_ptr<ProeCommandBase> bridge;
    if (UsesBridge4(versionName())) bridge = std::make_unique<ZUBPROE4::ProeAsynCommand>();
    command = new ProeCommand(ctx, std::move(bridge));
    return 0;
}

}  // namespace ZUBCAX
