#include "codoc.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDoc", L"codoc", L"VaultAuto.CoDoc.1"};
}  // namespace

CCoDoc::CCoDoc(IUnknown* outer) : SingleWrapper(outer, IID_ICoDoc, kNames) {}

HRESULT CCoDoc::get_Id(LONG* pVal) {
    return Get(L"get_Id", __LINE__, pVal, [](const DRM::Doc& o) { return o.id(); });
}

HRESULT CCoDoc::put_Id(LONG newVal) {
    return Put(L"put_Id", __LINE__, newVal, [](auto& o, auto v) { o.set_id(v); });
}

HRESULT CCoDoc::get_DocRepoId(LONG* pVal) {
    return Get(L"get_DocRepoId", __LINE__, pVal, [](const DRM::Doc& o) { return o.docRepoId(); });
}

HRESULT CCoDoc::put_DocRepoId(LONG newVal) {
    return Put(L"put_DocRepoId", __LINE__, newVal, [](auto& o, auto v) { o.set_docRepoId(v); });
}

HRESULT CCoDoc::get_FileName(BSTR* pVal) {
    return Get(L"get_FileName", __LINE__, pVal, [](const DRM::Doc& o) { return o.fileName(); });
}

HRESULT CCoDoc::put_FileName(BSTR newVal) {
    return Put(L"put_FileName", __LINE__, newVal, [](auto& o, auto v) { o.set_fileName(v); });
}

HRESULT CCoDoc::get_Ext(BSTR* pVal) {
    return Get(L"get_Ext", __LINE__, pVal, [](const DRM::Doc& o) { return o.ext(); });
}

HRESULT CCoDoc::put_Ext(BSTR newVal) {
    return Put(L"put_Ext", __LINE__, newVal, [](auto& o, auto v) { o.set_ext(v); });
}

HRESULT CCoDoc::get_CurrentVersion(BSTR* pVal) {
    return Get(L"get_CurrentVersion", __LINE__, pVal,
               [](const DRM::Doc& o) { return o.currentVersion(); });
}

HRESULT CCoDoc::put_CurrentVersion(BSTR newVal) {
    return Put(L"put_CurrentVersion", __LINE__, newVal,
               [](auto& o, auto v) { o.set_currentVersion(v); });
}

HRESULT CCoDoc::get_State(SHORT* pVal) {
    return Get(L"get_State", __LINE__, pVal, [](const DRM::Doc& o) { return o.state(); });
}

HRESULT CCoDoc::put_State(SHORT newVal) {
    return Put(L"put_State", __LINE__, newVal, [](auto& o, auto v) { o.set_state(v); });
}

HRESULT CCoDoc::get_CheckOutById(SHORT* pVal) {
    return Get(L"get_CheckOutById", __LINE__, pVal,
               [](const DRM::Doc& o) { return o.checkOutById(); });
}

HRESULT CCoDoc::put_CheckOutById(SHORT newVal) {
    return Put(L"put_CheckOutById", __LINE__, newVal,
               [](auto& o, auto v) { o.set_checkOutById(v); });
}

HRESULT CCoDoc::get_CheckOutByName(BSTR* pVal) {
    return Get(L"get_CheckOutByName", __LINE__, pVal,
               [](const DRM::Doc& o) { return o.checkOutByName(); });
}

HRESULT CCoDoc::put_CheckOutByName(BSTR newVal) {
    return Put(L"put_CheckOutByName", __LINE__, newVal,
               [](auto& o, auto v) { o.set_checkOutByName(v); });
}

HRESULT CCoDoc::get_CreById(SHORT* pVal) {
    return Get(L"get_CreById", __LINE__, pVal, [](const DRM::Doc& o) { return o.creById(); });
}

HRESULT CCoDoc::put_CreById(SHORT newVal) {
    return Put(L"put_CreById", __LINE__, newVal, [](auto& o, auto v) { o.set_creById(v); });
}

HRESULT CCoDoc::get_CreByName(BSTR* pVal) {
    return Get(L"get_CreByName", __LINE__, pVal, [](const DRM::Doc& o) { return o.creByName(); });
}

HRESULT CCoDoc::put_CreByName(BSTR newVal) {
    return Put(L"put_CreByName", __LINE__, newVal, [](auto& o, auto v) { o.set_creByName(v); });
}

HRESULT CCoDoc::get_LstUptById(SHORT* pVal) {
    return Get(L"get_LstUptById", __LINE__, pVal, [](const DRM::Doc& o) { return o.lstUptById(); });
}

HRESULT CCoDoc::put_LstUptById(SHORT newVal) {
    return Put(L"put_LstUptById", __LINE__, newVal, [](auto& o, auto v) { o.set_lstUptById(v); });
}

HRESULT CCoDoc::get_LstUptByName(BSTR* pVal) {
    return Get(L"get_LstUptByName", __LINE__, pVal,
               [](const DRM::Doc& o) { return o.lstUptByName(); });
}

