// CoDocRepo: the automation wrapper of DRM::DocRepo.
#pragma once

#include "docvault/docrepo.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocRepo final : public SingleWrapper<ICoDocRepo, DRM::DocRepo> {
public:
    explicit CCoDocRepo(IUnknown* outer);
    ~CCoDocRepo() override = default;

    HRESULT Delete() override;
    HRESULT setpDocRepo(SHORT Id) override;
    HRESULT get_name(BSTR* pVal) override;
    HRESULT put_name(BSTR newVal) override;
    HRESULT get_desc(BSTR* pVal) override;
    HRESULT put_desc(BSTR newVal) override;
    HRESULT get_Id(SHORT* pVal) override;
    HRESULT put_Id(SHORT newVal) override;
    HRESULT get_bsNfsServer(BSTR* pVal) override;
    HRESULT put_bsNfsServer(BSTR newVal) override;
    HRESULT get_bsNfsPort(SHORT* pVal) override;
    HRESULT put_bsNfsPort(SHORT newVal) override;
    HRESULT get_bsNfsRootDir(BSTR* pVal) override;
    HRESULT put_bsNfsRootDir(BSTR newVal) override;
    HRESULT get_nCreator(SHORT* pVal) override;
    HRESULT put_nCreator(SHORT newVal) override;
    HRESULT Create(LONG* ret) override;
    HRESULT Read(LONG Id) override;
    HRESULT BackUp(BSTR LocalDir, LONG* ret) override;
    HRESULT UpdateBaseInfo(LONG* ret) override;
    HRESULT get_createdTime(DATE* pVal) override;
    HRESULT put_createdTime(DATE newVal) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
    HRESULT get_VersionStraId(LONG* pVal) override;
    HRESULT put_VersionStraId(LONG newVal) override;
    HRESULT get_CreatorName(BSTR* pVal) override;
    HRESULT put_CreatorName(BSTR newVal) override;
};

}  // namespace zub::vaultauto
