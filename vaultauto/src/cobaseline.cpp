#include "cobaseline.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoBaseLine", L"cobaseline", L"VaultAuto.CoBaseLine.1"};
}  // namespace

CCoBaseLine::CCoBaseLine(IUnknown* outer) : SingleWrapper(outer, IID_ICoBaseLine, kNames) {}

HRESULT CCoBaseLine::get_Id(SHORT* pVal) {
    return Get(L"get_Id", __LINE__, pVal, [](const DRM::BaseLine& o) { return o.id(); });
}

HRESULT CCoBaseLine::put_Id(SHORT newVal) {
    return Put(L"put_Id", __LINE__, newVal, [](auto& o, auto v) { o.set_id(v); });
}

HRESULT CCoBaseLine::get_BaseLine(SHORT* pVal) {
    return Get(L"get_BaseLine", __LINE__, pVal,
               [](const DRM::BaseLine& o) { return o.docRepoId(); });
}

HRESULT CCoBaseLine::put_BaseLine(SHORT newVal) {
    return Put(L"put_BaseLine", __LINE__, newVal, [](auto& o, auto v) { o.set_docRepoId(v); });
}

HRESULT CCoBaseLine::get_name(BSTR* pVal) {
    return Get(L"get_name", __LINE__, pVal, [](const DRM::BaseLine& o) { return o.name(); });
}

HRESULT CCoBaseLine::put_name(BSTR newVal) {
    return Put(L"put_name", __LINE__, newVal, [](auto& o, auto v) { o.set_name(v); });
}

HRESULT CCoBaseLine::get_desc(BSTR* pVal) {
    return Get(L"get_desc", __LINE__, pVal, [](const DRM::BaseLine& o) { return o.desc(); });
}

HRESULT CCoBaseLine::put_desc(BSTR newVal) {
    return Put(L"put_desc", __LINE__, newVal, [](auto& o, auto v) { o.set_desc(v); });
}

HRESULT CCoBaseLine::Delete() {
    return Member(L"Delete", __LINE__,
                  [&]() -> HRESULT { return Reporting(*wrapped_, [&] { wrapped_->Delete(); }); });
}

HRESULT CCoBaseLine::get_DocRepoId(LONG* pVal) {
    return Get(L"get_DocRepoId", __LINE__, pVal,
               [](const DRM::BaseLine& o) { return o.docRepoId(); });
}

HRESULT CCoBaseLine::put_DocRepoId(LONG newVal) {
    return Put(L"put_DocRepoId", __LINE__, newVal, [](auto& o, auto v) { o.set_docRepoId(v); });
}

HRESULT CCoBaseLine::Create(LONG* ret) {
    return Member(L"Create", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Create()); });
    });
}

HRESULT CCoBaseLine::DownLoad(BSTR LocalDir, LONG* ret) {
    return Member(L"DownLoad", __LINE__, [&]() -> HRESULT {
        if (!LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->DownLoad(FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoBaseLine::get_createdTime(DATE* pVal) {
    return Get(L"get_createdTime", __LINE__, pVal,
               [](const DRM::BaseLine& o) { return o.createdTime(); });
}

HRESULT CCoBaseLine::put_createdTime(DATE newVal) {
    return Put(L"put_createdTime", __LINE__, newVal, [](auto& o, auto v) { o.set_createdTime(v); });
}

HRESULT CCoBaseLine::connect(BSTR qvSerrver, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvSerrver, Port, db, token, ret);
}

}  // namespace zub::vaultauto
