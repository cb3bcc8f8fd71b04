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
#include "zub/text.h"

using zub::Utf8ToWide;
using zub::WideToUtf8;

namespace {

const std::vector<Column> kListColumns = {{"id", "ID"},
                                          {"name", "NAME"},
                                          {"directory", "DIRECTORY"},
                                          {"strategy_id", "STRATEGY"},
                                          {"creator", "CREATOR"},
                                          {"created", "CREATED"}};

const std::vector<Column> kShowFields = {{"id", "Id"},
                                         {"name", "Name"},
                                         {"directory", "Server directory"},
                                         {"server", "File server"},
                                         {"port", "Port"},
                                         {"creator", "Creator"},
                                         {"created", "Created"},
                                         {"strategy_id", "Version strategy"},
                                         {"documents", "Documents"},
                                         {"checked_out", "Checked out"},
                                         {"baselines", "Baselines"},
                                         {"next_main_version", "Next main version"},
                                         {"disk_files", "Stored files"},
                                         {"disk_bytes", "Disk use (bytes)"},
                                         {"full_copy_bytes", "As full copies (bytes)"}};

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
    CLI::App* group = app.add_subcommand("repo",
                                         "Document repositories: create, list, show, "
                                         "rename, set-strategy, backup, delete, repoint");
    group->require_subcommand(1);

    CLI::App* c = group->add_subcommand("create", "Create a repository owned by the acting user");
    c->add_option("NAME", name_, "Name of the new repository")->required();
    c->add_option("--dir", dir_,
                  "Directory on the file server (default \\repos\\NAME); it may not lie "
                  "inside or around another repository's");
    c->add_option("--strategy", strategy_, "Version strategy id")->capture_default_str();
    c->add_option("--desc", desc_, "Description (shown by this command only)");
    c->add_flag("--json", *s_.out().JsonFlag(), "Print the new repository as JSON");
    c->callback([this] { Create(); });

    CLI::App* l = group->add_subcommand("list", "List repositories, all or those a user may see");
    l->alias("ls");
    l->add_option("--for", forUser_, "Only those USER may see (through rights or roles)");
    l->add_flag("--json", *s_.out().JsonFlag(), "Print JSON");
    l->callback([this] { List(); });

    CLI::App* sh = group->add_subcommand("show", "Show one repository");
    sh->add_option("REPO", repo_, "Repository id or name")->required();
    sh->add_flag("--json", *s_.out().JsonFlag(), "Print JSON");
    sh->callback([this] { Show(); });

    CLI::App* rn = group->add_subcommand("rename", "Rename a repository (manage right)");
    rn->add_option("REPO", repo_, "Repository id or name")->required();
    rn->add_option("NEWNAME", name_, "New name")->required();
    rn->callback([this] { Rename(); });

    CLI::App* st =
        group->add_subcommand("set-strategy", "Set a repository's version strategy (manage right)");
    st->add_option("REPO", repo_, "Repository id or name")->required();
    st->add_option("ID", strategy_, "Version strategy id")->required();
    st->callback([this] { SetStrategy(); });

    CLI::App* b = group->add_subcommand(
        "backup", "Copy the current files of a repository into a local folder (read right)");
    b->add_option("REPO", repo_, "Repository id or name")->required();
    b->add_option("DIR", dir_, "Local folder (made when missing)")->required();
    b->add_flag("--force", force_, "Overwrite local files of those names with other content");
    b->callback([this] { Backup(); });

    CLI::App* d =
        group->add_subcommand("delete",
                              "Delete a repository with its files, documents, baselines and rights "
                              "(manage right)");
    d->alias("rm");
    d->add_option("REPO", repo_, "Repository id or name")->required();
    d->add_flag("--force", force_, "Delete even when documents are checked out");
    d->callback([this] { Delete(); });

    CLI::App* rp = group->add_subcommand(
        "repoint",
        "Point a repository at another file server (default: this store's own root), e.g. in a "
        "copied store whose rows still name the original's root by its absolute path; the "
        "administrator only");
    rp->add_option("REPO", repo_, "Repository id or name")->required();
    rp->add_option("SERVER", server_,
                   "File server holding the repository's folder (default: this store's own "
                   "root, file:files)");
    rp->add_flag("--adopt", adopt_,
                 "Claim the server's root for this store even though it names another store "
                 "(only after deliberately moving the store)");
    rp->callback([this] { Repoint(); });
}

