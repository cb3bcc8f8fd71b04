#include "codochistory.h"

namespace zub::vaultauto {

namespace {
const ClassNames kNames{L"CCoDocHistory", L"codochistory", L"VaultAuto.CoDocHistory.1"};
}  // namespace

CCoDocHistory::CCoDocHistory(IUnknown* outer) : SingleWrapper(outer, IID_ICoDocHistory, kNames) {}

HRESULT CCoDocHistory::get_Id(LONG* pVal) {
    return Get(L"get_Id", __LINE__, pVal, [](const DRM::DocHistory& o) { return o.id(); });
}

HRESULT CCoDocHistory::put_Id(LONG newVal) {
    return Put(L"put_Id", __LINE__, newVal, [](auto& o, auto v) { o.set_id(v); });
}

HRESULT CCoDocHistory::get_DocId(LONG* pVal) {
    return Get(L"get_DocId", __LINE__, pVal, [](const DRM::DocHistory& o) { return o.docId(); });
}

HRESULT CCoDocHistory::put_DocId(LONG newVal) {
    return Put(L"put_DocId", __LINE__, newVal, [](auto& o, auto v) { o.set_docId(v); });
}

HRESULT CCoDocHistory::get_BaseLineId(LONG* pVal) {
    return Get(L"get_BaseLineId", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.baseLineId(); });
}

HRESULT CCoDocHistory::put_BaseLineId(LONG newVal) {
    return Put(L"put_BaseLineId", __LINE__, newVal, [](auto& o, auto v) { o.set_baseLineId(v); });
}

HRESULT CCoDocHistory::get_HisDocName(BSTR* pVal) {
    return Get(L"get_HisDocName", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.hisDocName(); });
}

HRESULT CCoDocHistory::put_HisDocName(BSTR newVal) {
    return Put(L"put_HisDocName", __LINE__, newVal, [](auto& o, auto v) { o.set_hisDocName(v); });
}

HRESULT CCoDocHistory::get_OperatorId(LONG* pVal) {
    return Get(L"get_OperatorId", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.operatprId(); });
}

HRESULT CCoDocHistory::put_OperatorId(LONG newVal) {
    return Put(L"put_OperatorId", __LINE__, newVal, [](auto& o, auto v) { o.set_operatorId(v); });
}

HRESULT CCoDocHistory::get_m_OperatorName(BSTR* pVal) {
    return Get(L"get_m_OperatorName", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.operatorName(); });
}

HRESULT CCoDocHistory::put_m_OperatorName(BSTR newVal) {
    return Put(L"put_m_OperatorName", __LINE__, newVal,
               [](auto& o, auto v) { o.set_operatorName(v); });
}

HRESULT CCoDocHistory::get_OperateInfo(BSTR* pVal) {
    return Get(L"get_OperateInfo", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.operateInfo(); });
}

HRESULT CCoDocHistory::put_OperateInfo(BSTR newVal) {
    return Put(L"put_OperateInfo", __LINE__, newVal, [](auto& o, auto v) { o.set_operateInfo(v); });
}

HRESULT CCoDocHistory::get_Action(LONG* pVal) {
    return Get(L"get_Action", __LINE__, pVal, [](const DRM::DocHistory& o) { return o.action(); });
}

HRESULT CCoDocHistory::put_Action(LONG newVal) {
    return Put(L"put_Action", __LINE__, newVal, [](auto& o, auto v) { o.set_action(v); });
}

HRESULT CCoDocHistory::get_PhyUrl(BSTR* pVal) {
    return Get(L"get_PhyUrl", __LINE__, pVal, [](const DRM::DocHistory& o) { return o.phyUrl(); });
}

HRESULT CCoDocHistory::put_PhyUrl(BSTR newVal) {
    return Put(L"put_PhyUrl", __LINE__, newVal, [](auto& o, auto v) { o.set_phyurl(v); });
}

HRESULT CCoDocHistory::get_Version_Main(LONG* pVal) {
    return Get(L"get_Version_Main", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.version_Main(); });
}

HRESULT CCoDocHistory::put_Version_Main(LONG newVal) {
    return Put(L"put_Version_Main", __LINE__, newVal,
               [](auto& o, auto v) { o.set_version_Main(v); });
}

HRESULT CCoDocHistory::get_Version_Sub(LONG* pVal) {
    return Get(L"get_Version_Sub", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.version_Sub(); });
}

HRESULT CCoDocHistory::put_Version_Sub(LONG newVal) {
    return Put(L"put_Version_Sub", __LINE__, newVal, [](auto& o, auto v) { o.set_version_Sub(v); });
}

HRESULT CCoDocHistory::get_ReVersion(LONG* pVal) {
    return Get(L"get_ReVersion", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.reVersion(); });
}

HRESULT CCoDocHistory::put_ReVersion(LONG newVal) {
    return Put(L"put_ReVersion", __LINE__, newVal, [](auto& o, auto v) { o.set_reVersion(v); });
}

HRESULT CCoDocHistory::get_OperatorTime(DATE* pVal) {
    return Get(L"get_OperatorTime", __LINE__, pVal,
               [](const DRM::DocHistory& o) { return o.operatorTime(); });
}

HRESULT CCoDocHistory::put_OperatorTime(DATE newVal) {
    return Put(L"put_OperatorTime", __LINE__, newVal,
               [](auto& o, auto v) { o.set_operatorTime(v); });
}

HRESULT CCoDocHistory::connect(BSTR qvServer, LONG Port, BSTR db, BSTR token, LONG* ret) {
    return Connect(__LINE__, qvServer, Port, db, token, ret);
}

}  // namespace zub::vaultauto
