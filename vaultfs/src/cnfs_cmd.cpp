#include "vaultfs/cnfs_cmd.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "fsutil.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/webdavbackend.h"
#include "zub/i18n.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

namespace NFS {

namespace {

struct LastError {
    bool set = false;
    long number = 0;
    std::wstring text;
};

thread_local LastError t_lastError;

std::wstring Lower(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::unique_ptr<NfsBackend> MakeLocal(const std::wstring& server, unsigned short /*port*/) {
    const std::wstring dir = server.substr(server.find(L':') + 1);
    if (dir.empty())
        throw NfsError(NFS_E_UNKNOWN_SERVER,
                       zub::Format(ZUB_N_(L"the server \"%ls\" names no folder"), server.c_str()));
    return std::make_unique<LocalBackend>(fsutil::ToPath(dir));
}

std::unique_ptr<NfsBackend> MakeWebDav(const std::wstring& server, unsigned short port) {
    return std::make_unique<WebDavBackend>(server, port);
}

}  // namespace

struct CNFS_Cmd::Impl {
    std::mutex mutex;
    std::map<std::wstring, Factory> factories;  // by lower-case scheme
    std::map<std::pair<std::wstring, unsigned short>, std::shared_ptr<NfsBackend>> backends;
    OperationProgress progress;

    std::shared_ptr<NfsBackend> Backend(const std::wstring& server, unsigned short port) {
        std::lock_guard lock(mutex);
        const auto key = std::make_pair(server, port);
        if (auto found = backends.find(key); found != backends.end()) return found->second;
        const std::size_t colon = server.find(L':');
        const auto factory = colon == std::wstring::npos || colon == 0
                                 ? factories.end()
                                 : factories.find(Lower(server.substr(0, colon)));
        if (factory == factories.end())
            throw NfsError(NFS_E_UNKNOWN_SERVER,
                           zub::Format(ZUB_N_(L"no backend serves the server \"%ls\" port %ls"),
                                       server.c_str(), std::to_wstring(port).c_str()));
        std::shared_ptr<NfsBackend> backend = factory->second(server, port);
        if (!backend)
            throw NfsError(NFS_E_UNKNOWN_SERVER,
                           zub::Format(ZUB_N_(L"no backend serves the server \"%ls\" port %ls"),
                                       server.c_str(), std::to_wstring(port).c_str()));
        backends.emplace(key, backend);
        return backend;
    }

    void Forget(const std::wstring& scheme) {
        for (auto it = backends.begin(); it != backends.end();) {
            const std::wstring& server = it->first.first;
            const std::size_t colon = server.find(L':');
            if (colon != std::wstring::npos && Lower(server.substr(0, colon)) == scheme)
                it = backends.erase(it);
            else
                ++it;
        }
    }

