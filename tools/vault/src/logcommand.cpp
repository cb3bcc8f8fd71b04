#include "logcommand.h"

#include <cstdio>

#include "docvault/audittrail.h"
#include "output.h"
#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/oledate.h"
#include "zub/text.h"

namespace zub::vault {

namespace {

const std::vector<Column> kColumns = {{"time", ZUB_N_("TIME")},
                                      {"user", ZUB_N_("USER")},
                                      {"action", ZUB_N_("ACTION"), true},
                                      {"repository", ZUB_N_("REPOSITORY")},
                                      {"id", ZUB_N_("DOC")},
                                      {"path", ZUB_N_("PATH")},
                                      {"detail", ZUB_N_("DETAIL")}};

// The actions the library records, shown in the user's words.
[[maybe_unused]] const char* const kActions[] = {ZUB_N_("delete"),
                                                 ZUB_N_("rename"),
                                                 ZUB_N_("move"),
                                                 ZUB_N_("unlock"),
                                                 ZUB_N_("user deactivate"),
                                                 ZUB_N_("user remove"),
                                                 ZUB_N_("user rename"),
                                                 ZUB_N_("role rename"),
                                                 ZUB_N_("role remove"),
                                                 ZUB_N_("role member add"),
                                                 ZUB_N_("role member remove")};

std::string Detail(const DRM::AuditEntry& e) {
    if (e.action == L"move")
        return zub::trf(
            "from %s", e.detail.empty() ? "/" : WideToUtf8(PathText::ShowFolder(e.detail)).c_str());
    if (e.action == L"rename") return zub::trf("from %s", WideToUtf8(e.detail).c_str());
    if (e.action == L"unlock") return zub::trf("held by %s", WideToUtf8(e.detail).c_str());
    return WideToUtf8(e.detail);
}

}  // namespace

double LogCommand::ParseTime(const std::string& text) {
    zub::OleDateParts p;
    int year = 0;
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char rest = 0;
    const int n = std::sscanf(text.c_str(), "%d-%u-%u %u:%u:%u%c", &year, &month, &day, &hour,
                              &minute, &second, &rest);
    if (n != 3 && n != 5 && n != 6) return 0.0;
    p.year = year;
    p.month = month;
    p.day = day;
    p.hour = hour;
    p.minute = minute;
    p.second = second;
    double date = 0.0;
    return zub::OleDateFromParts(p, date) ? date : 0.0;
}

void LogCommand::Register(CLI::App& app) {
    CLI::App* log =
        app.add_subcommand("log", zub::tr("The audit trail: renames, moves, deletes, unlocks and "
                                          "rights changes, oldest first (read right)"));
    log->add_option("REPO", repo_,
                    zub::tr("Repository id or name (default: every one you may read)"));
    log->add_option("--doc", doc_, zub::tr("Only entries of this document id"));
    log->add_option("--user", user_, zub::tr("Only entries of this user"));
    log->add_option("--since", since_,
                    zub::tr("Only entries from this time on (YYYY-MM-DD[ HH:MM[:SS]])"));
    log->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    log->callback([this] { Run(); });
}

void LogCommand::Run() {
    DRM::filterForAudit filter;
    std::wstring repoName;
    if (!repo_.empty()) {
        auto repo = s_.OpenRepo(repo_, Session::Right::Read);
        filter.docRepoId = repo->id();
        repoName = repo->name();
    } else {
        // The whole store's trail names every repository's documents.
        s_.RequireAdmin(zub::tr("read the audit trail of every repository"));
    }
    if (!doc_.empty()) {
        if (!Session::IsNumber(doc_))
            throw VaultError(VaultErr::kNoDoc,
                             zub::trf("--doc takes a document id, not %s", doc_.c_str()));
        filter.docId = std::stoi(doc_);
    }
    filter.userName = Utf8ToWide(user_);
    if (!since_.empty() && (filter.since = ParseTime(since_)) == 0.0)
        throw VaultError(
            VaultErr::kBadName,
            zub::trf("--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not %s", since_.c_str()));
    auto trail = s_.Connected<DRM::AuditTrail>();
    std::vector<DRM::AuditEntry> entries;
    VaultError::Check(trail->GetAll(filter, entries), *trail);
    Json rows = Json::array();
    for (const auto& e : entries) {
        Json j;
        j["time"] = Output::OleDate(e.time);
        j["user"] = WideToUtf8(e.userName);
        j["action"] = WideToUtf8(e.action);
        j["repository_id"] = e.docRepoId;
        j["repository"] = WideToUtf8(repoName.empty() ? std::to_wstring(e.docRepoId) : repoName);
        // Rights, user and role changes name no document.
        j["id"] = e.docId != 0 ? Json(e.docId) : Json();
        j["path"] =
            e.docId != 0 ? Json(WideToUtf8(PathText::Show(e.phyUrl, e.name, e.ext))) : Json();
        j["version"] = WideToUtf8(e.version);
        j["detail"] = Detail(e);
        rows.push_back(std::move(j));
    }
    s_.out().List(kColumns, rows, zub::tr("(no entries)"));
}

}  // namespace zub::vault