HRESULT CCoDoc::put_LstUptByName(BSTR newVal) {
    return Put(L"put_LstUptByName", __LINE__, newVal,
               [](auto& o, auto v) { o.set_lstUptByName(v); });
}

HRESULT CCoDoc::get_PhyUrl(BSTR* pVal) {
    return Get(L"get_PhyUrl", __LINE__, pVal, [](const DRM::Doc& o) { return o.phyUrl(); });
}

HRESULT CCoDoc::put_PhyUrl(BSTR newVal) {
    return Put(L"put_PhyUrl", __LINE__, newVal, [](auto& o, auto v) { o.set_phyUrl(v); });
}

HRESULT CCoDoc::setForDoc(LONG Id) {
    return Member(L"setForDoc", __LINE__, [&]() -> HRESULT {
        wrapped_->Read(FromCom(Id));
        return S_OK;
    });
}

HRESULT CCoDoc::CheckOut(BSTR LocalDir, LONG* ret) {
    return Member(L"CheckOut", __LINE__, [&]() -> HRESULT {
        if (!LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->CheckOut(FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoDoc::ReName(BSTR NewName, LONG* ret) {
    return Member(L"ReName", __LINE__, [&]() -> HRESULT {
        if (!NewName) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->ReName(FromCom(NewName)));
        return S_OK;
    });
}

HRESULT CCoDoc::CheckIn(BSTR LocalDir, LONG* ret) {
    return Member(L"CheckIn", __LINE__, [&]() -> HRESULT {
        if (!LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->CheckIn(FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoDoc::Delete(LONG* ret) {
    return Member(L"Delete", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Delete()); });
    });
}

HRESULT CCoDoc::Add(BSTR LocalDir, LONG* ret) {
    return Member(L"Add", __LINE__, [&]() -> HRESULT {
        if (!LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->Add(FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoDoc::GetHistory(BSTR VersionStr, BSTR LocalDir, LONG* ret) {
    return Member(L"GetHistory", __LINE__, [&]() -> HRESULT {
        if (!VersionStr || !LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->GetHistory(FromCom(VersionStr), FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoDoc::View(BSTR LocalDor, LONG* ret) {
    return Member(L"View", __LINE__, [&]() -> HRESULT {
        if (!LocalDor) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->View(FromCom(LocalDor)));
        return S_OK;
    });
}

HRESULT CCoDoc::get_CreTime(DATE* pVal) {
    return Get(L"get_CreTime", __LINE__, pVal, [](const DRM::Doc& o) { return o.creTime(); });
}

HRESULT CCoDoc::put_CreTime(DATE newVal) {
    return Put(L"put_CreTime", __LINE__, newVal, [](auto& o, auto v) { o.set_creTime(v); });
}

HRESULT CCoDoc::get_LstUptTime(DATE* pVal) {
    return Get(L"get_LstUptTime", __LINE__, pVal, [](const DRM::Doc& o) { return o.lstUptTime(); });
}

HRESULT CCoDoc::put_LstUptTime(DATE newVal) {
    return Put(L"put_LstUptTime", __LINE__, newVal, [](auto& o, auto v) { o.set_lstUptTime(v); });
}

HRESULT CCoDoc::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

HRESULT CCoDoc::get_CaxDocType(LONG* pVal) {
    return Get(L"get_CaxDocType", __LINE__, pVal, [](const DRM::Doc& o) { return o.caxDocType(); });
}

HRESULT CCoDoc::put_CaxDocType(LONG newVal) {
    return Put(L"put_CaxDocType", __LINE__, newVal, [](auto& o, auto v) { o.set_caxDocType(v); });
}

HRESULT CCoDoc::GetRevision(LONG* revision) {
    return Member(L"GetRevision", __LINE__, [&]() -> HRESULT {
        if (!revision) return E_POINTER;
        *revision = ToLong(wrapped_->GetRevision());
        return S_OK;
    });
}

HRESULT CCoDoc::get_ModifyInfo(BSTR* pVal) {
    return Get(L"get_ModifyInfo", __LINE__, pVal, [](const DRM::Doc& o) { return o.modifyInfo(); });
}

HRESULT CCoDoc::put_ModifyInfo(BSTR newVal) {
    return Put(L"put_ModifyInfo", __LINE__, newVal, [](auto& o, auto v) { o.set_modifyInfo(v); });
}

HRESULT CCoDoc::CheckInWithForm(BSTR LocalDir, BSTR rcid, LONG* ret) {
    return Member(L"CheckInWithForm", __LINE__, [&]() -> HRESULT {
        if (!LocalDir || !rcid) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->CheckIn(FromCom(LocalDir), FromCom(rcid)));
        return S_OK;
    });
}

}  // namespace zub::vaultauto
