#include "logcommand.h"

#include <cstdio>

#include "docvault/audittrail.h"
#include "output.h"
#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/oledate.h"
#include "zub/text.h"

using zub::Utf8ToWide;
using zub::WideToUtf8;

namespace {

const std::vector<Column> kColumns = {
    {"time", "TIME"}, {"user", "USER"}, {"action", "ACTION"}, {"repository", "REPOSITORY"},
    {"id", "DOC"},    {"path", "PATH"}, {"detail", "DETAIL"}};

std::string Detail(const DRM::AuditEntry& e) {
    if (e.action == L"move")
        return "from " +
               (e.detail.empty() ? std::string("/") : WideToUtf8(PathText::ShowFolder(e.detail)));
    if (e.action == L"rename") return "from " + WideToUtf8(e.detail);
    if (e.action == L"unlock") return "held by " + WideToUtf8(e.detail);
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
    CLI::App* log = app.add_subcommand(
        "log", "The audit trail: renames, deletes and unlocks, oldest first (read right)");
    log->add_option("REPO", repo_, "Repository id or name (default: every one you may read)");
    log->add_option("--doc", doc_, "Only entries of this document id");
    log->add_option("--user", user_, "Only entries of this user");
    log->add_option("--since", since_, "Only entries from this time on (YYYY-MM-DD[ HH:MM[:SS]])");
    log->add_flag("--json", *s_.out().JsonFlag(), "Print JSON");
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
        s_.RequireAdmin("read the audit trail of every repository");
    }
    if (!doc_.empty()) {
        if (!Session::IsNumber(doc_))
            throw VaultError(VaultErr::kNoDoc,
                             L"--doc takes a document id, not " + Utf8ToWide(doc_));
        filter.docId = std::stoi(doc_);
    }
    filter.userName = Utf8ToWide(user_);
    if (!since_.empty() && (filter.since = ParseTime(since_)) == 0.0)
        throw VaultError(
            VaultErr::kBadName,
            L"--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not " + Utf8ToWide(since_));
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
        j["id"] = e.docId;
        j["path"] = WideToUtf8(PathText::Show(e.phyUrl, e.name, e.ext));
        j["version"] = WideToUtf8(e.version);
        j["detail"] = Detail(e);
        rows.push_back(std::move(j));
    }
    s_.out().List(kColumns, rows, "(no entries)");
}
