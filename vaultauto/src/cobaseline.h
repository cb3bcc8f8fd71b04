// CoBaseLine: the automation wrapper of DRM::BaseLine.
#pragma once

#include "docvault/baseline.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoBaseLine final : public SingleWrapper<ICoBaseLine, DRM::BaseLine> {
public:
    explicit CCoBaseLine(IUnknown* outer);
    ~CCoBaseLine() override = default;

    HRESULT get_Id(SHORT* pVal) override;
    HRESULT put_Id(SHORT newVal) override;
    HRESULT get_BaseLine(SHORT* pVal) override;
    HRESULT put_BaseLine(SHORT newVal) override;
    HRESULT get_name(BSTR* pVal) override;
    HRESULT put_name(BSTR newVal) override;
    HRESULT get_desc(BSTR* pVal) override;
    HRESULT put_desc(BSTR newVal) override;
    HRESULT Delete() override;
    HRESULT get_DocRepoId(LONG* pVal) override;
    HRESULT put_DocRepoId(LONG newVal) override;
    HRESULT Create(LONG* ret) override;
    HRESULT DownLoad(BSTR LocalDir, LONG* ret) override;
    HRESULT get_createdTime(DATE* pVal) override;
    HRESULT put_createdTime(DATE newVal) override;
    HRESULT connect(BSTR qvSerrver, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
