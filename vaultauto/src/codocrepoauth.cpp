#include "codocrepoauth.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocRepoAuth", L"codocrepoauth", L"VaultAuto.CoDocRepoAuth.1"};
}  // namespace

CCoDocRepoAuth::CCoDocRepoAuth(IUnknown* outer)
    : SingleWrapper(outer, IID_ICoDocRepoAuth, kNames) {}

HRESULT CCoDocRepoAuth::get_Id(LONG* pVal) {
    return Get(L"get_Id", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.id(); });
}

HRESULT CCoDocRepoAuth::put_Id(LONG newVal) {
    return Put(L"put_Id", __LINE__, newVal, [](auto& o, auto v) { o.set_id(v); });
}

HRESULT CCoDocRepoAuth::get_DocRepoId(LONG* pVal) {
    return Get(L"get_DocRepoId", __LINE__, pVal,
               [](const DRM::DocRepoAuth& o) { return o.docRepoId(); });
}

HRESULT CCoDocRepoAuth::put_DocRepoId(LONG newVal) {
    return Put(L"put_DocRepoId", __LINE__, newVal, [](auto& o, auto v) { o.set_docRepoId(v); });
}

HRESULT CCoDocRepoAuth::get_UserId(LONG* pVal) {
    return Get(L"get_UserId", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.userId(); });
}

HRESULT CCoDocRepoAuth::put_UserId(LONG newVal) {
    return Put(L"put_UserId", __LINE__, newVal, [](auto& o, auto v) { o.set_userId(v); });
}

HRESULT CCoDocRepoAuth::get_RoleId(LONG* pVal) {
    return Get(L"get_RoleId", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.roleId(); });
}

HRESULT CCoDocRepoAuth::put_RoleId(LONG newVal) {
    return Put(L"put_RoleId", __LINE__, newVal, [](auto& o, auto v) { o.set_roleId(v); });
}

HRESULT CCoDocRepoAuth::get_ByRoleOrUser(LONG* pVal) {
    return Get(L"get_ByRoleOrUser", __LINE__, pVal,
               [](const DRM::DocRepoAuth& o) { return o.byRoleOrByUser(); });
}

HRESULT CCoDocRepoAuth::put_ByRoleOrUser(LONG newVal) {
    return Put(L"put_ByRoleOrUser", __LINE__, newVal,
               [](auto& o, auto v) { o.set_byRoleOrByUser(v); });
}

HRESULT CCoDocRepoAuth::get_Read(LONG* pVal) {
    return Get(L"get_Read", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.read(); });
}

HRESULT CCoDocRepoAuth::put_Read(LONG newVal) {
    return Put(L"put_Read", __LINE__, newVal, [](auto& o, auto v) { o.set_read(v); });
}

HRESULT CCoDocRepoAuth::get_Write(LONG* pVal) {
    return Get(L"get_Write", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.write(); });
}

HRESULT CCoDocRepoAuth::put_Write(LONG newVal) {
    return Put(L"put_Write", __LINE__, newVal, [](auto& o, auto v) { o.set_write(v); });
}

HRESULT CCoDocRepoAuth::get_Manage(LONG* pVal) {
    return Get(L"get_Manage", __LINE__, pVal, [](const DRM::DocRepoAuth& o) { return o.manage(); });
}

HRESULT CCoDocRepoAuth::put_Manage(LONG newVal) {
    return Put(L"put_Manage", __LINE__, newVal, [](auto& o, auto v) { o.set_manage(v); });
}

HRESULT CCoDocRepoAuth::get_name(BSTR* pVal) {
    return Get(L"get_name", __LINE__, pVal,
               [](const DRM::DocRepoAuth& o) { return o.roleOrUser_Name(); });
}

HRESULT CCoDocRepoAuth::put_name(BSTR newVal) {
    return Put(L"put_name", __LINE__, newVal, [](auto& o, auto v) { o.set_roleOrUser_Name(v); });
}

HRESULT CCoDocRepoAuth::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

HRESULT CCoDocRepoAuth::save() {
    return Member(L"save", __LINE__, [&]() -> HRESULT {
        wrapped_->Save();
        return S_OK;
    });
}

}  // namespace zub::vaultauto
