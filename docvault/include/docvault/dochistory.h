// One saved version of a document: a row of QV_DMDocVer. Rows are written by
// Doc::SaveToHistory and never changed.
#pragma once

#include <string>

#include "docvault/bo.h"

namespace DRM {

class DocHistory : public BO {
public:
    DocHistory() = default;
    // Leaves the key empty.
    DocHistory(int id, int docId, int baseLineId, const std::wstring& hisDocName, int operatorId,
               const std::wstring& operatorName, double operatorTime,
               const std::wstring& operateInfo, int action, const std::wstring& phyUrl,
               int version_Main, int version_Sub, int reVersion);
    DocHistory(const DocHistory& other) = default;
    DocHistory& operator=(const DocHistory& other) = default;
    ~DocHistory() override = default;

    int id() const { return id_; }
    void set_id(int v) { id_ = v; }
    int docId() const { return docId_; }
    void set_docId(int v) { docId_ = v; }
    int baseLineId() const { return baseLineId_; }
    void set_baseLineId(int v) { baseLineId_ = v; }
    std::wstring hisDocName() const { return hisDocName_; }
    void set_hisDocName(const std::wstring& v) { hisDocName_ = v; }
    // The getter keeps its historical spelling.
    int operatprId() const { return operatorId_; }
    void set_operatorId(int v) { operatorId_ = v; }
    std::wstring operatorName() const { return operatorName_; }
    void set_operatorName(const std::wstring& v) { operatorName_ = v; }
    double operatorTime() const { return operatorTime_; }
    void set_operatorTime(double v) { operatorTime_ = v; }
    std::wstring operateInfo() const { return operateInfo_; }
    void set_operateInfo(const std::wstring& v) { operateInfo_ = v; }
    // 1 for a check-in.
    int action() const { return action_; }
    void set_action(int v) { action_ = v; }
    std::wstring phyUrl() const { return phyUrl_; }
    void set_phyurl(const std::wstring& v) { phyUrl_ = v; }
    int version_Main() const { return version_Main_; }
    void set_version_Main(int v) { version_Main_ = v; }
    int version_Sub() const { return version_Sub_; }
    void set_version_Sub(int v) { version_Sub_ = v; }
    int reVersion() const { return reVersion_; }
    void set_reVersion(int v) { reVersion_ = v; }

    // Loads the row whose DocVersionId is id; 49607 without one.
    int Read(int id);

private:
    int id_ = 0;
    int docId_ = 0;
    int baseLineId_ = 0;
    std::wstring hisDocName_;
    int operatorId_ = 0;
    std::wstring operatorName_;
    double operatorTime_ = 0.0;
    std::wstring operateInfo_;
    int action_ = -1;
    std::wstring phyUrl_;
    int version_Main_ = 0;
    int version_Sub_ = 0;
    int reVersion_ = 0;
};

}  // namespace DRM
