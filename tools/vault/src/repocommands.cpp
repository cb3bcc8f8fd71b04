#include "repocommands.h"

#include <algorithm>
#include <filesystem>

#include "docvault/baselines.h"
#include "docvault/doc.h"
#include "docvault/docrepos.h"
#include "docvault/docs.h"
#include "docvault/errors.h"
#include "localfiles.h"
#include "pathtext.h"
#include "progress.h"
#include "scratchdir.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/rootowner.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace {

const std::vector<Column> kListColumns = {{"id", ZUB_N_("ID")},
                                          {"name", ZUB_N_("NAME")},
                                          {"directory", ZUB_N_("DIRECTORY")},
                                          {"strategy_id", ZUB_N_("STRATEGY")},
                                          {"creator", ZUB_N_("CREATOR")},
                                          {"created", ZUB_N_("CREATED")}};

const std::vector<Column> kShowFields = {{"id", ZUB_N_("Id")},
                                         {"name", ZUB_N_("Name")},
                                         {"directory", ZUB_N_("Server directory")},
                                         {"server", ZUB_N_("File server")},
                                         {"port", ZUB_N_("Port")},
                                         {"creator", ZUB_N_("Creator")},
                                         {"created", ZUB_N_("Created")},
                                         {"strategy_id", ZUB_N_("Version strategy")},
                                         {"documents", ZUB_N_("Documents")},
                                         {"checked_out", ZUB_N_("Checked out")},
                                         {"baselines", ZUB_N_("Baselines")},
                                         {"next_main_version", ZUB_N_("Next main version")},
                                         {"disk_files", ZUB_N_("Stored files")},
                                         {"disk_bytes", ZUB_N_("Disk use (bytes)")},
                                         {"full_copy_bytes", ZUB_N_("As full copies (bytes)")}};

Json TimeOrNull(double t) {
    const std::string text = Output::OleDate(t);
    return text.empty() ? Json() : Json(text);
}

}  // namespace

Json RepoCommands::ToJson(const DRM::DocRepo& repo) {
    Json j;
    j["id"] = repo.id();
    j["name"] = WideToUtf8(repo.name());
    std::wstring dir = repo.nfsRootDir();
    // JSON writes every path with '/'.
    std::replace(dir.begin(), dir.end(), L'\\', L'/');
    j["directory"] = WideToUtf8(dir);
    j["server"] = WideToUtf8(repo.nfsServer());
    j["port"] = repo.nfsPort();
    j["creator_id"] = repo.creator();
    j["creator"] = WideToUtf8(repo.creatorName());
    j["created"] = TimeOrNull(repo.createdTime());
    j["strategy_id"] = repo.versionStraId();
    return j;
}

void RepoCommands::Register(CLI::App& app) {
    CLI::App* group =
        app.add_subcommand("repo", zub::tr("Document repositories: create, list, show, "
                                           "rename, set-strategy, backup, delete, repoint"));
    group->require_subcommand(1);

    CLI::App* c =
        group->add_subcommand("create", zub::tr("Create a repository owned by the acting user"));
    c->add_option("NAME", name_, zub::tr("Name of the new repository"))->required();
    c->add_option("--dir", dir_,
                  zub::tr("Directory on the file server (default \\repos\\NAME); it may not lie "
                          "inside or around another repository's"));
    c->add_option("--strategy", strategy_, zub::tr("Version strategy id"))->capture_default_str();
    c->add_option("--desc", desc_, zub::tr("Description (shown by this command only)"));
    c->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new repository as JSON"));
    c->callback([this] { Create(); });

    CLI::App* l =
        group->add_subcommand("list", zub::tr("List repositories, all or those a user may see"));
    l->alias("ls");
    l->add_option("--for", forUser_, zub::tr("Only those USER may see (through rights or roles)"));
    l->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    l->callback([this] { List(); });

    CLI::App* sh = group->add_subcommand("show", zub::tr("Show one repository"));
    sh->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    sh->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    sh->callback([this] { Show(); });

    CLI::App* rn = group->add_subcommand("rename", zub::tr("Rename a repository (manage right)"));
    rn->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    rn->add_option("NEWNAME", name_, zub::tr("New name"))->required();
    rn->callback([this] { Rename(); });

    CLI::App* st = group->add_subcommand(
        "set-strategy", zub::tr("Set a repository's version strategy (manage right)"));
    st->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    st->add_option("ID", strategy_, zub::tr("Version strategy id"))->required();
    st->callback([this] { SetStrategy(); });

    CLI::App* b = group->add_subcommand(
        "backup",
        zub::tr("Copy the current files of a repository into a local folder (read right)"));
    b->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    b->add_option("DIR", dir_, zub::tr("Local folder (made when missing)"))->required();
    b->add_flag("--force", force_,
                zub::tr("Overwrite local files of those names with other content"));
    b->callback([this] { Backup(); });

    CLI::App* d = group->add_subcommand(
        "delete", zub::tr("Delete a repository with its files, documents, baselines and rights "
                          "(manage right)"));
    d->alias("rm");
    d->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    d->add_flag("--force", force_, zub::tr("Delete even when documents are checked out"));
    d->callback([this] { Delete(); });

    CLI::App* rp = group->add_subcommand(
        "repoint",
        zub::tr(
            "Point a repository at another file server (default: this store's own root), e.g. in a "
            "copied store whose rows still name the original's root by its absolute path; the "
            "administrator only"));
    rp->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    rp->add_option("SERVER", server_,
                   zub::tr("File server holding the repository's folder (default: this store's own "
                           "root, file:files)"));
    rp->add_flag(
        "--adopt", adopt_,
        zub::tr("Claim the server's root for this store even though it names another store "
                "(only after deliberately moving the store)"));
    rp->callback([this] { Repoint(); });
}

