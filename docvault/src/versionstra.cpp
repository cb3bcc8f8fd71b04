#include "docvault/versionstra.h"

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "internal/operation.h"
#include "internal/rowparams.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/versionstra";
constexpr const wchar_t* kTable = L"QV_DMVerStrategy";

}  // namespace

VersionStra::VersionStra(int seriaNumStra, int begin_Main, int begin_Sub, int newDocBeginNum,
                         int docAdvScope, int createBSLNAdv, int versionStraId)
    : versionStraId_(versionStraId),
      seriaNumStra_(seriaNumStra),
      begin_Main_(begin_Main),
      begin_Sub_(begin_Sub),
      newDocBeginNum_(newDocBeginNum),
      docAdvScope_(docAdvScope),
      createBSLNAdv_(createBSLNAdv) {}

int VersionStra::Read(int id) {
    return OperationScope::Run(*this, kFile, L"DRM::VersionStra::Read", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"VersionStraId", id);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kTable, kNone, cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) return 0;
        versionStraId_ = id;
        seriaNumStra_ = static_cast<int>(rs->GetInt(L"SeriaNumStra", 0));
        begin_Main_ = static_cast<int>(rs->GetInt(L"Begin_Main", 0));
        begin_Sub_ = static_cast<int>(rs->GetInt(L"Begin_sub", 0));
        newDocBeginNum_ = static_cast<int>(rs->GetInt(L"NewDocBeginNum", 0));
        docAdvScope_ = static_cast<int>(rs->GetInt(L"DocAdvScope", 0));
        createBSLNAdv_ = static_cast<int>(rs->GetInt(L"CreateBSLNAdv", 0));
        return 0;
    });
}

namespace {

ZUBDB::QVParams StrategyValues(const VersionStra& v) {
    ZUBDB::QVParams values(false);
    AddInt(values, L"SeriaNumStra", v.seriaNumStra());
    AddInt(values, L"Begin_Main", v.begin_Main());
    AddInt(values, L"Begin_sub", v.begin_Sub());
    AddInt(values, L"NewDocBeginNum", v.newDocBeginNum());
    AddInt(values, L"DocAdvScope", v.docAdvScope());
    AddInt(values, L"CreateBSLNAdv", v.createBSLNAdv());
    return values;
}

}  // namespace

int VersionStra::Update() {
    return OperationScope::Run(*this, kFile, L"DRM::VersionStra::Update", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"VersionStraId", versionStraId_);
        if (Accessor()->UpdateRows(kTable, StrategyValues(*this), cond, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int VersionStra::Insert() {
    return OperationScope::Run(*this, kFile, L"DRM::VersionStra::Insert", [&] {
        if (Accessor()->InsertRow(kTable, StrategyValues(*this), kNone, kNone) != 0)
            return RecordDbError();
        const long long id = Accessor()->LastInsertId();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        versionStraId_ = static_cast<int>(id);
        return 0;
    });
}

int VersionStra::Save() {
    return OperationScope::Run(*this, kFile, L"DRM::VersionStra::Save", [&] {
        // No condition: every row takes the values.
        ZUBDB::QVParams none(false);
        if (Accessor()->UpdateRows(kTable, StrategyValues(*this), none, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

}  // namespace DRM
