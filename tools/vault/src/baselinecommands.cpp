#include "baselinecommands.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>

#include "docvault/baselines.h"
#include "docvault/errors.h"
#include "pathtext.h"
#include "progress.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace fs = std::filesystem;

namespace {

const std::vector<Column> kListColumns = {{"id", ZUB_N_("ID")},
                                          {"name", ZUB_N_("NAME")},
                                          {"created", ZUB_N_("CREATED")},
                                          {"description", ZUB_N_("DESCRIPTION")}};

}  // namespace

Json BaselineCommands::ToJson(const DRM::BaseLine& baseline) {
    Json j;
    j["id"] = baseline.id();
    j["repository_id"] = baseline.docRepoId();
    j["name"] = WideToUtf8(baseline.name());
    j["description"] = WideToUtf8(baseline.desc());
    const std::string created = Output::OleDate(baseline.createdTime());
    j["created"] = created.empty() ? Json() : Json(created);
    return j;
}

void BaselineCommands::Register(CLI::App& app) {
    CLI::App* group = app.add_subcommand(
        "baseline",
        zub::tr("Baselines, frozen copies of a repository's current files: create, list, "
                "download, delete"));
    group->require_subcommand(1);

    CLI::App* c = group->add_subcommand(
        "create", zub::tr("Freeze the current files of a repository under a name (write right)"));
    c->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    c->add_option("NAME", name_, zub::tr("Name of the baseline, unique in the repository"))
        ->required();
    c->add_option("-m,--desc", desc_, zub::tr("Description"));
    c->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new baseline as JSON"));
    c->callback([this] { Create(); });

    CLI::App* l =
        group->add_subcommand("list", zub::tr("List a repository's baselines (read right)"));
    l->alias("ls");
    l->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    l->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    l->callback([this] { List(); });

    CLI::App* d = group->add_subcommand(
        "download", zub::tr("Download a baseline's files into a local folder (read right)"));
    d->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    d->add_option("NAME", name_, zub::tr("Baseline name or id"))->required();
    d->add_option("DIR", dir_, zub::tr("Local folder (default: ./NAME; made when missing)"));
    d->add_flag("--force", force_, zub::tr("Download into a folder that is not empty"));
    d->callback([this] { Download(); });

    CLI::App* r =
        group->add_subcommand("delete", zub::tr("Delete a baseline and its files (manage right)"));
    r->alias("rm");
    r->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    r->add_option("NAME", name_, zub::tr("Baseline name or id"))->required();
    r->callback([this] { Delete(); });
}

void BaselineCommands::Create() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Write);
    const std::wstring name = Utf8ToWide(name_);
    std::wstring lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    // The copy passes through baseline\trunk before it takes its name.
    if (lower == L"trunk")
        throw VaultError(VaultErr::kBadName, zub::tr("the baseline name trunk is reserved"));
    DRM::BaseLines all;
    s_.store().Connect(all);
    DRM::filterForBaseLine filter;
    filter.docRepoId = repo->id();
    VaultError::Check(all.GetAll(filter), all);
    for (int i = 0; i < all.Count(); ++i)
        if (all.GetBaseLine(i)->name() == name)
            throw VaultError(VaultErr::kNameTaken,
                             zub::trf("repository %s has a baseline named %s already",
                                      WideToUtf8(repo->name()).c_str(), name_.c_str()));
    auto baseline = s_.Connected<DRM::BaseLine>();
    baseline->set_docRepoId(repo->id());
    baseline->set_name(name);
    baseline->set_desc(Utf8ToWide(desc_));
    int status;
    {
        Progress progress(
            zub::trf("Freezing %s as %s", WideToUtf8(repo->name()).c_str(), name_.c_str()),
            Progress::Wanted());
        status = baseline->Create();
    }
    if (status == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken,
                         zub::trf("repository %s has a baseline named %s already",
                                  WideToUtf8(repo->name()).c_str(), name_.c_str()));
    VaultError::Check(status, *baseline);
    // The listing carries the creation time the database set.
    auto stored = s_.Baseline(*repo, std::to_string(baseline->id()));
    // Which way the files were frozen: a hard link or a clone costs no copy.
    const DRM::BaseLine::Storage& how = baseline->storage();
    Json j = ToJson(*stored);
    j["files_linked"] = how.linked;
    j["files_cloned"] = how.cloned;
    j["files_copied"] = how.copied;
    s_.out().Done(j, zub::trf("Created baseline %s (id %d) of repository %s: %d files "
                              "hard-linked, %d cloned, %d copied",
                              name_.c_str(), stored->id(), WideToUtf8(repo->name()).c_str(),
                              static_cast<int>(how.linked), static_cast<int>(how.cloned),
                              static_cast<int>(how.copied)));
}

void BaselineCommands::List() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    DRM::BaseLines all;
    s_.store().Connect(all);
    DRM::filterForBaseLine filter;
    filter.docRepoId = repo->id();
    VaultError::Check(all.GetAll(filter), all);
    Json rows = Json::array();
    for (int i = 0; i < all.Count(); ++i) rows.push_back(ToJson(*all.GetBaseLine(i)));
    s_.out().List(kListColumns, rows,
                  zub::trf("(no baselines in repository %s)", WideToUtf8(repo->name()).c_str()));
}

void BaselineCommands::Download() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    auto baseline = s_.Baseline(*repo, name_);
    const fs::path dir = fs::absolute(dir_.empty() ? WideToUtf8(baseline->name()) : dir_);
    std::error_code ec;
    if (!force_ && fs::is_directory(dir, ec) && !fs::is_empty(dir, ec))
        throw VaultError(
            VaultErr::kLocalFile,
            zub::trf("%s is not empty; use --force to download into it", dir.string().c_str()));
    fs::create_directories(dir, ec);
    if (ec)
        throw VaultError(
            VaultErr::kLocalFile,
            zub::trf("cannot make the folder %s: %s", dir.string().c_str(), ec.message().c_str()));
    int status;
    {
        Progress progress(zub::trf("Downloading baseline %s", WideToUtf8(baseline->name()).c_str()),
                          Progress::Wanted());
        status = baseline->DownLoad(PathText::Wide(dir));
    }
    VaultError::Check(status, *baseline);
    s_.out().Say(zub::trf("Downloaded baseline %s of repository %s to %s",
                          WideToUtf8(baseline->name()).c_str(), WideToUtf8(repo->name()).c_str(),
                          PathText::ShowLocal(dir).c_str()));
}

void BaselineCommands::Delete() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    auto baseline = s_.Baseline(*repo, name_);
    VaultError::Check(baseline->Delete(), *baseline);
    s_.out().Say(zub::trf("Deleted baseline %s of repository %s",
                          WideToUtf8(baseline->name()).c_str(), WideToUtf8(repo->name()).c_str()));
}

}  // namespace zub::vault