void RepoCommands::CheckNewName(const std::wstring& name) {
    if (name.empty() || Session::IsNumber(WideToUtf8(name)) ||
        name.find_first_of(L"/\\:") != std::wstring::npos || name == L"." || name == L"..")
        throw VaultError(VaultErr::kBadName,
                         zub::trf("invalid repository name \"%s\": it may not be a number nor "
                                  "contain / \\ or :",
                                  WideToUtf8(name).c_str()));
    DRM::DocRepos all;
    s_.store().Connect(all);
    VaultError::Check(all.GetAll(), all);
    for (int i = 0; i < all.Count(); ++i)
        if (all.Repo(i)->name() == name)
            throw VaultError(VaultErr::kNameTaken, zub::trf("a repository named %s exists already",
                                                            WideToUtf8(name).c_str()));
}

void RepoCommands::Create() {
    const DRM::UserRecord& actor = s_.Actor();
    const std::wstring name = Utf8ToWide(name_);
    CheckNewName(name);
    std::wstring dir = dir_.empty() ? L"\\repos\\" + name : PathText::Folder(Utf8ToWide(dir_));
    if (dir.empty())
        throw VaultError(VaultErr::kBadName, zub::tr("the server directory may not be the root"));
    // Overlap is judged on the text: with a closing separator \repos\a\ is no
    // part of \repos\ab\, while a real parent or child is still refused.
    dir += L"\\";
    s_.Strategy(strategy_);

    auto repo = s_.Connected<DRM::DocRepo>();
    repo->set_name(name);
    repo->set_desc(Utf8ToWide(desc_));
    repo->set_creator(actor.id);
    repo->set_nfsServer(s_.store().FileServer());
    repo->set_port(0);
    repo->set_nfsRootDir(dir);
    repo->set_versionStraId(strategy_);
    const int status = repo->Create();
    // Create tells the failing step; the object's error says why.
    if (repo->ErrNumber() == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken, zub::trf("a repository named %s exists already",
                                                        WideToUtf8(name).c_str()));
    if (status == DRM::DocRepo::kOverlaps && repo->ErrNumber() == DRM::Err::kInvalidName)
        throw VaultError::Library(repo->ErrNumber(), repo->ErrDesc());
    if (status == DRM::DocRepo::kOverlaps)
        throw VaultError(VaultErr::kOverlap,
                         zub::trf("the server directory %s lies inside or around another "
                                  "repository's; choose one with --dir",
                                  WideToUtf8(dir).c_str()));
    if (status != DRM::DocRepo::kCreated) {
        if (repo->ErrNumber() != 0) throw VaultError::Library(repo->ErrNumber(), repo->ErrDesc());
        VaultError::Check(status, *repo);
    }
    VaultError::Check(repo->Read(repo->id()), *repo);
    s_.out().Done(ToJson(*repo),
                  zub::trf("Created repository %s (id %d) in %s", WideToUtf8(name).c_str(),
                           repo->id(), WideToUtf8(dir).c_str()));
}

void RepoCommands::List() {
    s_.Actor();
    DRM::DocRepos all;
    s_.store().Connect(all);
    if (forUser_.empty()) {
        VaultError::Check(all.GetAll(), all);
    } else {
        auto user = s_.FindUser(Utf8ToWide(forUser_));
        if (!user)
            throw VaultError(VaultErr::kUnknownUser,
                             zub::trf("no user named %s", forUser_.c_str()));
        VaultError::Check(all.GetAll(user->id), all);
    }
    Json rows = Json::array();
    for (int i = 0; i < all.Count(); ++i) {
        // The listing carries no creator or time; the full row has them.
        auto repo = s_.Connected<DRM::DocRepo>();
        VaultError::Check(repo->Read(all.Repo(i)->id()), *repo);
        rows.push_back(ToJson(*repo));
    }
    s_.out().List(kListColumns, rows, zub::tr("(no repositories)"));
}