    // The callback as it is when the operation starts, bound to its name.
    NfsBackend::Progress CurrentProgress(const wchar_t* operation) {
        OperationProgress current;
        {
            std::lock_guard lock(mutex);
            current = progress;
        }
        if (!current) return {};
        return [current = std::move(current), operation](std::uint64_t done, std::uint64_t total) {
            current(operation, done, total);
        };
    }
};

namespace {

// Keeps the failure for the calling thread. Describing it may itself run out
// of memory; the number is kept all the same.
template <class Detail>
void Record(long number, const wchar_t* operation, Detail detail) noexcept {
    t_lastError.set = true;
    // A backend that throws number 0 must not turn a failure into success.
    t_lastError.number = number != 0 ? number : NFS_E_INTERNAL;
    try {
        t_lastError.text = zub::Format(ZUB_N_(L"%ls: %ls"), operation, detail().c_str());
    } catch (...) {
        t_lastError.text.clear();
    }
}

// Runs one operation and turns whatever it throws into the status convention.
template <class Fn>
int Run(const wchar_t* operation, const std::wstring& path, Fn fn) noexcept {
    try {
        fn();
        return 0;
    } catch (const NfsError& e) {
        Record(e.number(), operation, [&] { return e.text(); });
    } catch (const std::bad_alloc&) {
        Record(NFS_E_NO_MEMORY, operation,
               [&] { return zub::Format(ZUB_N_(L"out of memory at \"%ls\""), path.c_str()); });
    } catch (const std::system_error& e) {
        Record(fsutil::NumberFor(e.code()), operation, [&] {
            return zub::Format(ZUB_N_(L"\"%ls\": %ls"), path.c_str(),
                               zub::Utf8ToWide(e.what()).c_str());
        });
    } catch (const ZUBBASE::QV_Exception& e) {
        Record(NFS_E_INTERNAL, operation, [&] {
            return zub::Format(ZUB_N_(L"\"%ls\": %ls"), path.c_str(), e.Message().c_str());
        });
    } catch (const std::exception& e) {
        Record(NFS_E_INTERNAL, operation, [&] {
            return zub::Format(ZUB_N_(L"\"%ls\": %ls"), path.c_str(),
                               zub::Utf8ToWide(e.what()).c_str());
        });
    } catch (...) {
        Record(NFS_E_INTERNAL, operation,
               [&] { return zub::Format(ZUB_N_(L"\"%ls\": unknown failure"), path.c_str()); });
    }
    return static_cast<int>(t_lastError.number);
}

// A summed transfer: the sum is empty unless the transfer succeeded.
template <class Fn>
int RunSummed(const wchar_t* operation, const std::wstring& path, ContentSum& sum, Fn fn) noexcept {
    sum.sha256.clear();
    const int rc = Run(operation, path, fn);
    if (rc != 0) sum.sha256.clear();
    return rc;
}

}  // namespace

CNFS_Cmd::CNFS_Cmd() : impl_(std::make_shared<Impl>()) {
    impl_->factories.emplace(L"file", &MakeLocal);
    impl_->factories.emplace(L"http", &MakeWebDav);
    impl_->factories.emplace(L"https", &MakeWebDav);
}

CNFS_Cmd* CNFS_Cmd::Instance() {
    static CNFS_Cmd instance;
    return &instance;
}

int CNFS_Cmd::logIn(const std::wstring& server, unsigned short port, const std::wstring& /*empty*/,
                    const std::wstring& user, const std::wstring& password) {
    // Nothing is reported here: the backend remembers a refusal and fails the
    // next operation with it, which is where callers look.
    try {
        impl_->Backend(server, port)->logIn(user, password);
    } catch (...) {}
    return 0;
}

int CNFS_Cmd::mk(const std::wstring& server, unsigned short port, const std::wstring& dir,
                 bool /*flag*/) {
    return Run(L"mk", dir, [&] { impl_->Backend(server, port)->mk(dir); });
}

int CNFS_Cmd::rm(const std::wstring& server, unsigned short port, const std::wstring& dir) {
    return Run(L"rm", dir, [&] { impl_->Backend(server, port)->rm(dir); });
}

int CNFS_Cmd::mkWork(const std::wstring& server, unsigned short port, const std::wstring& dir) {
    return Run(L"mk", dir, [&] { impl_->Backend(server, port)->mkWork(dir); });
}

int CNFS_Cmd::rmWork(const std::wstring& server, unsigned short port, const std::wstring& dir) {
    return Run(L"rm", dir, [&] { impl_->Backend(server, port)->rmWork(dir); });
}

int CNFS_Cmd::delFile(const std::wstring& server, unsigned short port, const std::wstring& file) {
    return Run(L"delFile", file, [&] { impl_->Backend(server, port)->delFile(file); });
}

int CNFS_Cmd::upload(const std::wstring& server, unsigned short port, const std::wstring& localFile,
                     const std::wstring& remoteFile, std::uint64_t& count, bool /*flag*/) {
    count = 0;
    return Run(L"upload", remoteFile, [&] {
        const auto progress = impl_->CurrentProgress(L"upload");
        count = impl_->Backend(server, port)->upload(localFile, remoteFile, progress);
    });
}

int CNFS_Cmd::download(const std::wstring& server, unsigned short port,
                       const std::wstring& remoteFile, const std::wstring& localDir,
                       const std::wstring& localName, std::uint64_t& count, bool /*flag*/) {
    count = 0;
    return Run(L"download", remoteFile, [&] {
        const auto progress = impl_->CurrentProgress(L"download");
        count = impl_->Backend(server, port)->download(remoteFile, localDir, localName, progress);
    });
}

int CNFS_Cmd::downLoadFolder(const std::wstring& server, unsigned short port,
                             const std::wstring& remoteDir, const std::wstring& localDir,
                             std::uint64_t& count, bool /*flag*/) {
    count = 0;
    return Run(L"downLoadFolder", remoteDir, [&] {
        const auto progress = impl_->CurrentProgress(L"downLoadFolder");
        count = impl_->Backend(server, port)->downLoadFolder(remoteDir, localDir, progress);
    });
}

int CNFS_Cmd::copy(const std::wstring& server, unsigned short port, const std::wstring& source,
                   const std::wstring& target) {
    return Run(L"copy", source, [&] {
        const auto progress = impl_->CurrentProgress(L"copy");
        impl_->Backend(server, port)->copy(source, target, progress);
    });
}

int CNFS_Cmd::copyFolder(const std::wstring& server, unsigned short port,
                         const std::wstring& source, const std::wstring& target) {
    return Run(L"copyFolder", source, [&] {
        const auto progress = impl_->CurrentProgress(L"copyFolder");
        impl_->Backend(server, port)->copyFolder(source, target, progress);
    });
}

int CNFS_Cmd::upload(const std::wstring& server, unsigned short port, const std::wstring& localFile,
                     const std::wstring& remoteFile, std::uint64_t& count, bool /*flag*/,
                     ContentSum& sum) {
    count = 0;
    return RunSummed(L"upload", remoteFile, sum, [&] {
        const auto progress = impl_->CurrentProgress(L"upload");
        count = impl_->Backend(server, port)->upload(localFile, remoteFile, progress, sum);
    });
}

int CNFS_Cmd::uploadWork(const std::wstring& server, unsigned short port,
                         const std::wstring& localFile, const std::wstring& remoteFile,
                         std::uint64_t& count, ContentSum& sum) {
    count = 0;
    return RunSummed(L"upload", remoteFile, sum, [&] {
        const auto progress = impl_->CurrentProgress(L"upload");
        count = impl_->Backend(server, port)->uploadWork(localFile, remoteFile, progress, sum);
    });
}

int CNFS_Cmd::download(const std::wstring& server, unsigned short port,
                       const std::wstring& remoteFile, const std::wstring& localDir,
                       const std::wstring& localName, std::uint64_t& count, bool /*flag*/,
                       ContentSum& sum) {
    count = 0;
    return RunSummed(L"download", remoteFile, sum, [&] {
        const auto progress = impl_->CurrentProgress(L"download");
        count =
            impl_->Backend(server, port)->download(remoteFile, localDir, localName, progress, sum);
    });
}

int CNFS_Cmd::copy(const std::wstring& server, unsigned short port, const std::wstring& source,
                   const std::wstring& target, ContentSum& sum) {
    return RunSummed(L"copy", source, sum, [&] {
        const auto progress = impl_->CurrentProgress(L"copy");
        impl_->Backend(server, port)->copy(source, target, progress, sum);
    });
}

int CNFS_Cmd::copyFolder(const std::wstring& server, unsigned short port,
                         const std::wstring& source, const std::wstring& target,
                         std::vector<NfsFileSum>& sums) {
    sums.clear();
    const int rc = Run(L"copyFolder", source, [&] {
        const auto progress = impl_->CurrentProgress(L"copyFolder");
        impl_->Backend(server, port)->copyFolder(source, target, progress, sums);
    });
    if (rc != 0) sums.clear();
    return rc;
}

int CNFS_Cmd::shareFolder(const std::wstring& server, unsigned short port,
                          const std::wstring& source, const std::wstring& target,
                          std::vector<NfsFileSum>& files, NfsShareCount& how) {
    files.clear();
    how = NfsShareCount{};
    const int rc = Run(L"shareFolder", source, [&] {
        const auto progress = impl_->CurrentProgress(L"shareFolder");
        impl_->Backend(server, port)->shareFolder(source, target, progress, files, how);
    });
    if (rc != 0) {
        files.clear();
        how = NfsShareCount{};
    }
    return rc;
}

int CNFS_Cmd::seal(const std::wstring& server, unsigned short port, const std::wstring& file) {
    return Run(L"seal", file, [&] { impl_->Backend(server, port)->seal(file); });
}

int CNFS_Cmd::downLoadFolder(const std::wstring& server, unsigned short port,
                             const std::wstring& remoteDir, const std::wstring& localDir,
                             std::uint64_t& count, bool /*flag*/,
                             const std::vector<NfsFileSum>& expect) {
    count = 0;
    return Run(L"downLoadFolder", remoteDir, [&] {
        const auto progress = impl_->CurrentProgress(L"downLoadFolder");
        count = impl_->Backend(server, port)->downLoadFolder(remoteDir, localDir, progress, expect);
    });
}

int CNFS_Cmd::checksum(const std::wstring& server, unsigned short port, const std::wstring& file,
                       std::wstring& sha256, std::uint64_t& count) {
    sha256.clear();
    count = 0;
    const int rc = Run(L"checksum", file,
                       [&] { count = impl_->Backend(server, port)->checksum(file, sha256); });
    if (rc != 0) {
        sha256.clear();
        count = 0;
    }
    return rc;
}

int CNFS_Cmd::renameFile(const std::wstring& server, unsigned short port,
                         const std::wstring& oldPath, const std::wstring& newPath) {
    return Run(L"renameFile", oldPath,
               [&] { impl_->Backend(server, port)->renameFile(oldPath, newPath); });
}

int CNFS_Cmd::renameFileUnsynced(const std::wstring& server, unsigned short port,
                                 const std::wstring& oldPath, const std::wstring& newPath) {
    return Run(L"renameFile", oldPath,
               [&] { impl_->Backend(server, port)->renameFileUnsynced(oldPath, newPath); });
}

int CNFS_Cmd::renameFolder(const std::wstring& server, unsigned short port,
                           const std::wstring& oldPath, const std::wstring& newPath) {
    return Run(L"renameFolder", oldPath,
               [&] { impl_->Backend(server, port)->renameFolder(oldPath, newPath); });
}

int CNFS_Cmd::listFolder(const std::wstring& server, unsigned short port, const std::wstring& dir,
                         std::vector<NfsEntry>& entries) {
    entries.clear();
    return Run(L"listFolder", dir,
               [&] { entries = impl_->Backend(server, port)->listFolder(dir); });
}

int CNFS_Cmd::listDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                         std::vector<NfsDebris>& found) {
    found.clear();
    return Run(L"listDebris", dir,
               [&] { found = impl_->Backend(server, port)->debris(dir, false); });
}

int CNFS_Cmd::removeDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                           std::vector<NfsDebris>& removed) {
    removed.clear();
    return Run(L"removeDebris", dir,
               [&] { removed = impl_->Backend(server, port)->debris(dir, true); });
}

