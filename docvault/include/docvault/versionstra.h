// The version strategy: how document versions are numbered (one row of
// QV_DMVerStrategy).
#pragma once

#include "docvault/bo.h"

namespace DRM {

class VersionStra : public BO {
public:
    VersionStra() = default;
    VersionStra(int seriaNumStra, int begin_Main, int begin_Sub, int newDocBeginNum,
                int docAdvScope, int createBSLNAdv, int versionStraId);
    VersionStra(const VersionStra& other) = default;
    VersionStra& operator=(const VersionStra& other) = default;
    ~VersionStra() override = default;

    int versionStraId() const { return versionStraId_; }
    void set_versionStraId(int v) { versionStraId_ = v; }
    // 1: whole numbers; 2: main and sub number.
    int seriaNumStra() const { return seriaNumStra_; }
    void set_seriaNumStra(int v) { seriaNumStra_ = v; }
    int begin_Main() const { return begin_Main_; }
    void set_begin_Main(int v) { begin_Main_ = v; }
    int begin_Sub() const { return begin_Sub_; }
    void set_begin_Sub(int v) { begin_Sub_ = v; }
    // 0: a new document starts afresh; otherwise it continues from the
    // repository's highest version.
    int newDocBeginNum() const { return newDocBeginNum_; }
    void set_newDocBeginNum(int v) { newDocBeginNum_ = v; }
    int docAdvScope() const { return docAdvScope_; }
    void set_docAdvScope(int v) { docAdvScope_ = v; }
    int createBSLNAdv() const { return createBSLNAdv_; }
    void set_createBSLNAdv(int v) { createBSLNAdv_ = v; }

    // Loads the row with that id; no such row leaves the members as they are
    // and is not an error.
    int Read(int id);
    // Stores the six values into the row with this object's id.
    int Update();
    // Stores the six values as a new strategy and takes its id.
    int Insert();
    // Stores the six values into every row.
    int Save();

private:
    int versionStraId_ = 1;
    int seriaNumStra_ = 0;
    int begin_Main_ = 0;
    int begin_Sub_ = 0;
    int newDocBeginNum_ = 0;
    int docAdvScope_ = 0;
    int createBSLNAdv_ = 0;
};

}  // namespace DRM