void RepoCommands::Show() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    Json j = ToJson(*repo);

    DRM::Docs docs;
    s_.store().Connect(docs);
    DRM::filterForDoc df;
    df.docRepoId = repo->id();
    VaultError::Check(docs.GetAll(df), docs);
    int out = 0;
    for (int i = 0; i < docs.Count(); ++i) out += docs.GetDoc(i)->state() == 1;

    DRM::BaseLines baselines;
    s_.store().Connect(baselines);
    DRM::filterForBaseLine bf;
    bf.docRepoId = repo->id();
    VaultError::Check(baselines.GetAll(bf), baselines);

    j["documents"] = docs.Count();
    j["checked_out"] = out;
    j["baselines"] = baselines.Count();
    const std::wstring next = repo->GetNextMainVersion();
    if (repo->ErrNumber() != 0) VaultError::Check(static_cast<int>(repo->ErrNumber()), *repo);
    // "%.10f" of a whole number: show it as one.
    std::string nextMain = WideToUtf8(next);
    if (nextMain.find('.') != std::string::npos) {
        nextMain.erase(nextMain.find_last_not_of('0') + 1);
        if (!nextMain.empty() && nextMain.back() == '.') nextMain.pop_back();
    }
    j["next_main_version"] = nextMain;
    // Files that share their bytes (a baseline's, a saved version's) count once.
    DRM::DocRepo::DiskUse use;
    VaultError::Check(repo->GetDiskUse(use), *repo);
    j["disk_files"] = use.files;
    j["disk_bytes"] = use.stored;
    j["full_copy_bytes"] = use.full;
    s_.out().Show(kShowFields, j);
}

void RepoCommands::Rename() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    const std::wstring old = repo->name();
    const std::wstring name = Utf8ToWide(name_);
    if (name == old) {
        s_.out().Say(zub::trf("Repository %s keeps its name", WideToUtf8(old).c_str()));
        return;
    }
    CheckNewName(name);
    repo->set_name(name);
    VaultError::Check(repo->updateBaseInfo(), *repo);
    s_.out().Say(
        zub::trf("Renamed repository %s to %s", WideToUtf8(old).c_str(), WideToUtf8(name).c_str()));
}

void RepoCommands::SetStrategy() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    s_.Strategy(strategy_);
    repo->set_versionStraId(strategy_);
    VaultError::Check(repo->SaveVersionStra(), *repo);
    s_.out().Say(zub::trf("Repository %s now uses version strategy %d",
                          WideToUtf8(repo->name()).c_str(), strategy_));
}

void RepoCommands::Backup() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    const std::filesystem::path dir = std::filesystem::absolute(dir_);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw VaultError(
            VaultErr::kLocalFile,
            zub::trf("cannot make the folder %s: %s", dir.string().c_str(), ec.message().c_str()));
    if (force_) {
        Progress progress(zub::trf("Backing up %s", WideToUtf8(repo->name()).c_str()),
                          Progress::Wanted());
        VaultError::Check(repo->BackUp(PathText::Wide(dir)), *repo);
    } else {
        // Fetched beside the target first, so that a refusal writes nothing.
        ScratchDir scratch(dir);
        {
            Progress progress(zub::trf("Backing up %s", WideToUtf8(repo->name()).c_str()),
                              Progress::Wanted());
            VaultError::Check(repo->BackUp(PathText::Wide(scratch.path())), *repo);
        }
        const auto conflicts = LocalFiles::Conflicts(scratch.path(), dir);
        if (!conflicts.empty())
            throw VaultError(
                VaultErr::kLocalFile,
                conflicts.size() > 1
                    ? zub::trf("%s exists with other content (and %zu more); use --force to "
                               "overwrite",
                               (dir / conflicts.front()).string().c_str(), conflicts.size() - 1)
                    : zub::trf("%s exists with other content; use --force to overwrite",
                               (dir / conflicts.front()).string().c_str()));
        try {
            LocalFiles::MoveInto(scratch.path(), dir);
        } catch (const std::filesystem::filesystem_error& e) {
            throw VaultError(VaultErr::kLocalFile,
                             zub::trf("cannot write into %s: %s", dir.string().c_str(),
                                      e.code().message().c_str()));
        }
    }
    s_.out().Say(zub::trf("Copied the current files of repository %s to %s",
                          WideToUtf8(repo->name()).c_str(), PathText::ShowLocal(dir).c_str()));
}

