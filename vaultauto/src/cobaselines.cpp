#include "cobaselines.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoBaseLines", L"cobaselines", L"VaultAuto.CoBaseLines.1"};
}  // namespace

CCoBaseLines::CCoBaseLines(IUnknown* outer) : CollectionWrapper(outer, IID_ICoBaseLines, kNames) {}

HRESULT CCoBaseLines::GetAll(SHORT DocRepoId) {
    return Member(L"GetAll", __LINE__, [&]() -> HRESULT {
        DRM::filterForBaseLine filter;
        filter.docRepoId = FromCom(DocRepoId);
        wrapped_->GetAll(filter);
        return S_OK;
    });
}

HRESULT CCoBaseLines::Count(LONG* num) { return CountMember(__LINE__, num); }

HRESULT CCoBaseLines::item(LONG i, ICoBaseLine** pibl) {
    return Member(L"item", __LINE__, [&]() -> HRESULT {
        if (!pibl) return E_POINTER;
        *pibl = nullptr;
        if (i < 0) return S_OK;
        return HandOut<CCoBaseLine>(wrapped_->Item(i), IID_ICoBaseLine, pibl);
    });
}

HRESULT CCoBaseLines::Clear() { return ClearMember(__LINE__); }

HRESULT CCoBaseLines::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

}  // namespace zub::vaultauto
