// ITypeLib and ITypeInfo over the data a type library was read into.
#pragma once

#include <zub/com/typelib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace zub::com {

class TypeLibImpl;

// Its references are those of its library, which owns it.
class TypeInfoImpl final : public ITypeInfo {
public:
    TypeInfoImpl(TypeLibImpl* lib, std::size_t index);
    ~TypeInfoImpl();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override;
    HRESULT GetTypeComp(IUnknown** ppTComp) override;
    HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
    HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
    HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
    HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
    HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
    HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
    HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
    HRESULT GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                        WORD* pwOrdinal) override;
    HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
    HRESULT AddressOfMember(MEMBERID memid, INVOKEKIND invKind, void** ppv) override;
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override;
    HRESULT GetMops(MEMBERID memid, BSTR* pBstrMops) override;
    HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
    void ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
    void ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
    void ReleaseVarDesc(VARDESC* pVarDesc) override;

    const TypeData& data() const;
    const TypeLibData& libData() const;

private:
    struct FuncDescBlock;

    TypeLibImpl* lib_;
    std::size_t index_;
    std::mutex mutex_;
    std::map<const FUNCDESC*, std::unique_ptr<FuncDescBlock>> funcDescs_;
};

class TypeLibImpl final : public ITypeLib {
public:
    explicit TypeLibImpl(TypeLibData data);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    UINT GetTypeInfoCount() override { return static_cast<UINT>(infos_.size()); }
    HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
    HRESULT GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
    HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
    HRESULT GetLibAttr(TLIBATTR** ppTLibAttr) override;
    HRESULT GetTypeComp(IUnknown** ppTComp) override;
    HRESULT GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
    HRESULT IsName(LPOLESTR szNameBuf, ULONG lHashVal, int* pfName) override;
    HRESULT FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                     USHORT* pcFound) override;
    void ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

    const TypeLibData& data() const { return data_; }

private:
    ~TypeLibImpl() = default;

    std::atomic<ULONG> refs_{1};
    TypeLibData data_;
    std::vector<std::unique_ptr<TypeInfoImpl>> infos_;
};

// Case-insensitive name comparison of the automation lookup.
bool SameName(std::wstring_view a, std::u16string_view b);

}  // namespace zub::com
