#include "recording_nfs_backend.h"

#include "recording_nfs.h"

namespace testsupport {

void RecordingNfsBackend::logIn(const std::wstring& user, const std::wstring& password) {
    nfs_.Record(L"logIn " + user + L" " + password);
}

void RecordingNfsBackend::mk(const std::wstring& dir) { nfs_.Record(L"mk " + dir); }

void RecordingNfsBackend::rm(const std::wstring& dir) { nfs_.Record(L"rm " + dir); }

void RecordingNfsBackend::delFile(const std::wstring& file) { nfs_.Record(L"delFile " + file); }

std::uint64_t RecordingNfsBackend::upload(const std::wstring& localFile,
                                          const std::wstring& remoteFile, const Progress&) {
    nfs_.Record(L"upload " + localFile + L" " + remoteFile);
    return 0;
}

std::uint64_t RecordingNfsBackend::download(const std::wstring& remoteFile,
                                            const std::wstring& localDir,
                                            const std::wstring& localName, const Progress&) {
    nfs_.Record(L"download " + remoteFile + L" " + localDir + L" " + localName);
    return 0;
}

std::uint64_t RecordingNfsBackend::downLoadFolder(const std::wstring& remoteDir,
                                                  const std::wstring& localDir, const Progress&) {
    nfs_.Record(L"downLoadFolder " + remoteDir + L" " + localDir);
    return 0;
}

void RecordingNfsBackend::copy(const std::wstring& source, const std::wstring& target) {
    nfs_.Record(L"copy " + source + L" " + target);
}

void RecordingNfsBackend::copyFolder(const std::wstring& source, const std::wstring& target) {
    nfs_.Record(L"copyFolder " + source + L" " + target);
}

void RecordingNfsBackend::renameFile(const std::wstring& oldPath, const std::wstring& newPath) {
    nfs_.Record(L"renameFile " + oldPath + L" " + newPath);
}

void RecordingNfsBackend::renameFolder(const std::wstring& oldPath, const std::wstring& newPath) {
    nfs_.Record(L"renameFolder " + oldPath + L" " + newPath);
}

}  // namespace testsupport
