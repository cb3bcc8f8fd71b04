// The file server of one repository for the length of one operation: the
// repository row looked up, its server resolved against the database server
// the object is connected to, the process logged in; then calls whose
// failures are recorded on the object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "internal/repolocation.h"
#include "internal/rootownership.h"
#include "vaultfs/cnfs_cmd.h"

class BO;

namespace DRM {

class RepoFiles {
public:
    explicit RepoFiles(BO& bo) : bo_(bo) {}

    // Looks up repository docRepoId and logs in; a status recorded on the object.
    int Open(int docRepoId);
    // For a repository whose server, port and root the caller holds.
    void OpenAt(const std::wstring& server, long port, const std::wstring& dir);

    const std::wstring& dir() const { return loc_.dir; }
    const std::wstring& server() const { return loc_.server; }
    unsigned short port() const { return loc_.port; }
    // dir() + rel, rel beginning with '\'; a root kept with a closing
    // separator gives no doubled one, so every text shows the server path.
    std::wstring Path(const std::wstring& rel) const {
        if (!loc_.dir.empty() && loc_.dir.back() == L'\\' && !rel.empty() && rel.front() == L'\\')
            return loc_.dir + rel.substr(1);
        return loc_.dir + rel;
    }

    // One call: (cmd, server, port) -> 0 or failure. The failure is recorded
    // and its number returned. On a root that belongs to another store no
    // call is made: every one fails with that refusal.
    template <class Call>
    int Run(Call&& call) {
        if (refusal_) return Record();
        return call(Cmd(), loc_.server, loc_.port) == 0 ? 0 : Record();
    }
    // The same without recording: the component's error number, or 0.
    template <class Call>
    long Try(Call&& call) {
        if (refusal_) return refusal_->number;
        return call(Cmd(), loc_.server, loc_.port) == 0 ? 0 : Cmd().GetErrorNumber();
    }
    // Why this root may not be used, when it belongs to another store.
    const std::optional<RootOwnership::Refusal>& refusal() const { return refusal_; }

    int Upload(const std::wstring& localFile, const std::wstring& remote);
    // The same, with the SHA-256 and size of what was stored.
    int Upload(const std::wstring& localFile, const std::wstring& remote, std::wstring& sha256,
               long long& bytes);
    // Whether the file is there; a failure other than "not found" is recorded
    // and returned.
    int FileExists(const std::wstring& file, bool& exists);
    // After a "not found": whether the server's root is there (a missing root
    // answers "not found" for every path). Made by creating `folder` if it
    // is missing; the caller removes it again. A status, recorded.
    int ProbeRootBy(const std::wstring& folder);

    NFS::CNFS_Cmd& Cmd() const;
    int Record();
    // Records one of the library's own errors on the object; returns its number.
    int Refuse(int number, const std::wstring& text);

private:
    BO& bo_;
    RepoLocation loc_;
    std::optional<RootOwnership::Refusal> refusal_;
};

// A fresh name for staged work: 16 hex digits.
std::wstring StagingNonce();
// Staged names begin with this; they never name a user's file.
inline constexpr const wchar_t* kStagingPrefix = L".zub-stage-";

}  // namespace DRM
