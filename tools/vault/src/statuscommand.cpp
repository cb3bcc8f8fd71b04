#include "statuscommand.h"

#include <ctime>
#include <filesystem>
#include <map>

#include "checkoutrecords.h"
#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"
#include "docvault/docrepos.h"
#include "filesum.h"
#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace fs = std::filesystem;

namespace {

const std::vector<Column> kMine = {{"repository", ZUB_N_("REPO")},   {"id", ZUB_N_("ID")},
                                   {"path", ZUB_N_("PATH")},         {"version", ZUB_N_("VERSION")},
                                   {"local", ZUB_N_("LOCAL"), true}, {"file", ZUB_N_("FILE")}};

const std::vector<Column> kEveryone = {
    {"repository", ZUB_N_("REPO")},  {"id", ZUB_N_("ID")},         {"path", ZUB_N_("PATH")},
    {"version", ZUB_N_("VERSION")},  {"holder", ZUB_N_("HOLDER")}, {"held_for", ZUB_N_("HELD")},
    {"local", ZUB_N_("LOCAL"), true}};

// Seconds since the epoch as the other listings write times.
std::string LocalTime(long long seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!::localtime_r(&t, &parts)) return "";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

std::string StatusCommand::LocalState(const fs::path& file, const std::string& sha256,
                                      long long bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return ZUB_N_("missing");
    const auto size = fs::file_size(file, ec);
    if (ec) return ZUB_N_("unknown");
    if (bytes >= 0 && static_cast<long long>(size) != bytes) return ZUB_N_("changed");
    if (sha256.empty()) return ZUB_N_("unknown");
    const std::string local = FileSum::Sha256(file);
    if (local.empty()) return ZUB_N_("unknown");
    return local == sha256 ? ZUB_N_("unchanged") : ZUB_N_("changed");
}

void StatusCommand::Register(CLI::App& app) {
    CLI::App* st = app.add_subcommand(
        "status", zub::tr("List the documents you hold, with the state of your local copies"));
    st->alias("st");
    st->add_flag(
        "--all", all_,
        zub::tr("Everyone's check-outs in the repositories you may read, with how long each "
                "is held"));
    st->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    st->callback([this] { Run(); });
}

void StatusCommand::Run() {
    const DRM::UserRecord& actor = s_.Actor();
    auto repos = s_.Connected<DRM::DocRepos>();
    VaultError::Check(repos->GetAll(), *repos);
    std::map<int, std::wstring> repoNames;
    std::map<int, bool> readable;
    for (int i = 0; i < repos->Count(); ++i)
        repoNames[repos->Repo(i)->id()] = repos->Repo(i)->name();

    auto db = s_.store().OpenProductDb();
    ZUBDB::QVParams none(false);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db->ExecuteSql(rs,
                       L"select DocId, DocRepoId, Name, Ext, phyUrl, CurrentVersion, "
                       L"CurrentOperatorId, CurrentOperatorName, ContentSha256, ContentBytes "
                       L"from QV_DMDoc where CurrentState = 1 order by DocRepoId, phyUrl, Name, "
                       L"Ext",
                       none, L"", 0, 0) != 0)
        throw VaultError(-1, zub::trf("cannot read the check-outs: %s",
                                      zub::LibraryText(WideToUtf8(db->errDescription())).c_str()));
    const CheckoutRecords records = CheckoutRecords::Of(s_.store());
    const long long now = static_cast<long long>(std::time(nullptr));
    Json rows = Json::array();
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        const int docId = static_cast<int>(rs->GetIntAt(0));
        const int repoId = static_cast<int>(rs->GetIntAt(1));
        const int holderId = static_cast<int>(rs->GetIntAt(6));
        if (!all_ && holderId != actor.id) continue;
        if (all_ && holderId != actor.id) {
            auto known = readable.find(repoId);
            if (known == readable.end()) {
                bool ok = true;
                try {
                    s_.Require(repoId, repoNames[repoId], Session::Right::Read);
                } catch (const VaultError&) {
                    ok = false;
                }
                known = readable.emplace(repoId, ok).first;
            }
            if (!known->second) continue;
        }
        Json j;
        j["repository"] = WideToUtf8(repoNames[repoId]);
        j["repository_id"] = repoId;
        j["id"] = docId;
        j["path"] =
            WideToUtf8(PathText::Show(rs->GetStringAt(4), rs->GetStringAt(2), rs->GetStringAt(3)));
        j["version"] = WideToUtf8(rs->GetStringAt(5));
        j["holder"] = WideToUtf8(rs->GetStringAt(7));
        j["holder_id"] = holderId;
        const auto record = records.Get(docId, holderId);
        j["held_since"] = record ? Json(LocalTime(record->since)) : Json();
        j["held_for"] = record ? Json(CheckoutRecords::Held(now - record->since)) : Json();
        j["held_seconds"] = record ? Json(now - record->since) : Json();
        // Only the holder's own copy is looked at.
        const bool mine = record && holderId == actor.id;
        j["file"] = mine ? Json(record->file.string()) : Json();
        j["local"] =
            mine ? Json(LocalState(record->file, WideToUtf8(rs->GetStringAt(8)), rs->GetInt64At(9)))
                 : Json();
        rows.push_back(std::move(j));
    }
    s_.out().List(all_ ? kEveryone : kMine, rows,
                  all_ ? std::string(zub::tr("(no documents are checked out)"))
                       : zub::trf("(you hold no documents: %s)", WideToUtf8(actor.name).c_str()));
}

}  // namespace zub::vault
