#include "session.h"

#include <cstdlib>

#include "docvault/baselines.h"
#include "docvault/docrepoauths.h"
#include "docvault/docrepos.h"
#include "docvault/docs.h"
#include "docvault/useradmin.h"
#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

bool Session::IsNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

const char* Session::RightName(Right right) {
    switch (right) {
        case Right::Read:
            return ZUB_N_("read");
        case Right::Write:
            return ZUB_N_("write");
        case Right::Manage:
            return ZUB_N_("manage");
    }
    return "";
}

Store Session::LocateStore() const { return Store(Store::Locate(storeOption)); }

const Store& Session::store() {
    if (!store_) {
        store_.emplace(LocateStore());
        store_->RequireExists();
    }
    return *store_;
}

DRM::UserDirectory& Session::users() {
    if (!users_) users_ = Connected<DRM::UserDirectory>();
    return *users_;
}

std::optional<DRM::UserRecord> Session::FindUser(const std::wstring& name) {
    std::optional<DRM::UserRecord> user;
    VaultError::Check(users().FindUser(name, user), users());
    return user;
}

std::optional<DRM::UserRecord> Session::FindUser(int id) {
    std::optional<DRM::UserRecord> user;
    VaultError::Check(users().FindUser(id, user), users());
    return user;
}

std::optional<DRM::RoleRecord> Session::FindRole(const std::wstring& name) {
    std::optional<DRM::RoleRecord> role;
    VaultError::Check(users().FindRole(name, role), users());
    return role;
}

const DRM::UserRecord& Session::Actor() {
    if (actor_) return *actor_;
    std::string name = userOption;
    if (name.empty()) {
        const char* env = std::getenv("VAULT_USER");
        if (env) name = env;
    }
    if (name.empty())
        throw VaultError(VaultErr::kNoUser,
                         zub::tr("no acting user: give --user NAME or set VAULT_USER"));
    auto user = FindUser(Utf8ToWide(name));
    if (!user) throw VaultError(VaultErr::kUnknownUser, zub::trf("no user named %s", name.c_str()));
    auto admin = Connected<DRM::UserAdmin>();
    bool active = true;
    VaultError::Check(admin->IsActive(user->id, active), *admin);
    if (!active)
        throw VaultError(VaultErr::kDenied, zub::trf("user %s is deactivated and may no longer act",
                                                     WideToUtf8(user->name).c_str()));
    actor_ = std::move(*user);
    return *actor_;
}

bool Session::ActorIsAdmin() { return Actor().name == Utf8ToWide(Store::kAdmin); }

void Session::RequireAdmin(const std::string& what) {
    if (!ActorIsAdmin())
        throw VaultError(VaultErr::kDenied,
                         zub::trf("only the administrator \"system\" may %s", what.c_str()));
}

void Session::Require(int repoId, const std::wstring& repoName, Right right) {
    if (ActorIsAdmin()) return;
    DRM::DocRepoAuths auths;
    store().Connect(auths);
    VaultError::Check(auths.Select(Actor().id), auths);
    const DRM::DocRepoAuth* auth = auths.Auth(std::to_wstring(repoId));
    int held = 0;
    if (auth) {
        switch (right) {
            case Right::Read:
                held = auth->read();
                break;
            case Right::Write:
                held = auth->write();
                break;
            case Right::Manage:
                held = auth->manage();
                break;
        }
    }
    if (!held)
        throw VaultError(
            VaultErr::kDenied,
            zub::trf("user %s has no %s right on repository %s", WideToUtf8(Actor().name).c_str(),
                     zub::tr(RightName(right)), WideToUtf8(repoName).c_str()));
}

std::unique_ptr<DRM::DocRepo> Session::OpenRepo(const std::string& ref, Right right) {
    Actor();
    auto repo = Repo(ref);
    Require(repo->id(), repo->name(), right);
    return repo;
}

