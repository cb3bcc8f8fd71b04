#include "coversionstra.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoVersionStra", L"coversionstra", L"VaultAuto.CoVersionStra.1"};
}  // namespace

CCoVersionStra::CCoVersionStra(IUnknown* outer)
    : SingleWrapper(outer, IID_ICoVersionStra, kNames) {}

HRESULT CCoVersionStra::SetVersionStra(SHORT Id) {
    return Member(L"SetVersionStra", __LINE__, [&]() -> HRESULT {
        Renew().Read(FromCom(Id));
        return S_OK;
    });
}

HRESULT CCoVersionStra::get_VersionStraId(SHORT* pVal) {
    return Get(L"get_VersionStraId", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.versionStraId(); });
}

HRESULT CCoVersionStra::put_VersionStraId(SHORT newVal) {
    return Put(L"put_VersionStraId", __LINE__, newVal,
               [](auto& o, auto v) { o.set_versionStraId(v); });
}

HRESULT CCoVersionStra::get_SeriaNumStra(SHORT* pVal) {
    return Get(L"get_SeriaNumStra", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.seriaNumStra(); });
}

HRESULT CCoVersionStra::put_SeriaNumStra(SHORT newVal) {
    return Put(L"put_SeriaNumStra", __LINE__, newVal,
               [](auto& o, auto v) { o.set_seriaNumStra(v); });
}

HRESULT CCoVersionStra::get_Begin_Main(SHORT* pVal) {
    return Get(L"get_Begin_Main", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.begin_Main(); });
}

HRESULT CCoVersionStra::put_Begin_Main(SHORT newVal) {
    return Put(L"put_Begin_Main", __LINE__, newVal, [](auto& o, auto v) { o.set_begin_Main(v); });
}

HRESULT CCoVersionStra::get_Begin_Sub(SHORT* pVal) {
    return Get(L"get_Begin_Sub", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.begin_Sub(); });
}

HRESULT CCoVersionStra::put_Begin_Sub(SHORT newVal) {
    return Put(L"put_Begin_Sub", __LINE__, newVal, [](auto& o, auto v) { o.set_begin_Sub(v); });
}

HRESULT CCoVersionStra::get_NewDocBeginNum(SHORT* pVal) {
    return Get(L"get_NewDocBeginNum", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.newDocBeginNum(); });
}

HRESULT CCoVersionStra::put_NewDocBeginNum(SHORT newVal) {
    return Put(L"put_NewDocBeginNum", __LINE__, newVal,
               [](auto& o, auto v) { o.set_newDocBeginNum(v); });
}

HRESULT CCoVersionStra::get_DocAdvScope(SHORT* pVal) {
    return Get(L"get_DocAdvScope", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.docAdvScope(); });
}

HRESULT CCoVersionStra::put_DocAdvScope(SHORT newVal) {
    return Put(L"put_DocAdvScope", __LINE__, newVal, [](auto& o, auto v) { o.set_docAdvScope(v); });
}

HRESULT CCoVersionStra::get_CreateBSLNAdv(SHORT* pVal) {
    return Get(L"get_CreateBSLNAdv", __LINE__, pVal,
               [](const DRM::VersionStra& o) { return o.createBSLNAdv(); });
}

HRESULT CCoVersionStra::put_CreateBSLNAdv(SHORT newVal) {
    return Put(L"put_CreateBSLNAdv", __LINE__, newVal,
               [](auto& o, auto v) { o.set_createBSLNAdv(v); });
}

HRESULT CCoVersionStra::Create(LONG* ret) {
    return Member(L"Create", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Save()); });
    });
}

HRESULT CCoVersionStra::Update(LONG* ret) {
    return Member(L"Update", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Update()); });
    });
}

HRESULT CCoVersionStra::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

HRESULT CCoVersionStra::save(LONG* ret) {
    return Member(L"save", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Save()); });
    });
}

HRESULT CCoVersionStra::Read(LONG VersionStraId) {
    return Member(L"Read", __LINE__, [&]() -> HRESULT {
        wrapped_->Read(FromCom(VersionStraId));
        return S_OK;
    });
}

}  // namespace zub::vaultauto
