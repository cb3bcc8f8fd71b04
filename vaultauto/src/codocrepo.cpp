#include "codocrepo.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocRepo", L"codocrepo", L"VaultAuto.CoDocRepo.1"};
}  // namespace

CCoDocRepo::CCoDocRepo(IUnknown* outer) : SingleWrapper(outer, IID_ICoDocRepo, kNames) {}

HRESULT CCoDocRepo::Delete() {
    return Member(L"Delete", __LINE__,
                  [&]() -> HRESULT { return Reporting(*wrapped_, [&] { wrapped_->Delete(); }); });
}

HRESULT CCoDocRepo::setpDocRepo(SHORT Id) {
    return Member(L"setpDocRepo", __LINE__, [&]() -> HRESULT {
        Renew().Read(FromCom(Id));
        return S_OK;
    });
}

HRESULT CCoDocRepo::get_name(BSTR* pVal) {
    return Get(L"get_name", __LINE__, pVal, [](const DRM::DocRepo& o) { return o.name(); });
}

HRESULT CCoDocRepo::put_name(BSTR newVal) {
    return Put(L"put_name", __LINE__, newVal, [](auto& o, auto v) { o.set_name(v); });
}

HRESULT CCoDocRepo::get_desc(BSTR* pVal) {
    return Get(L"get_desc", __LINE__, pVal, [](const DRM::DocRepo& o) { return o.desc(); });
}

HRESULT CCoDocRepo::put_desc(BSTR newVal) {
    return Put(L"put_desc", __LINE__, newVal, [](auto& o, auto v) { o.set_desc(v); });
}

HRESULT CCoDocRepo::get_Id(SHORT* pVal) {
    return Get(L"get_Id", __LINE__, pVal, [](const DRM::DocRepo& o) { return o.id(); });
}

HRESULT CCoDocRepo::put_Id(SHORT newVal) {
    return Put(L"put_Id", __LINE__, newVal, [](auto& o, auto v) { o.set_id(v); });
}

HRESULT CCoDocRepo::get_bsNfsServer(BSTR* pVal) {
    return Get(L"get_bsNfsServer", __LINE__, pVal,
               [](const DRM::DocRepo& o) { return o.nfsServer(); });
}

HRESULT CCoDocRepo::put_bsNfsServer(BSTR newVal) {
    return Put(L"put_bsNfsServer", __LINE__, newVal, [](auto& o, auto v) { o.set_nfsServer(v); });
}

HRESULT CCoDocRepo::get_bsNfsPort(SHORT* pVal) {
    return Get(L"get_bsNfsPort", __LINE__, pVal, [](const DRM::DocRepo& o) { return o.nfsPort(); });
}

HRESULT CCoDocRepo::put_bsNfsPort(SHORT newVal) {
    return Put(L"put_bsNfsPort", __LINE__, newVal, [](auto& o, auto v) { o.set_port(v); });
}

HRESULT CCoDocRepo::get_bsNfsRootDir(BSTR* pVal) {
    return Get(L"get_bsNfsRootDir", __LINE__, pVal,
               [](const DRM::DocRepo& o) { return o.nfsRootDir(); });
}

HRESULT CCoDocRepo::put_bsNfsRootDir(BSTR newVal) {
    return Put(L"put_bsNfsRootDir", __LINE__, newVal, [](auto& o, auto v) { o.set_nfsRootDir(v); });
}

HRESULT CCoDocRepo::get_nCreator(SHORT* pVal) {
    return Get(L"get_nCreator", __LINE__, pVal, [](const DRM::DocRepo& o) { return o.creator(); });
}

HRESULT CCoDocRepo::put_nCreator(SHORT newVal) {
    return Put(L"put_nCreator", __LINE__, newVal, [](auto& o, auto v) { o.set_creator(v); });
}

HRESULT CCoDocRepo::Create(LONG* ret) {
    return Member(L"Create", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->Create()); });
    });
}

HRESULT CCoDocRepo::Read(LONG Id) {
    return Member(L"Read", __LINE__, [&]() -> HRESULT {
        wrapped_->Read(FromCom(Id));
        return S_OK;
    });
}

HRESULT CCoDocRepo::BackUp(BSTR LocalDir, LONG* ret) {
    return Member(L"BackUp", __LINE__, [&]() -> HRESULT {
        if (!LocalDir) return S_OK;
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->BackUp(FromCom(LocalDir)));
        return S_OK;
    });
}

HRESULT CCoDocRepo::UpdateBaseInfo(LONG* ret) {
    return Member(L"UpdateBaseInfo", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->updateBaseInfo()); });
    });
}

HRESULT CCoDocRepo::get_createdTime(DATE* pVal) {
    return Get(L"get_createdTime", __LINE__, pVal,
               [](const DRM::DocRepo& o) { return o.createdTime(); });
}

HRESULT CCoDocRepo::put_createdTime(DATE newVal) {
    return Put(L"put_createdTime", __LINE__, newVal, [](auto& o, auto v) { o.set_createdTime(v); });
}

HRESULT CCoDocRepo::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

HRESULT CCoDocRepo::get_VersionStraId(LONG* pVal) {
    return Get(L"get_VersionStraId", __LINE__, pVal,
               [](const DRM::DocRepo& o) { return o.versionStraId(); });
}

HRESULT CCoDocRepo::put_VersionStraId(LONG newVal) {
    return Put(L"put_VersionStraId", __LINE__, newVal,
               [](auto& o, auto v) { o.set_versionStraId(v); });
}

HRESULT CCoDocRepo::get_CreatorName(BSTR* pVal) {
    return Get(L"get_CreatorName", __LINE__, pVal,
               [](const DRM::DocRepo& o) { return o.creatorName(); });
}

HRESULT CCoDocRepo::put_CreatorName(BSTR newVal) {
    return Put(L"put_CreatorName", __LINE__, newVal, [](auto& o, auto v) { o.set_creatorName(v); });
}

}  // namespace zub::vaultauto
