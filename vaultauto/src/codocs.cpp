#include "codocs.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocs", L"codocs", L"VaultAuto.CoDocs.1"};
}  // namespace

CCoDocs::CCoDocs(IUnknown* outer) : CollectionWrapper(outer, IID_ICoDocs, kNames) {}

HRESULT CCoDocs::GetAll(SHORT DocRepoId, SHORT BaseLineId, LONG* ret) {
    return Member(L"GetAll", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        DRM::filterForDoc filter;
        filter.docRepoId = FromCom(DocRepoId);
        filter.baseLineId = FromCom(BaseLineId);
        *ret = ToLong(wrapped_->GetAll(filter));
        return S_OK;
    });
}

HRESULT CCoDocs::Count(LONG* num) { return CountMember(__LINE__, num); }

HRESULT CCoDocs::item(LONG i, ICoDoc** icd) {
    return Member(L"item", __LINE__, [&]() -> HRESULT {
        if (!icd) return E_POINTER;
        *icd = nullptr;
        if (i < 0) return S_OK;
        return HandOut<CCoDoc>(wrapped_->Item(i), IID_ICoDoc, icd);
    });
}

HRESULT CCoDocs::Clear() { return ClearMember(__LINE__); }

HRESULT CCoDocs::ItemByKey(BSTR Key, ICoDoc** cod) {
    return Member(L"ItemByKey", __LINE__, [&]() -> HRESULT {
        if (!cod) return E_POINTER;
        *cod = nullptr;
        if (!Key) return S_OK;
        return HandOut<CCoDoc>(wrapped_->Item(FromCom(Key)), IID_ICoDoc, cod);
    });
}

HRESULT CCoDocs::RemoveByKey(BSTR Key) {
    return Member(L"RemoveByKey", __LINE__, [&]() -> HRESULT {
        if (!Key) return S_OK;
        RemoveElement(FromCom(Key));
        return S_OK;
    });
}

HRESULT CCoDocs::Add(ICoDoc* icd) { return AddMember<CCoDoc>(__LINE__, IID_ICoDoc, icd); }

HRESULT CCoDocs::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

}  // namespace zub::vaultauto
