#include "recording_nfs.h"

#include <memory>

#include "internal/fileserverlogin.h"
#include "recording_nfs_backend.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/nfsbackend.h"

namespace zub::docvault::test {
namespace {

bool Matches(const std::wstring& line, const std::wstring& op) {
    if (line.compare(0, op.size(), op) != 0) return false;
    if (op.find(L' ') != std::wstring::npos) return true;
    return line.size() == op.size() || line[op.size()] == L' ';
}

}  // namespace

RecordingNfs& RecordingNfs::Get() {
    static RecordingNfs nfs;
    return nfs;
}

RecordingNfs& RecordingNfs::Install() {
    RecordingNfs& nfs = Get();
    nfs.Reset();
    NFS::CNFS_Cmd::Instance()->RegisterBackend(
        L"recfs",
        [](const std::wstring& server, unsigned short port) -> std::unique_ptr<NFS::NfsBackend> {
            RecordingNfs& target = Get();
            target.servers.push_back(server + L" " + std::to_wstring(port));
            return std::make_unique<RecordingNfsBackend>(target, server);
        });
    FileServerLogin::Get().Reset();
    return nfs;
}

void RecordingNfs::Reset() {
    calls.clear();
    servers.clear();
    failures_.clear();
    logins.clear();
    requireLogin = false;
    password.clear();
    loggedIn.clear();
    files.clear();
}

void RecordingNfs::FailOn(const std::wstring& op, int nth, long number, const std::wstring& text) {
    failures_.push_back(Failure{op, nth, number, text, 0});
}

void RecordingNfs::Record(const std::wstring& server, const std::wstring& line) {
    if (requireLogin && loggedIn.count(server) == 0) {
        calls.push_back(line);
        throw NFS::NfsError(50006, L"not logged in");
    }
    Record(line);
}

void RecordingNfs::Record(const std::wstring& line) {
    calls.push_back(line);
    const Failure* hit = nullptr;
    for (auto& f : failures_) {
        if (!Matches(line, f.op)) continue;
        if (++f.seen == f.nth && !hit) hit = &f;
    }
    if (hit) throw NFS::NfsError(hit->number, hit->text);
}

}  // namespace zub::docvault::test
