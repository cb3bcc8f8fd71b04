#include "internal/fileserverlogin.h"

#include <memory>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "internal/rootownership.h"

FileServerLogin& FileServerLogin::Get() {
    static FileServerLogin login;
    return login;
}

FileServerLogin::FileServerLogin() : cmd_(NFS::CNFS_Cmd::Instance()) {}

void FileServerLogin::EnsureLogin(const std::wstring& server, long port,
                                  const std::wstring& token) {
    EnsureLogin(server, port, token, server, port);
}

void FileServerLogin::EnsureLogin(const std::wstring& server, long port, const std::wstring& token,
                                  const std::wstring& fileServer, long filePort) {
    const std::lock_guard lock(mutex_);
    if (loggedIn_ && fileServer == server_ && filePort == port_) return;

    ZUBDB::QVSvrInfo system(server, port, L"QVSystem", L"");
    std::unique_ptr<ZUBDB::CDBAccessor> accessor =
        ZUBDB::CDBAccessorCreator::instance().CreateAccessor(system, token);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!accessor || accessor->SelectRows(rs, L"QV_SysInfo", L"sysPwd", ZUBDB::QVParams(false), L"",
                                          L"", L"", 0, 0) != 0) {
        loggedIn_ = false;
        return;
    }
    if (!rs || rs->IsEOF()) return;

    // The login's own result is not kept: a refused login shows as the
    // failure of the operation that follows.
    cmd_->logIn(fileServer, static_cast<unsigned short>(filePort), L"", L"system",
                rs->GetString(L"sysPwd"));
    server_ = fileServer;
    port_ = filePort;
    loggedIn_ = true;
}

bool FileServerLogin::LoggedIn() const {
    const std::lock_guard lock(mutex_);
    return loggedIn_;
}

void FileServerLogin::Reset() {
    DRM::RootOwnership::Forget();
    const std::lock_guard lock(mutex_);
    loggedIn_ = false;
    server_.clear();
    port_ = 0;
}
