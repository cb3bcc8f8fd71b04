#include "rightcommands.h"

#include <map>
#include <memory>

#include "docvault/docrepoauths.h"
#include "docvault/docrepos.h"
#include "docvault/errors.h"
#include "docvault/reporights.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace {

const std::vector<Column> kListColumns = {
    {"kind", ZUB_N_("KIND"), true}, {"name", ZUB_N_("NAME")}, {"rights", ZUB_N_("RIGHTS")}};

const std::vector<Column> kEffectiveColumns = {{"repository_id", ZUB_N_("ID")},
                                               {"repository", ZUB_N_("REPOSITORY")},
                                               {"rights", ZUB_N_("RIGHTS")}};

}  // namespace

RightCommands::Rights RightCommands::ParseRights(const std::string& text) {
    Rights r;
    auto bad = [&] {
        return VaultError(VaultErr::kBadName,
                          zub::trf("rights are letters of rwm (\"rw\", \"r-m\") or words "
                                   "read,write,manage, not \"%s\"",
                                   text.c_str()));
    };
    if (text.find_first_not_of("rwm-") == std::string::npos) {
        for (char c : text) {
            if (c == 'r') r.read = true;
            if (c == 'w') r.write = true;
            if (c == 'm') r.manage = true;
        }
    } else {
        std::size_t start = 0;
        while (start <= text.size()) {
            const auto comma = text.find(',', start);
            const std::string word =
                text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (word == "read")
                r.read = true;
            else if (word == "write")
                r.write = true;
            else if (word == "manage")
                r.manage = true;
            else
                throw bad();
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    if (!r.read && !r.write && !r.manage) throw bad();
    return r;
}

std::string RightCommands::ShowRights(int read, int write, int manage) {
    return std::string(read ? "r" : "-") + (write ? "w" : "-") + (manage ? "m" : "-");
}

void RightCommands::Register(CLI::App& app) {
    CLI::App* group = app.add_subcommand(
        "rights",
        zub::tr("Who may read, write and manage a repository: list, grant, revoke, show"));
    group->require_subcommand(1);
    const char* whoHelp = zub::tr("A user (NAME or user:NAME) or a role (role:NAME)");

    CLI::App* l = group->add_subcommand("list", zub::tr("List the rights given on a repository "
                                                        "(read right)"));
    l->alias("ls");
    l->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    l->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    l->callback([this] { List(); });

    CLI::App* g = group->add_subcommand(
        "grant",
        zub::tr("Give a user or role exactly these rights on a repository (manage right)"));
    g->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    g->add_option("WHO", who_, whoHelp)->required();
    g->add_option("RIGHTS", rights_, zub::tr("Letters of rwm (r read, w write, m manage), e.g. rw"))
        ->required();
    g->callback([this] { Grant(); });

    CLI::App* r = group->add_subcommand(
        "revoke", zub::tr("Take away a user's or role's rights on a repository (manage right)"));
    r->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    r->add_option("WHO", who_, whoHelp)->required();
    r->callback([this] { Revoke(); });

    CLI::App* s = group->add_subcommand(
        "show",
        zub::tr("Show a user's effective rights on every repository, own and through roles"));
    s->add_option("USER", who_, zub::tr("User name"))->required();
    s->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    s->callback([this] { Show(); });
}

RightCommands::Principal RightCommands::Resolve(const std::string& who) {
    Principal p;
    std::string name = who;
    if (who.rfind("role:", 0) == 0) {
        p.isRole = true;
        name = who.substr(5);
    } else if (who.rfind("user:", 0) == 0) {
        name = who.substr(5);
    }
    p.name = Utf8ToWide(name);
    if (p.isRole) {
        auto role = s_.FindRole(p.name);
        if (!role)
            throw VaultError(VaultErr::kUnknownRole, zub::trf("no role named %s", name.c_str()));
        p.id = role->id;
    } else {
        auto user = s_.FindUser(p.name);
        if (!user) {
            // A bare name is a user's; point at the role people often mean.
            if (who.rfind("user:", 0) != 0 && s_.FindRole(p.name))
                throw VaultError(VaultErr::kUnknownUser,
                                 zub::trf("no user named %s; for the role, give role:%s",
                                          name.c_str(), name.c_str()));
            throw VaultError(VaultErr::kUnknownUser, zub::trf("no user named %s", name.c_str()));
        }
        p.id = user->id;
    }
    return p;
}

std::vector<DRM::DocRepoAuth> RightCommands::Current(int repoId) {
    DRM::filterForDocRepoAuth filter;
    filter.docRepoId = repoId;
    DRM::DocRepoAuths auths(filter);
    s_.store().Connect(auths);
    const int status = auths.Select();
    // A repository without any rights row is an empty set, not a failure.
    if (status != DRM::Err::kNoMatch) VaultError::Check(status, auths);
    std::vector<DRM::DocRepoAuth> rows;
    for (int i = 0; i < auths.Count(); ++i) rows.push_back(*auths.Auth(i));
    return rows;
}

void RightCommands::List() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    Json rows = Json::array();
    for (const auto& row : Current(repo->id())) {
        const bool role = row.roleId() != 0 && row.userId() == 0;
        Json j;
        j["kind"] = role ? ZUB_N_("role") : ZUB_N_("user");
        j["name"] = WideToUtf8(row.roleOrUser_Name());
        j["user_id"] = role ? Json() : Json(row.userId());
        j["role_id"] = role ? Json(row.roleId()) : Json();
        j["read"] = row.read() != 0;
        j["write"] = row.write() != 0;
        j["manage"] = row.manage() != 0;
        j["rights"] = ShowRights(row.read(), row.write(), row.manage());
        j["id"] = row.id();
        rows.push_back(std::move(j));
    }
    s_.out().List(kListColumns, rows,
                  zub::trf("(no rights given on repository %s)", WideToUtf8(repo->name()).c_str()));
}

void RightCommands::SetRights(int repoId, const Principal& p, bool read, bool write, bool manage,
                              bool& changed) {
    // One transaction changes the rows and records the change in the trail.
    DRM::RepoRights rights;
    s_.store().Connect(rights);
    rights.set_administrator(s_.ActorIsAdmin());
    VaultError::Check(rights.Set(repoId, p.isRole, p.id, read ? 1 : 0, write ? 1 : 0,
                                 manage ? 1 : 0, s_.Actor().id, changed),
                      rights);
}

void RightCommands::Grant() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    const Principal p = Resolve(who_);
    const Rights r = ParseRights(rights_);
    bool changed = false;
    SetRights(repo->id(), p, r.read, r.write, r.manage, changed);
    const std::string rights = ShowRights(r.read, r.write, r.manage);
    s_.out().Say(
        p.isRole
            ? zub::trf("Gave role %s the rights %s on repository %s", WideToUtf8(p.name).c_str(),
                       rights.c_str(), WideToUtf8(repo->name()).c_str())
            : zub::trf("Gave user %s the rights %s on repository %s", WideToUtf8(p.name).c_str(),
                       rights.c_str(), WideToUtf8(repo->name()).c_str()));
}