std::unique_ptr<DRM::DocRepo> Session::Repo(const std::string& ref) {
    auto repo = Connected<DRM::DocRepo>();
    if (IsNumber(ref)) {
        VaultError::Check(repo->Read(std::stoi(ref)), *repo);
        return repo;
    }
    auto all = Connected<DRM::DocRepos>();
    VaultError::Check(all->GetAll(), *all);
    const std::wstring name = Utf8ToWide(ref);
    for (int i = 0; i < all->Count(); ++i) {
        if (all->Repo(i)->name() == name) {
            VaultError::Check(repo->Read(all->Repo(i)->id()), *repo);
            return repo;
        }
    }
    throw VaultError(VaultErr::kNoRepo, zub::trf("no repository named %s", ref.c_str()));
}

std::unique_ptr<DRM::Doc> Session::Document(const std::string& ref) {
    auto doc = Connected<DRM::Doc>();
    if (IsNumber(ref)) {
        VaultError::Check(doc->Read(std::stoi(ref)), *doc);
        return doc;
    }
    const auto colon = ref.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == ref.size())
        throw VaultError(VaultErr::kNoDoc,
                         zub::trf("a document is named by its id or as REPO:path/name.ext, not %s",
                                  ref.c_str()));
    auto repo = Repo(ref.substr(0, colon));
    const PathText path = PathText::Split(Utf8ToWide(ref.substr(colon + 1)));
    DRM::Docs docs;
    store().Connect(docs);
    DRM::filterForDoc filter;
    filter.docRepoId = repo->id();
    VaultError::Check(docs.GetAll(filter), docs);
    for (int i = 0; i < docs.Count(); ++i) {
        const DRM::Doc* d = docs.GetDoc(i);
        if (d->phyUrl() == path.folder && d->fileName() == path.name && d->ext() == path.ext) {
            VaultError::Check(doc->Read(d->id()), *doc);
            return doc;
        }
    }
    throw VaultError(VaultErr::kNoDoc,
                     zub::trf("no document %s in repository %s", ref.substr(colon + 1).c_str(),
                              WideToUtf8(repo->name()).c_str()));
}

std::unique_ptr<DRM::BaseLine> Session::Baseline(const DRM::DocRepo& repo, const std::string& ref) {
    DRM::BaseLines all;
    store().Connect(all);
    DRM::filterForBaseLine filter;
    filter.docRepoId = repo.id();
    VaultError::Check(all.GetAll(filter), all);
    const std::wstring name = Utf8ToWide(ref);
    const DRM::BaseLine* found = nullptr;
    for (int i = 0; i < all.Count() && !found; ++i)
        if (all.GetBaseLine(i)->name() == name) found = all.GetBaseLine(i);
    if (!found && IsNumber(ref))
        for (int i = 0; i < all.Count() && !found; ++i)
            if (all.GetBaseLine(i)->id() == std::stoi(ref)) found = all.GetBaseLine(i);
    if (!found)
        throw VaultError(VaultErr::kNoBaseline,
                         zub::trf("no baseline %s in repository %s", ref.c_str(),
                                  WideToUtf8(repo.name()).c_str()));
    auto baseline = Connected<DRM::BaseLine>();
    baseline->set_docRepoId(found->docRepoId());
    baseline->set_id(found->id());
    baseline->set_name(found->name());
    baseline->set_desc(found->desc());
    baseline->set_createdTime(found->createdTime());
    return baseline;
}

std::unique_ptr<DRM::VersionStra> Session::Strategy(int id) {
    auto strategy = Connected<DRM::VersionStra>();
    // Read leaves the members alone when no row has the id.
    strategy->set_versionStraId(0);
    VaultError::Check(strategy->Read(id), *strategy);
    if (id == 0 || strategy->versionStraId() != id)
        throw VaultError(VaultErr::kNoStrategy, zub::trf("no version strategy with id %d", id));
    return strategy;
}

}  // namespace zub::vault