int CNFS_Cmd::where(const std::wstring& server, unsigned short port, const std::wstring& path,
                    std::wstring& location) {
    location.clear();
    return Run(L"where", path, [&] {
        location = impl_->Backend(server, port)->where(path);
        if (location.empty())
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the server \"%ls\" cannot tell where a path lands"),
                                       server.c_str()));
    });
}

int CNFS_Cmd::rootOwner(const std::wstring& server, unsigned short port, std::wstring& owner) {
    owner.clear();
    return Run(L"rootOwner", server, [&] { owner = impl_->Backend(server, port)->owner(); });
}

int CNFS_Cmd::claimRoot(const std::wstring& server, unsigned short port,
                        const std::wstring& owner) {
    return Run(L"claimRoot", server, [&] { impl_->Backend(server, port)->setOwner(owner); });
}

int CNFS_Cmd::hold(const std::wstring& server, unsigned short port, const std::wstring& path,
                   std::unique_ptr<NfsHold>& held) {
    held.reset();
    return Run(L"hold", path, [&] { held = impl_->Backend(server, port)->hold(path); });
}

bool CNFS_Cmd::IsTemporaryName(const std::wstring& name) {
    return fsutil::IsTemporaryName(zub::WideToUtf8(name));
}

int CNFS_Cmd::listDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                         std::vector<NfsDebris>& found, const NfsBackend::Keep& keep) {
    found.clear();
    return Run(L"listDebris", dir,
               [&] { found = impl_->Backend(server, port)->debris(dir, false, keep); });
}

