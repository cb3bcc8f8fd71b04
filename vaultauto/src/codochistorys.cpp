#include "codochistorys.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocHistorys", L"codochistorys", L"VaultAuto.CoDocHistorys.1"};
}  // namespace

CCoDocHistorys::CCoDocHistorys(IUnknown* outer)
    : CollectionWrapper(outer, IID_ICoDocHistorys, kNames) {}

HRESULT CCoDocHistorys::GetAll(LONG DocId, LONG BaseLineId) {
    return Member(L"GetAll", __LINE__, [&]() -> HRESULT {
        DRM::filterForDocHistory filter;
        filter.docId = FromCom(DocId);
        filter.baseLineId = FromCom(BaseLineId);
        wrapped_->GetAll(filter);
        return S_OK;
    });
}

HRESULT CCoDocHistorys::item(LONG num, ICoDocHistory** icdh) {
    return Member(L"item", __LINE__, [&]() -> HRESULT {
        if (!icdh) return E_POINTER;
        *icdh = nullptr;
        if (num < 0) return S_OK;
        return HandOut<CCoDocHistory>(wrapped_->Item(num), IID_ICoDocHistory, icdh);
    });
}

HRESULT CCoDocHistorys::Count(LONG* num) { return CountMember(__LINE__, num); }

HRESULT CCoDocHistorys::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

}  // namespace zub::vaultauto