void RepoCommands::CheckNewName(const std::wstring& name) {
    if (name.empty() || Session::IsNumber(WideToUtf8(name)) ||
        name.find_first_of(L"/\\:") != std::wstring::npos || name == L"." || name == L"..")
        throw VaultError(VaultErr::kBadName,
                         L"invalid repository name \"" + name +
                             L"\": it may not be a number nor contain / \\ or :");
    DRM::DocRepos all;
    s_.store().Connect(all);
    VaultError::Check(all.GetAll(), all);
    for (int i = 0; i < all.Count(); ++i)
        if (all.Repo(i)->name() == name)
            throw VaultError(VaultErr::kNameTaken,
                             L"a repository named " + name + L" exists already");
}

void RepoCommands::Create() {
    const DRM::UserRecord& actor = s_.Actor();
    const std::wstring name = Utf8ToWide(name_);
    CheckNewName(name);
    std::wstring dir = dir_.empty() ? L"\\repos\\" + name : PathText::Folder(Utf8ToWide(dir_));
    if (dir.empty())
        throw VaultError(VaultErr::kBadName, L"the server directory may not be the root");
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
        throw VaultError(VaultErr::kNameTaken, L"a repository named " + name + L" exists already");
    if (status == DRM::DocRepo::kOverlaps && repo->ErrNumber() == DRM::Err::kInvalidName)
        throw VaultError(repo->ErrNumber(), repo->ErrDesc());
    if (status == DRM::DocRepo::kOverlaps)
        throw VaultError(VaultErr::kOverlap,
                         L"the server directory " + dir +
                             L" lies inside or around another repository's; choose one with --dir");
    if (status != DRM::DocRepo::kCreated) {
        if (repo->ErrNumber() != 0) throw VaultError(repo->ErrNumber(), repo->ErrDesc());
        VaultError::Check(status, *repo);
    }
    VaultError::Check(repo->Read(repo->id()), *repo);
    s_.out().Done(ToJson(*repo), "Created repository " + WideToUtf8(name) + " (id " +
                                     std::to_string(repo->id()) + ") in " + WideToUtf8(dir));
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
            throw VaultError(VaultErr::kUnknownUser, L"no user named " + Utf8ToWide(forUser_));
        VaultError::Check(all.GetAll(user->id), all);
    }
    Json rows = Json::array();
    for (int i = 0; i < all.Count(); ++i) {
        // The listing carries no creator or time; the full row has them.
        auto repo = s_.Connected<DRM::DocRepo>();
        VaultError::Check(repo->Read(all.Repo(i)->id()), *repo);
        rows.push_back(ToJson(*repo));
    }
    s_.out().List(kListColumns, rows, "(no repositories)");
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
        s_.out().Say("Repository " + WideToUtf8(old) + " keeps its name");
        return;
    }
    CheckNewName(name);
    repo->set_name(name);
    VaultError::Check(repo->updateBaseInfo(), *repo);
    s_.out().Say("Renamed repository " + WideToUtf8(old) + " to " + WideToUtf8(name));
}

void RepoCommands::SetStrategy() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Manage);
    s_.Strategy(strategy_);
    repo->set_versionStraId(strategy_);
    VaultError::Check(repo->SaveVersionStra(), *repo);
    s_.out().Say("Repository " + WideToUtf8(repo->name()) + " now uses version strategy " +
                 std::to_string(strategy_));
}

