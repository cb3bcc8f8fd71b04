#include "docvault/fileserverlogin.h"

#include <memory>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"

FileServerLogin& FileServerLogin::Get() {
    static FileServerLogin login;
    return login;
}

FileServerLogin::FileServerLogin() : cmd_(NFS::CNFS_Cmd::Instance()) {}

void FileServerLogin::EnsureLogin(const std::wstring& server, long port,
                                  const std::wstring& token) {
    if (loggedIn_ && server == server_ && port == port_) return;

    ZUBDB::QVSvrInfo system(server, port, L"QVSystem", L"");
    std::unique_ptr<ZUBDB::CDBAccessor> accessor =
        ZUBDB::CDBAccessorCreator::instance().CreateAccessor(system, token);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!accessor || accessor->SelectRows(rs, L"QV_SysInfo", L"sysPwd", ZUBDB::QVParams(false),
                                          L"", L"", L"", 0, 0) != 0) {
        loggedIn_ = false;
        return;
    }
    if (!rs || rs->IsEOF()) return;

    const int rc = cmd_->logIn(server, static_cast<unsigned short>(port), L"", L"system",
                               rs->GetString(L"sysPwd"));
    server_ = server;
    port_ = port;
    // A refused login is tried again on the next use instead of being
    // remembered as done for this server.
    loggedIn_ = (rc == 0);
}

void FileServerLogin::Reset() {
    loggedIn_ = false;
    server_.clear();
    port_ = 0;
}
