// CoDocRepoAuths: the automation wrapper of DRM::DocRepoAuths.
#pragma once

#include "codocrepoauth.h"
#include "docvault/docrepoauths.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocRepoAuths final
    : public CollectionWrapper<ICoDocRepoAuths, DRM::DocRepoAuths, DRM::DocRepoAuth> {
public:
    explicit CCoDocRepoAuths(IUnknown* outer);
    ~CCoDocRepoAuths() override = default;

    HRESULT Select() override;
    HRESULT save() override;
    HRESULT Delete() override;
    HRESULT initDocRepoAuths(SHORT DocRepoId) override;
    HRESULT Count(SHORT* num) override;
    HRESULT item(LONG i, ICoDocRepoAuth** cra) override;
    HRESULT Add(ICoDocRepoAuth* Icdra) override;
    HRESULT Clear() override;
    HRESULT SelectForUser(LONG UserId) override;
    HRESULT ItemByKey(BSTR Key, ICoDocRepoAuth** cra) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