void RightCommands::Revoke() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    const Principal p = Resolve(who_);
    const std::string who = WideToUtf8(p.name);
    const std::string repoName = WideToUtf8(repo->name());
    bool changed = false;
    SetRights(repo->id(), p, false, false, false, changed);
    if (!changed) {
        s_.out().Say(p.isRole ? zub::trf("role %s had no rights of its own on repository %s",
                                         who.c_str(), repoName.c_str())
                              : zub::trf("user %s had no rights of its own on repository %s",
                                         who.c_str(), repoName.c_str()));
        return;
    }
    s_.out().Say(p.isRole ? zub::trf("Took away the rights of role %s on repository %s",
                                     who.c_str(), repoName.c_str())
                          : zub::trf("Took away the rights of user %s on repository %s",
                                     who.c_str(), repoName.c_str()));
}

void RightCommands::Show() {
    s_.Actor();
    auto user = s_.FindUser(Utf8ToWide(who_));
    if (!user) throw VaultError(VaultErr::kUnknownUser, zub::trf("no user named %s", who_.c_str()));
    DRM::DocRepos repos;
    s_.store().Connect(repos);
    VaultError::Check(repos.GetAll(), repos);
    std::map<int, std::wstring> names;
    for (int i = 0; i < repos.Count(); ++i) names[repos.Repo(i)->id()] = repos.Repo(i)->name();
    DRM::DocRepoAuths auths;
    s_.store().Connect(auths);
    VaultError::Check(auths.Select(user->id), auths);
    Json rows = Json::array();
    for (int i = 0; i < auths.Count(); ++i) {
        const DRM::DocRepoAuth* a = auths.Auth(i);
        Json j;
        j["repository_id"] = a->docRepoId();
        j["repository"] = WideToUtf8(names[a->docRepoId()]);
        j["read"] = a->read() != 0;
        j["write"] = a->write() != 0;
        j["manage"] = a->manage() != 0;
        j["rights"] = ShowRights(a->read(), a->write(), a->manage());
        rows.push_back(std::move(j));
    }
    s_.out().List(kEffectiveColumns, rows,
                  zub::trf("(user %s has no rights on any repository)", who_.c_str()));
}

}  // namespace zub::vault
