#include "recording_nfs_backend.h"

#include "recording_nfs.h"
#include "vaultfs/nfserrors.h"

#include <vector>

namespace zub::docvault::test {

void RecordingNfsBackend::logIn(const std::wstring& user, const std::wstring& password) {
    nfs_.logins.push_back(server_);
    nfs_.Record(L"logIn " + user + L" " + password);
    if (!nfs_.requireLogin) return;
    if (password == nfs_.password) {
        nfs_.loggedIn.insert(server_);
        return;
    }
    nfs_.loggedIn.erase(server_);
    throw NFS::NfsError(NFS::NFS_E_INVALID, L"login refused");
}

void RecordingNfsBackend::mk(const std::wstring& dir) { nfs_.Record(server_, L"mk " + dir); }

void RecordingNfsBackend::rm(const std::wstring& dir) {
    nfs_.Record(server_, L"rm " + dir);
    for (auto it = nfs_.files.begin(); it != nfs_.files.end();)
        it = it->rfind(dir + L"\\", 0) == 0 ? nfs_.files.erase(it) : std::next(it);
}

void RecordingNfsBackend::delFile(const std::wstring& file) {
    nfs_.Record(server_, L"delFile " + file);
    nfs_.files.erase(file);
}

std::uint64_t RecordingNfsBackend::upload(const std::wstring& localFile,
                                          const std::wstring& remoteFile, const Progress&) {
    nfs_.Record(server_, L"upload " + localFile + L" " + remoteFile);
    nfs_.files.insert(remoteFile);
    return 0;
}

std::uint64_t RecordingNfsBackend::download(const std::wstring& remoteFile,
                                            const std::wstring& localDir,
                                            const std::wstring& localName, const Progress&) {
    nfs_.Record(server_, L"download " + remoteFile + L" " + localDir + L" " + localName);
    return 0;
}

std::uint64_t RecordingNfsBackend::downLoadFolder(const std::wstring& remoteDir,
                                                  const std::wstring& localDir, const Progress&) {
    nfs_.Record(server_, L"downLoadFolder " + remoteDir + L" " + localDir);
    return 0;
}

void RecordingNfsBackend::copy(const std::wstring& source, const std::wstring& target) {
    nfs_.Record(server_, L"copy " + source + L" " + target);
    nfs_.files.insert(target);
}

void RecordingNfsBackend::copyFolder(const std::wstring& source, const std::wstring& target) {
    nfs_.Record(server_, L"copyFolder " + source + L" " + target);
    // The known files below source appear below target (as a new folder).
    std::vector<std::wstring> copied;
    for (const auto& file : nfs_.files) {
        if (file.rfind(source + L"\\", 0) == 0)
            copied.push_back(target + file.substr(source.size()));
    }
    nfs_.files.insert(copied.begin(), copied.end());
}

void RecordingNfsBackend::copyFolder(const std::wstring& source, const std::wstring& target,
                                     const Progress&, std::vector<NFS::NfsFileSum>& sums) {
    copyFolder(source, target);
    for (const auto& file : nfs_.files)
        if (file.rfind(source + L"\\", 0) == 0)
            sums.push_back({file.substr(source.size() + 1), L"", 0});
}

std::uint64_t RecordingNfsBackend::downLoadFolder(const std::wstring& remoteDir,
                                                  const std::wstring& localDir,
                                                  const Progress& progress,
                                                  const std::vector<NFS::NfsFileSum>&) {
    return downLoadFolder(remoteDir, localDir, progress);
}

std::unique_ptr<NFS::NfsHold> RecordingNfsBackend::hold(const std::wstring& path) {
    nfs_.Record(server_, L"hold " + path);
    if (nfs_.held.count(path) != 0) return nullptr;
    return std::make_unique<NFS::NfsHold>();
}

void RecordingNfsBackend::renameFile(const std::wstring& oldPath, const std::wstring& newPath) {
    nfs_.Record(server_, L"renameFile " + oldPath + L" " + newPath);
    if (oldPath == newPath) {
        if (nfs_.files.count(oldPath) != 0)
            throw NFS::NfsError(NFS::NFS_E_EXISTS, L"the target exists");
        throw NFS::NfsError(NFS::NFS_E_NOT_FOUND, L"no such file");
    }
    if (nfs_.files.erase(oldPath) != 0) nfs_.files.insert(newPath);
}

void RecordingNfsBackend::renameFolder(const std::wstring& oldPath, const std::wstring& newPath) {
    nfs_.Record(server_, L"renameFolder " + oldPath + L" " + newPath);
}

}  // namespace zub::docvault::test
