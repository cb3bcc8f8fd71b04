// The Pro/ENGINEER connector: Wildfire 2.0 and 3.0 load through proebridge2,
// 4.0 and 5.0 through proebridge4, whose commands its commands forward to.
#pragma once

#include <string>

#include "cadlink/cax_connector.h"

namespace ZUBCAX {

class ProeConnector : public CaxConnector {
public:
    ProeConnector(int creator, const std::wstring& versionName, const std::wstring& bridgeParam);
    ProeConnector(const ProeConnector& other);
    ProeConnector& operator=(const ProeConnector& other);
    ~ProeConnector() override;

private:
    int CreateCommand(const void* context, CaxCommand*& command) override;
    int LoadApplication(const std::wstring& version, const std::wstring& bridgeParam,
                        IDispatch* application, std::wstring& info, void*& handle) override;
};

}  // namespace ZUBCAX
