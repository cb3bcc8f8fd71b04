// A server description plus the connection's token and whether it may be used.
#pragma once

#include <string>

#include "dbcore/qvsvrinfo.h"

namespace ZUBDB {

enum ZUBEnum_APPNO { ZUB_APPNO_NONE = 0, ZUB_APPNO_DOCVAULT = 1 };

class CDBConnState : public QVSvrInfo {
public:
    CDBConnState() = default;
    // The arguments after the database are the caller's constants; only
    // server, port, database, token and the usable flag mean anything here.
    CDBConnState(std::wstring server, long port, std::wstring database, std::wstring text1, int n1,
                 std::wstring text2, bool flag1, ZUBEnum_APPNO appNo, std::wstring text3,
                 bool flag2, int n2, std::wstring text4);

    const std::wstring& token() const { return token_; }
    void set_token(std::wstring t) { token_ = std::move(t); }
    bool usable() const { return usable_; }
    void set_usable(bool u) { usable_ = u; }
    ZUBEnum_APPNO appNo() const { return appNo_; }

private:
    std::wstring text1_;
    int n1_ = 0;
    std::wstring text2_;
    bool flag1_ = false;
    ZUBEnum_APPNO appNo_ = ZUB_APPNO_NONE;
    std::wstring text3_;
    bool flag2_ = false;
    int n2_ = 0;
    std::wstring text4_;
    std::wstring token_;
    bool usable_ = false;
};

}  // namespace ZUBDB