int CNFS_Cmd::removeDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                           std::vector<NfsDebris>& removed, const NfsBackend::Keep& keep) {
    removed.clear();
    return Run(L"removeDebris", dir,
               [&] { removed = impl_->Backend(server, port)->debris(dir, true, keep); });
}

void CNFS_Cmd::GetLastError(wchar_t** text) {
    if (text == nullptr) return;
    *text = nullptr;
    if (!t_lastError.set) return;
    try {
        const std::wstring& source = t_lastError.text;
        // Freed by the caller through FreeText.
        auto copy = std::make_unique<wchar_t[]>(source.size() + 1);
        source.copy(copy.get(), source.size());
        *text = copy.release();
    } catch (const std::bad_alloc&) {
        *text = nullptr;
    }
}

void CNFS_Cmd::FreeText(wchar_t* text) { delete[] text; }

long CNFS_Cmd::GetErrorNumber() { return t_lastError.set ? t_lastError.number : 0; }

void CNFS_Cmd::RegisterBackend(const std::wstring& scheme, Factory factory) {
    const std::wstring key = Lower(scheme);
    std::lock_guard lock(impl_->mutex);
    impl_->Forget(key);
    impl_->factories[key] = std::move(factory);
}

void CNFS_Cmd::UnregisterBackend(const std::wstring& scheme) {
    const std::wstring key = Lower(scheme);
    std::lock_guard lock(impl_->mutex);
    impl_->Forget(key);
    impl_->factories.erase(key);
}

void CNFS_Cmd::SetProgress(Progress progress) {
    OperationProgress named;
    if (progress)
        named = [progress = std::move(progress)](std::wstring_view, std::uint64_t done,
                                                 std::uint64_t total) { progress(done, total); };
    SetOperationProgress(std::move(named));
}

void CNFS_Cmd::SetOperationProgress(OperationProgress progress) {
    std::lock_guard lock(impl_->mutex);
    impl_->progress = std::move(progress);
}

}  // namespace NFS
