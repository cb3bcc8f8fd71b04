// CoDoc: the automation wrapper of DRM::Doc.
#pragma once

#include "docvault/doc.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDoc final : public SingleWrapper<ICoDoc, DRM::Doc> {
public:
    explicit CCoDoc(IUnknown* outer);
    ~CCoDoc() override = default;

    HRESULT get_Id(LONG* pVal) override;
    HRESULT put_Id(LONG newVal) override;
    HRESULT get_DocRepoId(LONG* pVal) override;
    HRESULT put_DocRepoId(LONG newVal) override;
    HRESULT get_FileName(BSTR* pVal) override;
    HRESULT put_FileName(BSTR newVal) override;
    HRESULT get_Ext(BSTR* pVal) override;
    HRESULT put_Ext(BSTR newVal) override;
    HRESULT get_CurrentVersion(BSTR* pVal) override;
    HRESULT put_CurrentVersion(BSTR newVal) override;
    HRESULT get_State(SHORT* pVal) override;
    HRESULT put_State(SHORT newVal) override;
    HRESULT get_CheckOutById(SHORT* pVal) override;
    HRESULT put_CheckOutById(SHORT newVal) override;
    HRESULT get_CheckOutByName(BSTR* pVal) override;
    HRESULT put_CheckOutByName(BSTR newVal) override;
    HRESULT get_CreById(SHORT* pVal) override;
    HRESULT put_CreById(SHORT newVal) override;
    HRESULT get_CreByName(BSTR* pVal) override;
    HRESULT put_CreByName(BSTR newVal) override;
    HRESULT get_LstUptById(SHORT* pVal) override;
    HRESULT put_LstUptById(SHORT newVal) override;
    HRESULT get_LstUptByName(BSTR* pVal) override;
    HRESULT put_LstUptByName(BSTR newVal) override;
    HRESULT get_PhyUrl(BSTR* pVal) override;
    HRESULT put_PhyUrl(BSTR newVal) override;
    HRESULT setForDoc(LONG Id) override;
    HRESULT CheckOut(BSTR LocalDir, LONG* ret) override;
    HRESULT ReName(BSTR NewName, LONG* ret) override;
    HRESULT CheckIn(BSTR LocalDir, LONG* ret) override;
    HRESULT Delete(LONG* ret) override;
    HRESULT Add(BSTR LocalDir, LONG* ret) override;
    HRESULT GetHistory(BSTR VersionStr, BSTR LocalDir, LONG* ret) override;
    HRESULT View(BSTR LocalDor, LONG* ret) override;
    HRESULT get_CreTime(DATE* pVal) override;
    HRESULT put_CreTime(DATE newVal) override;
    HRESULT get_LstUptTime(DATE* pVal) override;
    HRESULT put_LstUptTime(DATE newVal) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
    HRESULT get_CaxDocType(LONG* pVal) override;
    HRESULT put_CaxDocType(LONG newVal) override;
    HRESULT GetRevision(LONG* revision) override;
    HRESULT get_ModifyInfo(BSTR* pVal) override;
    HRESULT put_ModifyInfo(BSTR newVal) override;
    HRESULT CheckInWithForm(BSTR LocalDir, BSTR rcid, LONG* ret) override;
};

}  // namespace zub::vaultauto
