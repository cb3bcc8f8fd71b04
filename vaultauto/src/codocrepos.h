// CoDocRepos: the automation wrapper of DRM::DocRepos.
#pragma once

#include "codocrepo.h"
#include "docvault/docrepos.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocRepos final : public CollectionWrapper<ICoDocRepos, DRM::DocRepos, DRM::DocRepo> {
public:
    explicit CCoDocRepos(IUnknown* outer);
    ~CCoDocRepos() override = default;

    HRESULT initDocRepos(LONG* ret) override;
    HRESULT Count(LONG* num) override;
    HRESULT item(LONG i, ICoDocRepo** Codr) override;
    HRESULT Add(ICoDocRepo* icdr) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
    HRESULT GetDocRepoForUser(LONG UserId, LONG* ret) override;
    HRESULT RemoveAt(LONG i) override;
    HRESULT RemoveByKey(BSTR Key) override;
};

}  // namespace zub::vaultauto
