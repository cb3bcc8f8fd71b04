#include "verifycommand.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <map>
#include <set>

#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"
#include "docvault/contentcheck.h"
#include "docvault/docrepos.h"
#include "docvault/repocheck.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/rootowner.h"
#include "zub/i18n.h"
#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/storemode.h"
#include "zub/text.h"

namespace zub::vault {

namespace {

std::string RepairCommand(const std::string& ref) {
    return "vault verify --repair" + (ref.empty() ? std::string() : " " + ref);
}

// Repository names by id, for findings that name their repository.
std::map<int, std::string> RepoNames(const Store& store) {
    std::map<int, std::string> names;
    DRM::DocRepos all;
    store.Connect(all);
    VaultError::Check(all.GetAll(), all);
    for (int i = 0; i < all.Count(); ++i)
        names[all.Repo(i)->id()] = WideToUtf8(all.Repo(i)->name());
    return names;
}

}  // namespace

void VerifyCommand::Register(CLI::App& app) {
    CLI::App* c = app.add_subcommand(
        "verify",
        zub::tr(
            "Check the store (databases, file-server login, files of every document, history "
            "version and baseline, leftovers of interrupted operations); the administrator only"));
    c->add_option("REPO", repo_, zub::tr("Only this repository's rows and files"));
    c->add_flag("--repair", repair_,
                zub::tr("Complete or undo interrupted operations and remove abandoned leftovers; "
                        "never deletes a user's data"));
    c->add_flag(
        "--content", content_,
        zub::tr("Also read every stored file and compare it with its recorded SHA-256 (slow: "
                "reads all the data)"));
    c->add_option("--stale-after", staleSeconds_,
                  zub::tr("Staged leftovers younger than this many seconds may belong to a running "
                          "operation and stay (default 3600)"));
    c->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the findings as JSON"));
    c->callback([this] { Run(); });
}

void VerifyCommand::CheckDatabase(const std::filesystem::path& file,
                                  std::vector<Finding>& findings) {
    const std::string name = file.filename().string();
    auto problem = [&](const std::string& detail) {
        findings.push_back(
            {"database", zub::trf("database %s: %s", name.c_str(), detail.c_str()),
             zub::tr("restore the store from a backup; the database file is damaged")});
    };
    try {
        const zub::sqlite::Connection db(file.string(), SQLITE_OPEN_READONLY);
        zub::sqlite::Statement check(db, "PRAGMA integrity_check");
        while (check.step())
            if (check.columnText(0) != "ok") problem(std::string(check.columnText(0)));
    } catch (const zub::sqlite::Error& e) {
        problem(e.message());
    }
}

void VerifyCommand::CheckServerDatabase(const wchar_t* database, const wchar_t* probe,
                                        std::vector<Finding>& findings) {
    std::string why;
    try {
        auto db = s_.store().OpenDb(database);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (db->ExecuteSql(rs, probe, ZUBDB::QVParams(false), L"", 0, 0) != 0)
            why = zub::LibraryText(WideToUtf8(db->errDescription()));
    } catch (const VaultError& e) {
        why = e.Message();
    }
    if (!why.empty())
        findings.push_back({"database",
                            zub::trf("database %s: %s", WideToUtf8(database).c_str(), why.c_str()),
                            zub::tr("check that the server is up and holds the store, then run "
                                    "verify again")});
}

void VerifyCommand::CheckPassword(std::vector<Finding>& findings) {
    const Store& store = s_.store();
    if (store.FilesPasswordKept()) return;
    Finding f{"login",
              zub::trf("the file-server root %s keeps no password, so it serves anyone (a "
                       "store made by an older vault)",
                       store.FilesRoot().string().c_str()),
              RepairCommand("")};
    if (repair_) {
        store.WriteFilesPassword();
        f.repaired = true;
    }
    findings.push_back(std::move(f));
}

void VerifyCommand::CheckModes(std::vector<Finding>& findings) {
    namespace fs = std::filesystem;
    const fs::path dir = s_.store().Dir();
    const zub::StoreMode policy = zub::StoreMode::Of(dir);
    std::size_t loose = 0;
    std::string example;
    auto check = [&](const fs::path& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return;
        const bool folder = S_ISDIR(st.st_mode);
        const mode_t excess = policy.Excess(st.st_mode, folder);
        if (excess == 0) return;
        if (++loose == 1) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(st.st_mode & 07777));
            example = path.string() + " (" + octal + ")";
        }
        if (repair_) ::chmod(path.c_str(), (st.st_mode & 07777) & ~excess);
    };
    check(dir);
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        if (it->path().filename() != "files") check(it->path());
    check(dir / "files");
    for (auto it = fs::recursive_directory_iterator(dir / "files", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        check(it->path());
    if (loose == 0) return;
    const std::string text =
        policy.shared()
            ? (loose == 1 ? zub::trf("1 entry of the store can be read or written by accounts "
                                     "outside its group, e.g. %s",
                                     example.c_str())
                          : zub::trf("%zu entries of the store can be read or written by "
                                     "accounts outside its group, e.g. %s",
                                     loose, example.c_str()))
            : (loose == 1 ? zub::trf("1 entry of the store can be read or written by other "
                                     "accounts, e.g. %s",
                                     example.c_str())
                          : zub::trf("%zu entries of the store can be read or written by other "
                                     "accounts, e.g. %s",
                                     loose, example.c_str()));
    const std::string chmod =
        std::string("chmod -R ") + (policy.shared() ? "o-rwx " : "go-rwx ") + dir.string();
    findings.push_back(
        {"mode", text, zub::trf("%s (or %s)", RepairCommand("").c_str(), chmod.c_str()), repair_});
}

void VerifyCommand::CheckUserNames(std::vector<Finding>& findings) {
    std::vector<std::wstring> groups;
    VaultError::Check(s_.users().CaseDuplicates(groups), s_.users());
    for (const auto& names : groups)
        findings.push_back(
            {"user-duplicate",
             zub::trf("the users %s differ only in case; a login names any of them",
                      WideToUtf8(names).c_str()),
             zub::tr("keep one of them: grant its rights to the one kept and remove the others "
                     "from QV_User")});
}

void VerifyCommand::CheckDebris(const std::wstring& server, std::vector<Finding>& findings) {
    DRM::RepoCheck check;
    s_.store().Connect(check);
    std::vector<DRM::RepoFinding> found;
    if (check.ExamineServer(server, 0, repair_, found) != 0) {
        findings.push_back(
            {"unchecked",
             zub::trf("cannot look for leftovers on %s: %s", WideToUtf8(server).c_str(),
                      zub::LibraryText(WideToUtf8(check.ErrDesc())).c_str()),
             zub::tr("check that the file server is reachable")});
        return;
    }
    for (const auto& d : found) {
        Finding f{"debris", WideToUtf8(d.text), RepairCommand(repo_), d.repaired};
        f.path = d.path;
        f.library = true;
        findings.push_back(std::move(f));
    }
}

void VerifyCommand::CheckRepositories(int repoId, std::vector<Finding>& findings) {
    const std::map<int, std::string> names = RepoNames(s_.store());
    DRM::RepoCheck check;
    s_.store().Connect(check);
    std::vector<DRM::RepoFinding> found;
    VaultError::Check(check.Examine(repoId, repair_, found, staleSeconds_), check);
    for (const auto& f : found) {
        const std::string repo =
            names.count(f.docRepoId) ? names.at(f.docRepoId) : std::to_string(f.docRepoId);
        const std::string doc = std::to_string(f.docId);
        using Kind = DRM::RepoFinding::Kind;
        Finding out{"", WideToUtf8(f.text), RepairCommand(repo), f.repaired};
        out.library = true;
        out.repository = repo;
        out.document = f.docId;
        out.version = f.version;
        out.path = f.path;
        switch (f.kind) {
            case Kind::DocFileMissing:
                out.kind = "file-missing";
                out.fix = zub::trf(
                    "put the file back from a backup, or drop the document "
                    "with `vault doc delete %s --force` (its saved versions "
                    "stay)",
                    doc.c_str());
                break;
            case Kind::HistoryFileMissing:
                out.kind = "history-file-missing";
                out.fix = zub::tr(
                    "put the saved version back from a backup; the history row "
                    "stays");
                break;
            case Kind::UntrackedTrunkFile:
                out.kind = "untracked-file";
                out.fix = zub::trf(
                    "add it with `vault doc add %s FILE --folder SUB`, or "
                    "remove it from the server folder",
                    repo.c_str());
                break;
            case Kind::InterruptedOperation:
                out.kind = "interrupted";
                break;
            case Kind::StagingDebris:
                out.kind = "staged-leftover";
                out.fix = zub::trf("%s (once older than --stale-after seconds)", out.fix.c_str());
                break;
            case Kind::BaselineFolderMissing:
                out.kind = "baseline-folder-missing";
                out.fix = "vault baseline delete " + repo + " " + std::to_string(f.baseLineId);
                break;
            case Kind::BaselineFolderWithoutRow:
                out.kind = "baseline-leftover";
                break;
            case Kind::HolderMissing:
                out.kind = "holder-missing";
                out.fix = "vault doc unlock " + doc;
                break;
            case Kind::ForeignRoot:
                out.kind = "foreign-root";
                out.fix = zub::trf(
                    "vault repo repoint %s (to this store's own root), or "
                    "vault repo repoint %s SERVER --adopt after moving the "
                    "store on purpose",
                    repo.c_str(), repo.c_str());
                break;
            case Kind::NotChecked:
                out.kind = "unchecked";
                out.fix = zub::tr("check that the file server is reachable and run verify again");
                break;
            case Kind::TransferDebris:
                out.kind = "debris";
                break;
        }
        findings.push_back(std::move(out));
    }
}

void VerifyCommand::CheckIdentity(std::vector<Finding>& findings) {
    const Store& store = s_.store();
    if (store.StoreId().empty()) {
        Finding f{"identity",
                  zub::tr("the store has no identity (made by an older vault): a copy of it "
                          "cannot tell its own file-server root from the original's"),
                  RepairCommand("")};
        if (repair_) {
            store.EnsureStoreId();
            f.repaired = true;
        }
        findings.push_back(std::move(f));
    }
    const std::wstring id = store.StoreId();
    const std::wstring folder = L"file:" + store.Place().substr(7) + L"/";
    std::set<std::wstring> seen;
    DRM::DocRepos all;
    store.Connect(all);
    VaultError::Check(all.GetAll(), all);
    std::vector<std::pair<std::wstring, int>> servers = {{store.FileServer(), 0}};
    for (int i = 0; i < all.Count(); ++i)
        servers.emplace_back(all.Repo(i)->nfsServer(), all.Repo(i)->nfsPort());
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    for (const auto& [server, port] : servers) {
        const std::wstring resolved = store.ResolvedFileServer(server);
        const auto nfsPort = static_cast<unsigned short>(port);
        std::wstring root;
        std::wstring text;
        if (cmd->where(resolved, nfsPort, L"", root) != 0 || !seen.insert(root).second ||
            cmd->rootOwner(resolved, nfsPort, text) != 0)
            continue;
        const bool inside = root.compare(0, folder.size(), folder) == 0;
        const auto owner = NFS::RootOwner::Parse(text);
        // A root claimed by another store is reported with the repository
        // that names it (the library refuses it).
        if (owner && owner->storeId != id) continue;
        if (owner && owner->place == store.Place()) continue;
        if (!inside && !owner) {
            findings.push_back(
                {"unclaimed-root",
                 zub::trf("the file-server root %s lies outside the store and names no store: "
                          "a copy of this store would write into it too",
                          WideToUtf8(root).c_str()),
                 zub::trf("if it is this store's, claim it with `vault repo repoint REPO %s "
                          "--adopt`; if it is the original's of a copied store, `vault repo "
                          "repoint REPO`",
                          WideToUtf8(server).c_str())});
            continue;
        }
        if (!inside) continue;
        // Moved or copied along with the store: its own already, and only
        // brought up to date when repairing anyway.
        if (owner && !repair_) continue;
        Finding f{
            "root-owner",
            owner ? zub::trf("the file-server root %s still names the store at %s (the "
                             "store was moved or copied)",
                             WideToUtf8(root).c_str(), WideToUtf8(owner->place).c_str())
                  : zub::trf("the file-server root %s names no store", WideToUtf8(root).c_str()),
            RepairCommand("")};
        if (repair_ && !id.empty()) {
            store.ClaimRoot(resolved, port);
            f.repaired = true;
        }
        findings.push_back(std::move(f));
    }
}

void VerifyCommand::CheckContent(int repoId, std::vector<Finding>& findings) {
    DRM::ContentCheck check;
    s_.store().Connect(check);
    std::vector<DRM::ContentFinding> found;
    VaultError::Check(check.Examine(repoId, content_, repair_, found), check);
    const std::map<int, std::string> names = RepoNames(s_.store());
    for (const auto& f : found) {
        using Kind = DRM::ContentFinding::Kind;
        Finding out{"", WideToUtf8(f.text), RepairCommand(repo_), f.repaired};
        out.library = true;
        out.repository =
            names.count(f.docRepoId) ? names.at(f.docRepoId) : std::to_string(f.docRepoId);
        out.document = f.docId;
        out.version = f.version;
        out.path = f.path;
        out.baseline = f.baseline;
        const std::string baseline = WideToUtf8(f.baseline);
        switch (f.kind) {
            case Kind::SumMissing:
                out.kind = "content-sum-missing";
                out.fix =
                    zub::trf("%s (reads the file and records its sum and size)", out.fix.c_str());
                break;
            case Kind::Mismatch:
                out.kind = "content-mismatch";
                out.fix = !f.baseline.empty()
                              ? zub::trf(
                                    "put the baseline's file back from a backup, or "
                                    "delete the baseline with `vault baseline delete %s "
                                    "%s`",
                                    out.repository.c_str(), baseline.c_str())
                          : f.version.empty()
                              ? zub::tr("put the file back from a backup, or check in a good copy")
                              : zub::tr("put the saved version back from a backup");
                break;
            case Kind::Missing:
                out.kind = "baseline-file-missing";
                out.fix = zub::trf(
                    "put the baseline's file back from a backup, or delete the "
                    "baseline with `vault baseline delete %s %s`",
                    out.repository.c_str(), baseline.c_str());
                break;
            case Kind::Unlisted:
                out.kind = "baseline-file-unlisted";
                out.fix = zub::tr(
                    "remove the file from the baseline's folder; it was not "
                    "frozen with it");
                break;
            case Kind::NotChecked:
                out.kind = "unchecked";
                out.fix = zub::tr("check that the file server is reachable and run verify again");
                break;
            case Kind::Writable:
                out.kind = "stored-writable";
                out.fix = zub::trf(
                    "%s (takes the write permission away; stored files are "
                    "never changed in place, and baselines share them)",
                    out.fix.c_str());
                break;
        }
        findings.push_back(std::move(out));
    }
}

void VerifyCommand::Run() {
    s_.RequireAdmin(zub::tr("verify the store"));
    const Store& store = s_.store();
    std::vector<Finding> findings;
    if (store.IsServer()) {
        // A server checks its own pages; what can be seen from here is that
        // both databases answer and hold the store's tables.
        CheckServerDatabase(Store::kProductDb, L"select count(*) from QV_DMDoc", findings);
        CheckServerDatabase(Store::kSystemDb, L"select count(*) from QV_SysInfo", findings);
    } else {
        CheckDatabase(store.ProductDbFile(), findings);
        CheckDatabase(store.SystemDbFile(), findings);
    }
    CheckPassword(findings);
    // A server store's folder is wherever its store file lies.
    if (!store.IsServer()) CheckModes(findings);
    CheckUserNames(findings);
    CheckIdentity(findings);
    if (repo_.empty()) {
        CheckDebris(store.ResolvedFileServer(store.FileServer()), findings);
        CheckRepositories(0, findings);
        CheckContent(0, findings);
    } else {
        auto repo = s_.Repo(repo_);
        CheckRepositories(repo->id(), findings);
        CheckContent(repo->id(), findings);
    }

    Output& out = s_.out();
    std::size_t open = 0;
    Json rows = Json::array();
    for (const auto& f : findings) {
        if (!f.repaired) ++open;
        const std::string shown = f.library ? zub::LibraryText(f.text) : f.text;
        Json row = {{"kind", f.kind},
                    {"text", f.text},
                    {"localized", shown},
                    {"fix", f.fix},
                    {"repaired", f.repaired}};
        if (!f.repository.empty()) row["repository"] = f.repository;
        if (f.document != 0) row["document"] = f.document;
        if (!f.version.empty()) row["version"] = WideToUtf8(f.version);
        if (!f.baseline.empty()) row["baseline"] = WideToUtf8(f.baseline);
        if (!f.path.empty()) row["path"] = WideToUtf8(f.path);
        rows.push_back(std::move(row));
        if (f.repaired) {
            out.Say(zub::trf("repaired: %s", shown.c_str()));
        } else {
            out.Say(zub::trf("problem: %s", shown.c_str()));
            out.Say(zub::trf("  fix: %s", f.fix.c_str()));
        }
    }
    if (out.json()) out.List({}, rows, "");
    if (open != 0)
        throw VaultError(VaultErr::kInconsistent,
                         open == 1 ? std::string(zub::tr("1 problem needs attention"))
                                   : zub::trf("%zu problems need attention", open));
    out.Say(findings.empty()
                ? std::string(zub::tr("The store is consistent."))
                : zub::trf("The store is consistent again (%zu repaired).", findings.size()));
}

}  // namespace zub::vault
