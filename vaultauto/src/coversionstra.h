// CoVersionStra: the automation wrapper of DRM::VersionStra.
#pragma once

#include "docvault/versionstra.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoVersionStra final : public SingleWrapper<ICoVersionStra, DRM::VersionStra> {
public:
    explicit CCoVersionStra(IUnknown* outer);
    ~CCoVersionStra() override = default;

    HRESULT SetVersionStra(SHORT Id) override;
    HRESULT get_VersionStraId(SHORT* pVal) override;
    HRESULT put_VersionStraId(SHORT newVal) override;
    HRESULT get_SeriaNumStra(SHORT* pVal) override;
    HRESULT put_SeriaNumStra(SHORT newVal) override;
    HRESULT get_Begin_Main(SHORT* pVal) override;
    HRESULT put_Begin_Main(SHORT newVal) override;
    HRESULT get_Begin_Sub(SHORT* pVal) override;
    HRESULT put_Begin_Sub(SHORT newVal) override;
    HRESULT get_NewDocBeginNum(SHORT* pVal) override;
    HRESULT put_NewDocBeginNum(SHORT newVal) override;
    HRESULT get_DocAdvScope(SHORT* pVal) override;
    HRESULT put_DocAdvScope(SHORT newVal) override;
    HRESULT get_CreateBSLNAdv(SHORT* pVal) override;
    HRESULT put_CreateBSLNAdv(SHORT newVal) override;
    HRESULT Create(LONG* ret) override;
    HRESULT Update(LONG* ret) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
    HRESULT save(LONG* ret) override;
    HRESULT Read(LONG VersionStraId) override;
};

}  // namespace zub::vaultauto
