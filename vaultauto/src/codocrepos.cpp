#include "codocrepos.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocRepos", L"codocrepos", L"VaultAuto.CoDocRepos.1"};
}  // namespace

CCoDocRepos::CCoDocRepos(IUnknown* outer) : CollectionWrapper(outer, IID_ICoDocRepos, kNames) {}

HRESULT CCoDocRepos::initDocRepos(LONG* ret) {
    return Member(L"initDocRepos", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        return Reporting(*wrapped_, [&] { *ret = ToLong(wrapped_->GetAll()); });
    });
}

HRESULT CCoDocRepos::Count(LONG* num) { return CountMember(__LINE__, num); }

HRESULT CCoDocRepos::item(LONG i, ICoDocRepo** Codr) {
    return Member(L"item", __LINE__, [&]() -> HRESULT {
        if (!Codr) return E_POINTER;
        *Codr = nullptr;
        if (i < 0) return S_OK;
        return HandOut<CCoDocRepo>(wrapped_->Item(i), IID_ICoDocRepo, Codr);
    });
}

HRESULT CCoDocRepos::Add(ICoDocRepo* icdr) {
    return AddMember<CCoDocRepo>(__LINE__, IID_ICoDocRepo, icdr);
}

HRESULT CCoDocRepos::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

HRESULT CCoDocRepos::GetDocRepoForUser(LONG UserId, LONG* ret) {
    return Member(L"GetDocRepoForUser", __LINE__, [&]() -> HRESULT {
        if (!ret) return E_POINTER;
        *ret = ToLong(wrapped_->GetAll(FromCom(UserId)));
        return S_OK;
    });
}

HRESULT CCoDocRepos::RemoveAt(LONG i) {
    return Member(L"RemoveAt", __LINE__, [&]() -> HRESULT {
        RemoveElement(static_cast<long>(i));
        return S_OK;
    });
}

HRESULT CCoDocRepos::RemoveByKey(BSTR Key) {
    return Member(L"RemoveByKey", __LINE__, [&]() -> HRESULT {
        if (!Key) return S_OK;
        RemoveElement(FromCom(Key));
        return S_OK;
    });
}

}  // namespace zub::vaultauto
