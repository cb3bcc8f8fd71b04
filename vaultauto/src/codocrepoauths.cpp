#include "codocrepoauths.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocRepoAuths", L"codocrepoauths", L"VaultAuto.CoDocRepoAuths.1"};
}  // namespace

CCoDocRepoAuths::CCoDocRepoAuths(IUnknown* outer)
    : CollectionWrapper(outer, IID_ICoDocRepoAuths, kNames) {}

HRESULT CCoDocRepoAuths::Select() {
    return Member(L"Select", __LINE__,
                  [&]() -> HRESULT { return Reporting(*wrapped_, [&] { wrapped_->Select(); }); });
}

HRESULT CCoDocRepoAuths::save() {
    return Member(L"save", __LINE__, [&]() -> HRESULT {
        return Reporting(*wrapped_, [&] { hold_->Shielded([&] { return wrapped_->Save(); }); });
    });
}

HRESULT CCoDocRepoAuths::Delete() {
    return Member(L"Delete", __LINE__, [&]() -> HRESULT {
        return Reporting(*wrapped_, [&] { hold_->Shielded([&] { return wrapped_->Delete(); }); });
    });
}

HRESULT CCoDocRepoAuths::initDocRepoAuths(SHORT DocRepoId) {
    return Member(L"initDocRepoAuths", __LINE__, [&]() -> HRESULT {
        DRM::filterForDocRepoAuth filter;
        filter.docRepoId = FromCom(DocRepoId);
        wrapped_->set_fdra(filter);
        return S_OK;
    });
}

HRESULT CCoDocRepoAuths::Count(SHORT* num) { return CountMember(__LINE__, num); }

HRESULT CCoDocRepoAuths::item(LONG i, ICoDocRepoAuth** cra) {
    return Member(L"item", __LINE__, [&]() -> HRESULT {
        if (!cra) return E_POINTER;
        *cra = nullptr;
        if (i < 0) return S_OK;
        return HandOut<CCoDocRepoAuth>(wrapped_->Item(i), IID_ICoDocRepoAuth, cra);
    });
}

HRESULT CCoDocRepoAuths::Add(ICoDocRepoAuth* Icdra) {
    return AddMember<CCoDocRepoAuth>(__LINE__, IID_ICoDocRepoAuth, Icdra);
}

HRESULT CCoDocRepoAuths::Clear() { return ClearMember(__LINE__); }

HRESULT CCoDocRepoAuths::SelectForUser(LONG UserId) {
    return Member(L"SelectForUser", __LINE__, [&]() -> HRESULT {
        wrapped_->Select(FromCom(UserId));
        return S_OK;
    });
}

HRESULT CCoDocRepoAuths::ItemByKey(BSTR Key, ICoDocRepoAuth** cra) {
    return Member(L"ItemByKey", __LINE__, [&]() -> HRESULT {
        if (!cra) return E_POINTER;
        *cra = nullptr;
        if (!Key) return S_OK;
        return HandOut<CCoDocRepoAuth>(wrapped_->Item(FromCom(Key)), IID_ICoDocRepoAuth, cra);
    });
}

HRESULT CCoDocRepoAuths::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

}  // namespace zub::vaultauto
