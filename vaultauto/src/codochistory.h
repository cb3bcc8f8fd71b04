// CoDocHistory: the automation wrapper of DRM::DocHistory.
#pragma once

#include "docvault/dochistory.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocHistory final : public SingleWrapper<ICoDocHistory, DRM::DocHistory> {
public:
    explicit CCoDocHistory(IUnknown* outer);
    ~CCoDocHistory() override = default;

    HRESULT get_Id(LONG* pVal) override;
    HRESULT put_Id(LONG newVal) override;
    HRESULT get_DocId(LONG* pVal) override;
    HRESULT put_DocId(LONG newVal) override;
    HRESULT get_BaseLineId(LONG* pVal) override;
    HRESULT put_BaseLineId(LONG newVal) override;
    HRESULT get_HisDocName(BSTR* pVal) override;
    HRESULT put_HisDocName(BSTR newVal) override;
    HRESULT get_OperatorId(LONG* pVal) override;
    HRESULT put_OperatorId(LONG newVal) override;
    HRESULT get_m_OperatorName(BSTR* pVal) override;
    HRESULT put_m_OperatorName(BSTR newVal) override;
    HRESULT get_OperateInfo(BSTR* pVal) override;
    HRESULT put_OperateInfo(BSTR newVal) override;
    HRESULT get_Action(LONG* pVal) override;
    HRESULT put_Action(LONG newVal) override;
    HRESULT get_PhyUrl(BSTR* pVal) override;
    HRESULT put_PhyUrl(BSTR newVal) override;
    HRESULT get_Version_Main(LONG* pVal) override;
    HRESULT put_Version_Main(LONG newVal) override;
    HRESULT get_Version_Sub(LONG* pVal) override;
    HRESULT put_Version_Sub(LONG newVal) override;
    HRESULT get_ReVersion(LONG* pVal) override;
    HRESULT put_ReVersion(LONG newVal) override;
    HRESULT get_OperatorTime(DATE* pVal) override;
    HRESULT put_OperatorTime(DATE newVal) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