void RepoCommands::Backup() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    const std::filesystem::path dir = std::filesystem::absolute(dir_);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw VaultError(VaultErr::kLocalFile, L"cannot make the folder " + PathText::Wide(dir) +
                                                   L": " + Utf8ToWide(ec.message()));
    if (force_) {
        Progress progress("Backing up " + WideToUtf8(repo->name()), Progress::Wanted());
        VaultError::Check(repo->BackUp(PathText::Wide(dir)), *repo);
    } else {
        // Fetched beside the target first, so that a refusal writes nothing.
        ScratchDir scratch(dir);
        {
            Progress progress("Backing up " + WideToUtf8(repo->name()), Progress::Wanted());
            VaultError::Check(repo->BackUp(PathText::Wide(scratch.path())), *repo);
        }
        const auto conflicts = LocalFiles::Conflicts(scratch.path(), dir);
        if (!conflicts.empty())
            throw VaultError(
                VaultErr::kLocalFile,
                PathText::Wide(dir / conflicts.front()) + L" exists with other content" +
                    (conflicts.size() > 1
                         ? L" (and " + std::to_wstring(conflicts.size() - 1) + L" more)"
                         : L"") +
                    L"; use --force to overwrite");
        try {
            LocalFiles::MoveInto(scratch.path(), dir);
        } catch (const std::filesystem::filesystem_error& e) {
            throw VaultError(VaultErr::kLocalFile, L"cannot write into " + PathText::Wide(dir) +
                                                       L": " + Utf8ToWide(e.code().message()));
        }
    }
    s_.out().Say("Copied the current files of repository " + WideToUtf8(repo->name()) + " to " +
                 PathText::ShowLocal(dir));
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
                throw VaultError(VaultErr::kHeldByOther,
                                 L"document " +
                                     PathText::Show(d->phyUrl(), d->fileName(), d->ext()) +
                                     L" is checked out by " + d->checkOutByName() +
                                     L"; use --force to delete the repository anyway");
        }
    }
    VaultError::Check(repo->Delete(), *repo);
    s_.out().Say("Deleted repository " + WideToUtf8(repo->name()));
}

void RepoCommands::Repoint() {
    s_.RequireAdmin("re-point a repository");
    const Store& store = s_.store();
    auto repo = s_.Repo(repo_);
    const std::wstring server = server_.empty() ? store.FileServer() : Utf8ToWide(server_);
    const std::wstring resolved = store.ResolvedFileServer(server);
    const auto port = static_cast<unsigned short>(repo->nfsPort());
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    auto fail = [&](const std::wstring& what) {
        wchar_t* text = nullptr;
        cmd->GetLastError(&text);
        const std::wstring why = text ? text : L"";
        NFS::CNFS_Cmd::FreeText(text);
        throw VaultError(cmd->GetErrorNumber(), what + why);
    };

    // The root must be this store's: its own (moved or copied along with
    // it), one nobody claimed, or one taken over on purpose.
    std::wstring text;
    if (cmd->rootOwner(resolved, port, text) != 0) fail(L"");
    const auto owner = NFS::RootOwner::Parse(text);
    const NFS::RootOwner mine{store.EnsureStoreId(), store.Place()};
    std::wstring root;
    if (cmd->where(resolved, port, L"", root) != 0) fail(L"");
    const std::wstring folder = L"file:" + store.Place().substr(7) + L"/";
    const bool inside = root.compare(0, folder.size(), folder) == 0;
    const bool ours =
        owner && owner->storeId == mine.storeId && (owner->place == mine.place || inside);
    if (owner && !ours && !adopt_)
        throw VaultError(DRM::Err::kForeignRoot,
                         L"the file-server root " + root + L" belongs to another store (" +
                             owner->place +
                             L"); name this store's own root, or add --adopt if this store was "
                             L"moved there on purpose");

    // Only a folder that is there: a repository pointed at an empty place
    // would look as if its files were lost.
    cmd->logIn(resolved, port, L"", Utf8ToWide(Store::kAdmin), store.SystemPassword());
    const std::wstring dir = repo->nfsRootDir();
    // Renamed onto itself, a folder that is there is refused as moved into
    // itself; only a missing one is "not found".
    if (cmd->renameFolder(resolved, port, dir, dir) != 0 &&
        cmd->GetErrorNumber() != NFS::NFS_E_EXISTS && cmd->GetErrorNumber() != NFS::NFS_E_INVALID)
        fail(L"the repository's folder " + dir + L" is not usable on " + server + L": ");
    if (!owner || !ours || owner->place != mine.place) store.ClaimRoot(resolved, port);

    auto db = store.OpenProductDb();
    ZUBDB::QVParams values(false);
    values.AddParam(0, L"Server", server, false, false, L"=");
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", repo->id(), false, L"=");
    cond.AddParam(1, L"Server", repo->nfsServer(), false, false, L"=");
    if (db->UpdateRows(L"QV_DMRepo", values, cond, L"", L"") != 0 || db->CommitTrans() != 0)
        throw VaultError(db->errNumber(), db->errDescription());
    s_.out().Say("Repository " + WideToUtf8(repo->name()) + " now uses the file server " +
                 WideToUtf8(server) + " (" + WideToUtf8(root) + ")");
}
