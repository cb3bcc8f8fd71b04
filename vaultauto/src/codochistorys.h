// CoDocHistorys: the automation wrapper of DRM::DocHistorys.
#pragma once

#include "codochistory.h"
#include "docvault/dochistorys.h"
#include "vaultauto/vaultauto.h"
#include "wrapper.h"

namespace zub::vaultauto {

class CCoDocHistorys final
    : public CollectionWrapper<ICoDocHistorys, DRM::DocHistorys, DRM::DocHistory> {
public:
    explicit CCoDocHistorys(IUnknown* outer);
    ~CCoDocHistorys() override = default;

    HRESULT GetAll(LONG DocId, LONG BaseLineId) override;
    HRESULT item(LONG num, ICoDocHistory** icdh) override;
    HRESULT Count(LONG* num) override;
    HRESULT connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) override;
};

}  // namespace zub::vaultauto