void RepoCommands::Delete() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    if (!force_) {
        DRM::Docs docs;
        s_.store().Connect(docs);
        DRM::filterForDoc df;
        df.docRepoId = repo->id();
        VaultError::Check(docs.GetAll(df), docs);
        for (int i = 0; i < docs.Count(); ++i) {
            const DRM::Doc* d = docs.GetDoc(i);
            if (d->state() == 1)
                throw VaultError(
                    VaultErr::kHeldByOther,
                    zub::trf(
                        "document %s is checked out by %s; use --force to "
                        "delete the repository anyway",
                        WideToUtf8(PathText::Show(d->phyUrl(), d->fileName(), d->ext())).c_str(),
                        WideToUtf8(d->checkOutByName()).c_str()));
        }
    }
    VaultError::Check(repo->Delete(), *repo);
    s_.out().Say(zub::trf("Deleted repository %s", WideToUtf8(repo->name()).c_str()));
}

void RepoCommands::Repoint() {
    s_.RequireAdmin(zub::tr("re-point a repository"));
    const Store& store = s_.store();
    auto repo = s_.Repo(repo_);
    const std::wstring server = server_.empty() ? store.FileServer() : Utf8ToWide(server_);
    const std::wstring resolved = store.ResolvedFileServer(server);
    const auto port = static_cast<unsigned short>(repo->nfsPort());
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    // The file server's own text, with what we tried in front of it.
    auto fail = [&](const std::string& what) {
        wchar_t* text = nullptr;
        cmd->GetLastError(&text);
        const std::wstring why = text ? text : L"";
        NFS::CNFS_Cmd::FreeText(text);
        if (what.empty()) throw VaultError::Library(cmd->GetErrorNumber(), why);
        throw VaultError(cmd->GetErrorNumber(), what + zub::LibraryText(WideToUtf8(why)));
    };

    // The root must be this store's: its own (moved or copied along with
    // it), one nobody claimed, or one taken over on purpose.
    std::wstring text;
    if (cmd->rootOwner(resolved, port, text) != 0) fail("");
    const auto owner = NFS::RootOwner::Parse(text);
    const NFS::RootOwner mine{store.EnsureStoreId(), store.Place()};
    std::wstring root;
    if (cmd->where(resolved, port, L"", root) != 0) fail("");
    const std::wstring folder = L"file:" + store.Place().substr(7) + L"/";
    const bool inside = root.compare(0, folder.size(), folder) == 0;
    const bool ours =
        owner && owner->storeId == mine.storeId && (owner->place == mine.place || inside);
    if (owner && !ours && !adopt_)
        throw VaultError(DRM::Err::kForeignRoot,
                         zub::trf("the file-server root %s belongs to another store (%s); name "
                                  "this store's own root, or add --adopt if this store was moved "
                                  "there on purpose",
                                  WideToUtf8(root).c_str(), WideToUtf8(owner->place).c_str()));

    // Only a folder that is there: a repository pointed at an empty place
    // would look as if its files were lost.
    cmd->logIn(resolved, port, L"", Utf8ToWide(Store::kAdmin), store.SystemPassword());
    const std::wstring dir = repo->nfsRootDir();
    // Renamed onto itself, a folder that is there is refused as moved into
    // itself; only a missing one is "not found".
    if (cmd->renameFolder(resolved, port, dir, dir) != 0 &&
        cmd->GetErrorNumber() != NFS::NFS_E_EXISTS && cmd->GetErrorNumber() != NFS::NFS_E_INVALID)
        fail(zub::trf("the repository's folder %s is not usable on %s: ", WideToUtf8(dir).c_str(),
                      WideToUtf8(server).c_str()));
    if (!owner || !ours || owner->place != mine.place) store.ClaimRoot(resolved, port);

    auto db = store.OpenProductDb();
    ZUBDB::QVParams values(false);
    values.AddParam(0, L"Server", server, false, false, L"=");
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", repo->id(), false, L"=");
    cond.AddParam(1, L"Server", repo->nfsServer(), false, false, L"=");
    if (db->UpdateRows(L"QV_DMRepo", values, cond, L"", L"") != 0 || db->CommitTrans() != 0)
        throw VaultError::Library(db->errNumber(), db->errDescription());
    s_.out().Say(zub::trf("Repository %s now uses the file server %s (%s)",
                          WideToUtf8(repo->name()).c_str(), WideToUtf8(server).c_str(),
                          WideToUtf8(root).c_str()));
}

}  // namespace zub::vault
