// CoDocRepoAuth: the automation wrapper of DRM::DocRepoAuth.
#pragma once

#include "docvault/docrepoauth.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocRepoAuth final : public SingleWrapper<ICoDocRepoAuth, DRM::DocRepoAuth> {
public:
    explicit CCoDocRepoAuth(IUnknown* outer);
    ~CCoDocRepoAuth() override = default;

    HRESULT get_Id(LONG* pVal) override;
    HRESULT put_Id(LONG newVal) override;
    HRESULT get_DocRepoId(LONG* pVal) override;
    HRESULT put_DocRepoId(LONG newVal) override;
    HRESULT get_UserId(LONG* pVal) override;
    HRESULT put_UserId(LONG newVal) override;
    HRESULT get_RoleId(LONG* pVal) override;
    HRESULT put_RoleId(LONG newVal) override;
    HRESULT get_ByRoleOrUser(LONG* pVal) override;
    HRESULT put_ByRoleOrUser(LONG newVal) override;
    HRESULT get_Read(LONG* pVal) override;
    HRESULT put_Read(LONG newVal) override;
    HRESULT get_Write(LONG* pVal) override;
    HRESULT put_Write(LONG newVal) override;
    HRESULT get_Manage(LONG* pVal) override;
    HRESULT put_Manage(LONG newVal) override;
    HRESULT get_name(BSTR* pVal) override;
    HRESULT put_name(BSTR newVal) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
    HRESULT save() override;
};

}  // namespace zub::vaultauto
