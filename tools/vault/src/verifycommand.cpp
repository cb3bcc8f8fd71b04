#include "verifycommand.h"

#include <sqlite3.h>

#include <map>
#include <memory>

#include "docvault/contentcheck.h"
#include "docvault/docrepos.h"
#include "docvault/repocheck.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/text.h"

using zub::Utf8ToWide;
using zub::WideToUtf8;

namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

std::string RepairCommand(const std::string& ref) {
    return "vault verify --repair" + (ref.empty() ? std::string() : " " + ref);
}

}  // namespace

void VerifyCommand::Register(CLI::App& app) {
    CLI::App* c = app.add_subcommand(
        "verify",
        "Check the store (databases, file-server login, files of every document, history "
        "version and baseline, leftovers of interrupted operations); the administrator only");
    c->add_option("REPO", repo_, "Only this repository's rows and files");
    c->add_flag("--repair", repair_,
                "Complete or undo interrupted operations and remove abandoned leftovers; "
                "never deletes a user's data");
    c->add_flag("--content", content_,
                "Also read every stored file and compare it with its recorded SHA-256 (slow: "
                "reads all the data)");
    c->add_option("--stale-after", staleSeconds_,
                  "Staged leftovers younger than this many seconds may belong to a running "
                  "operation and stay (default 3600)");
    c->add_flag("--json", *s_.out().JsonFlag(), "Print the findings as JSON");
    c->callback([this] { Run(); });
}

void VerifyCommand::CheckDatabase(const std::filesystem::path& file,
                                  std::vector<Finding>& findings) {
    const std::wstring name = Utf8ToWide(file.filename().string());
    auto problem = [&](const std::string& detail) {
        findings.push_back({"database", L"database " + name + L": " + Utf8ToWide(detail),
                            "restore the store from a backup; the database file is damaged"});
    };
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, CloseDb> db(raw);
    if (opened != SQLITE_OK) {
        problem(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(opened));
        return;
    }
    sqlite3_busy_timeout(db.get(), 10000);
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &rawStatement, nullptr) !=
        SQLITE_OK) {
        problem(sqlite3_errmsg(db.get()));
        return;
    }
    const std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(rawStatement);
    int step;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
        const std::string line = text ? text : "";
        if (line != "ok") problem(line);
    }
    if (step != SQLITE_DONE) problem(sqlite3_errmsg(db.get()));
}

void VerifyCommand::CheckPassword(std::vector<Finding>& findings) {
    const Store& store = s_.store();
    if (store.FilesPasswordKept()) return;
    Finding f{"login",
              L"the file-server root " + Utf8ToWide(store.FilesRoot().string()) +
                  L" keeps no password, so it serves anyone (a store made by an "
                  L"older vault)",
              RepairCommand("")};
    if (repair_) {
        store.WriteFilesPassword();
        f.repaired = true;
    }
    findings.push_back(std::move(f));
}

void VerifyCommand::CheckDebris(const std::wstring& server, int port, const std::wstring& dir,
                                std::vector<Finding>& findings) {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    const auto nfsPort = static_cast<unsigned short>(port);
    cmd->logIn(server, nfsPort, L"", Utf8ToWide(Store::kAdmin), s_.store().SystemPassword());
    std::vector<NFS::NfsDebris> debris;
    const int status = repair_ ? cmd->removeDebris(server, nfsPort, dir, debris)
                               : cmd->listDebris(server, nfsPort, dir, debris);
    if (status != 0) {
        wchar_t* text = nullptr;
        cmd->GetLastError(&text);
        const std::wstring why = text ? text : L"";
        NFS::CNFS_Cmd::FreeText(text);
        findings.push_back({"unchecked",
                            L"cannot look for leftovers in " + dir + L" on " + server + L": " + why,
                            "check that the file server is reachable"});
        return;
    }
    for (const auto& d : debris)
        findings.push_back({"debris",
                            L"leftover of an interrupted transfer: " + d.path + L" (" +
                                std::to_wstring(d.bytes) + L" bytes)",
                            RepairCommand(repo_), repair_});
}

