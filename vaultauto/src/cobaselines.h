// CoBaseLines: the automation wrapper of DRM::BaseLines.
#pragma once

#include "cobaseline.h"
#include "docvault/baselines.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoBaseLines final : public CollectionWrapper<ICoBaseLines, DRM::BaseLines, DRM::BaseLine> {
public:
    explicit CCoBaseLines(IUnknown* outer);
    ~CCoBaseLines() override = default;

    HRESULT GetAll(SHORT DocRepoId) override;
    HRESULT Count(LONG* num) override;
    HRESULT item(LONG i, ICoBaseLine** pibl) override;
    HRESULT Clear() override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
