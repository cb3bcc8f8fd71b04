// What every command shares: the global options, the store, the acting user
// and the lookups by id or name that commands resolve their arguments with.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "docvault/baseline.h"
#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/userdirectory.h"
#include "docvault/versionstra.h"
#include "output.h"
#include "store.h"

namespace zub::vault {

class Session {
public:
    enum class Right { Read, Write, Manage };

    explicit Session(Output& out) : out_(out) {}

    // Bound to --store and --user.
    std::string storeOption;
    std::string userOption;

    Output& out() { return out_; }

    // The located store, which must exist.
    const Store& store();
    // The located store, existing or not (init).
    Store LocateStore() const;
    // The store's users and roles; every call's failure is a VaultError.
    DRM::UserDirectory& users();
    // The user named so in any case, the user with that id, the role of that
    // name or id; empty when there is none.
    std::optional<DRM::UserRecord> FindUser(const std::wstring& name);
    std::optional<DRM::UserRecord> FindUser(int id);
    std::optional<DRM::RoleRecord> FindRole(const std::wstring& name);

    template <class T>
    std::unique_ptr<T> Connected() {
        auto bo = std::make_unique<T>();
        store().Connect(*bo);
        return bo;
    }

    // --user NAME, else $VAULT_USER, resolved in the store's user table.
    const DRM::UserRecord& Actor();
    // The administrator passes every rights check and manages users.
    bool ActorIsAdmin();
    void RequireAdmin(const std::string& what);
    // Throws unless the acting user holds the right on the repository,
    // directly or through a role.
    void Require(int repoId, const std::wstring& repoName, Right right);

    // The preamble of every command on one repository: the acting user, the
    // repository by id or name, and the user's right on it.
    std::unique_ptr<DRM::DocRepo> OpenRepo(const std::string& ref, Right right);
    // A repository by id (digits) or by name, read in full.
    std::unique_ptr<DRM::DocRepo> Repo(const std::string& ref);
    // A document by id, or "REPO:path/name.ext"; read in full.
    std::unique_ptr<DRM::Doc> Document(const std::string& ref);
    // A baseline of the repository by id or name.
    std::unique_ptr<DRM::BaseLine> Baseline(const DRM::DocRepo& repo, const std::string& ref);

    // The version strategy with that id; throws when there is none.
    std::unique_ptr<DRM::VersionStra> Strategy(int id);

    static bool IsNumber(const std::string& text);
    static const char* RightName(Right right);

private:
    Output& out_;
    std::optional<Store> store_;
    std::unique_ptr<DRM::UserDirectory> users_;
    std::optional<DRM::UserRecord> actor_;
};

}  // namespace zub::vault