void VerifyCommand::CheckRepositories(int repoId, std::vector<Finding>& findings) {
    std::map<int, std::string> names;
    {
        DRM::DocRepos all;
        s_.store().Connect(all);
        VaultError::Check(all.GetAll(), all);
        for (int i = 0; i < all.Count(); ++i)
            names[all.Repo(i)->id()] = WideToUtf8(all.Repo(i)->name());
    }
    DRM::RepoCheck check;
    s_.store().Connect(check);
    std::vector<DRM::RepoFinding> found;
    VaultError::Check(check.Examine(repoId, repair_, found, staleSeconds_), check);
    for (const auto& f : found) {
        const std::string repo =
            names.count(f.docRepoId) ? names[f.docRepoId] : std::to_string(f.docRepoId);
        const std::string doc = std::to_string(f.docId);
        using Kind = DRM::RepoFinding::Kind;
        Finding out{"", f.text, RepairCommand(repo), f.repaired};
        switch (f.kind) {
            case Kind::DocFileMissing:
                out.kind = "file-missing";
                out.fix =
                    "put the file back from a backup, or drop the document with `vault doc "
                    "delete " +
                    doc + " --force` (its saved versions stay)";
                break;
            case Kind::HistoryFileMissing:
                out.kind = "history-file-missing";
                out.fix = "put the saved version back from a backup; the history row stays";
                break;
            case Kind::UntrackedTrunkFile:
                out.kind = "untracked-file";
                out.fix = "add it with `vault doc add " + repo +
                          " FILE --folder SUB`, or remove it from the server folder";
                break;
            case Kind::InterruptedOperation:
                out.kind = "interrupted";
                break;
            case Kind::StagingDebris:
                out.kind = "staged-leftover";
                out.fix += " (once older than --stale-after seconds)";
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
            case Kind::NotChecked:
                out.kind = "unchecked";
                out.fix = "check that the file server is reachable and run verify again";
                break;
        }
        findings.push_back(std::move(out));
    }
}

void VerifyCommand::CheckContent(int repoId, std::vector<Finding>& findings) {
    DRM::ContentCheck check;
    s_.store().Connect(check);
    std::vector<DRM::ContentFinding> found;
    VaultError::Check(check.Examine(repoId, content_, repair_, found), check);
    for (const auto& f : found) {
        using Kind = DRM::ContentFinding::Kind;
        Finding out{"", f.text, RepairCommand(repo_), f.repaired};
        switch (f.kind) {
            case Kind::SumMissing:
                out.kind = "content-sum-missing";
                out.fix += " (reads the file and records its sum)";
                break;
            case Kind::Mismatch:
                out.kind = "content-mismatch";
                out.fix = f.version.empty()
                              ? "put the file back from a backup, or check in a good copy"
                              : "put the saved version back from a backup";
                break;
            case Kind::NotChecked:
                out.kind = "unchecked";
                out.fix = "check that the file server is reachable and run verify again";
                break;
        }
        findings.push_back(std::move(out));
    }
}

void VerifyCommand::Run() {
    s_.RequireAdmin("verify the store");
    const Store& store = s_.store();
    std::vector<Finding> findings;
    CheckDatabase(store.ProductDbFile(), findings);
    CheckDatabase(store.SystemDbFile(), findings);
    CheckPassword(findings);
    if (repo_.empty()) {
        CheckDebris(store.ResolvedFileServer(store.FileServer()), 0, L"", findings);
        CheckRepositories(0, findings);
        CheckContent(0, findings);
    } else {
        auto repo = s_.Repo(repo_);
        CheckDebris(store.ResolvedFileServer(repo->nfsServer()), repo->nfsPort(),
                    repo->nfsRootDir(), findings);
        CheckRepositories(repo->id(), findings);
        CheckContent(repo->id(), findings);
    }

    Output& out = s_.out();
    std::size_t open = 0;
    Json rows = Json::array();
    for (const auto& f : findings) {
        if (!f.repaired) ++open;
        rows.push_back({{"kind", f.kind},
                        {"text", WideToUtf8(f.text)},
                        {"fix", f.fix},
                        {"repaired", f.repaired}});
        if (f.repaired) {
            out.Say("repaired: " + WideToUtf8(f.text));
        } else {
            out.Say("problem: " + WideToUtf8(f.text));
            out.Say("  fix: " + f.fix);
        }
    }
    if (out.json()) out.List({}, rows, "");
    if (open != 0)
        throw VaultError(VaultErr::kInconsistent,
                         std::to_wstring(open) +
                             (open == 1 ? L" problem needs" : L" problems need") + L" attention");
    out.Say(findings.empty() ? "The store is consistent."
                             : "The store is consistent again (" + std::to_string(findings.size()) +
                                   " repaired).");
}
