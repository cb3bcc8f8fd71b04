// The backend the "recfs" scheme hands out: turns every call into a line of RecordingNfs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "vaultfs/nfsbackend.h"

namespace zub::docvault::test {

class RecordingNfs;

class RecordingNfsBackend : public NFS::NfsBackend {
public:
    RecordingNfsBackend(RecordingNfs& nfs, std::wstring server)
        : nfs_(nfs), server_(std::move(server)) {}

    void logIn(const std::wstring& user, const std::wstring& password) override;
    void mk(const std::wstring& dir) override;
    void rm(const std::wstring& dir) override;
    void delFile(const std::wstring& file) override;
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress) override;
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress) override;
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress) override;
    void copy(const std::wstring& source, const std::wstring& target) override;
    void copyFolder(const std::wstring& source, const std::wstring& target) override;
    // Recorded like the plain calls; every copied file gets an empty sum.
    void copyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress, std::vector<NFS::NfsFileSum>& sums) override;
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress,
                                 const std::vector<NFS::NfsFileSum>& expect) override;
    std::unique_ptr<NFS::NfsHold> hold(const std::wstring& path) override;
    void renameFile(const std::wstring& oldPath, const std::wstring& newPath) override;
    void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) override;

private:
    RecordingNfs& nfs_;
    std::wstring server_;
};

}  // namespace zub::docvault::test
