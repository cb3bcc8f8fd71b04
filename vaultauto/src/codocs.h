// CoDocs: the automation wrapper of DRM::Docs.
#pragma once

#include "codoc.h"
#include "docvault/docs.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocs final : public CollectionWrapper<ICoDocs, DRM::Docs, DRM::Doc> {
public:
    explicit CCoDocs(IUnknown* outer);
    ~CCoDocs() override = default;

    HRESULT GetAll(SHORT DocRepoId, SHORT BaseLineId, LONG* ret) override;
    HRESULT Count(LONG* num) override;
    HRESULT item(LONG i, ICoDoc** icd) override;
    HRESULT Clear() override;
    HRESULT ItemByKey(BSTR Key, ICoDoc** cod) override;
    HRESULT RemoveByKey(BSTR Key) override;
    HRESULT Add(ICoDoc* icd) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
