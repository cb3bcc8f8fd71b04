#include "doccommands.h"

#include <fnmatch.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <vector>

#include "checkoutrecords.h"
#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"
#include "docvault/audittrail.h"
#include "docvault/dochistorys.h"
#include "docvault/docs.h"
#include "docvault/errors.h"
#include "localfiles.h"
#include "messageeditor.h"
#include "pathtext.h"
#include "progress.h"
#include "scratchdir.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace fs = std::filesystem;

struct DocCommands::Target {
    std::unique_ptr<DRM::Doc> doc;
    std::unique_ptr<DRM::DocRepo> repo;
    bool deleted = false;  // read from its delete's entry in the audit trail
};

namespace {

const std::vector<Column> kListColumns = {
    {"id", ZUB_N_("ID")},           {"path", ZUB_N_("PATH")},
    {"version", ZUB_N_("VERSION")}, {"state", ZUB_N_("STATE"), true},
    {"holder", ZUB_N_("HOLDER")},   {"modified", ZUB_N_("MODIFIED")},
    {"last_operator", ZUB_N_("BY")}};

const std::vector<Column> kShowFields = {{"id", ZUB_N_("Id")},
                                         {"repository", ZUB_N_("Repository")},
                                         {"path", ZUB_N_("Path")},
                                         {"version", ZUB_N_("Version")},
                                         {"state", ZUB_N_("State"), true},
                                         {"holder", ZUB_N_("Held by")},
                                         {"revisions", ZUB_N_("Saved versions")},
                                         {"creator", ZUB_N_("Created by")},
                                         {"created", ZUB_N_("Created")},
                                         {"last_operator", ZUB_N_("Last change by")},
                                         {"modified", ZUB_N_("Last change")},
                                         {"cad_type", ZUB_N_("CAD type")}};

const std::vector<Column> kDeletedColumns = {{"id", ZUB_N_("ID")},
                                             {"path", ZUB_N_("PATH")},
                                             {"version", ZUB_N_("LAST VERSION")},
                                             {"deleted", ZUB_N_("DELETED")},
                                             {"deleted_by", ZUB_N_("BY")}};

const std::vector<Column> kHistoryColumns = {{"version", ZUB_N_("VERSION")},
                                             {"time", ZUB_N_("CHECKED IN")},
                                             {"user", ZUB_N_("BY")},
                                             {"message", ZUB_N_("MESSAGE")}};

Json TimeOrNull(double t) {
    const std::string text = Output::OleDate(t);
    return text.empty() ? Json() : Json(text);
}

std::string Shown(const DRM::Doc& doc) {
    return WideToUtf8(PathText::Show(doc.phyUrl(), doc.fileName(), doc.ext()));
}

std::wstring FileName(const DRM::Doc& doc) { return doc.fileName() + L"." + doc.ext(); }

fs::path LocalName(const DRM::Doc& doc) { return PathText::Local(FileName(doc)); }

// The refusal while another user holds the document; tail names a way past it.
VaultError HeldByOther(const DRM::Doc& doc, bool forceHint = false) {
    const std::string holder = WideToUtf8(doc.checkOutByName());
    return VaultError(VaultErr::kHeldByOther,
                      forceHint ? zub::trf("document %s is checked out by %s; use --force to "
                                           "delete it anyway",
                                           Shown(doc).c_str(), holder.c_str())
                                : zub::trf("document %s is checked out by %s", Shown(doc).c_str(),
                                           holder.c_str()));
}

// The library's warning: its number and text, in the user's language.
void Warn(const BO& bo) {
    std::cerr << zub::trf("vault: warning %ld: %s", static_cast<long>(bo.ErrNumber()),
                          Output::Visible(zub::LibraryText(WideToUtf8(bo.ErrDesc()))).c_str())
              << '\n';
}

// A library refusal that another process's change caused after our own
// checks passed: the document is read again so the message names its holder.
void CheckRace(int status, DRM::Doc& doc, Session& s, const std::wstring& actor) {
    if (status == DRM::Err::kHeldByOther || status == DRM::Err::kNotHolder) {
        auto now = s.Connected<DRM::Doc>();
        if (now->Read(doc.id()) == 0) {
            if (now->state() == 1 && now->checkOutByName() != actor) throw HeldByOther(*now);
            throw VaultError(
                VaultErr::kNotHolder,
                now->state() == 1
                    ? zub::trf("document %s is held by %s now; another vault finished first",
                               Shown(*now).c_str(), WideToUtf8(now->checkOutByName()).c_str())
                    : zub::trf("document %s is not checked out now; another vault finished first",
                               Shown(*now).c_str()));
        }
    }
    VaultError::Check(status, doc);
    // Committed, but its files are not all in place yet: the next operation
    // on the document finishes that.
    if (doc.ErrNumber() == DRM::Err::kPublishPending) Warn(doc);
}

VaultError OtherContent(const fs::path& target) {
    return VaultError(VaultErr::kLocalFile,
                      zub::trf("%s exists with other content; use --force to overwrite it",
                               target.string().c_str()));
}

// The document's saved versions, newest first; none yet is an empty history,
// not a failure.
void ListHistory(Session& s, const DRM::Doc& doc, DRM::DocHistorys& history) {
    s.store().Connect(history);
    DRM::filterForDocHistory filter;
    filter.docId = doc.id();
    const int status = history.GetAll(filter);
    if (status != DRM::Err::kNoMatch) VaultError::Check(status, history);
}

fs::path RequireLocalFile(const std::string& file) {
    const fs::path path = fs::absolute(file);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw VaultError(VaultErr::kLocalFile, zub::trf("no such file: %s", file.c_str()));
    return path;
}

// A version as the document's numbering writes it: "M.S" beside a dotted
// current version, a whole number beside a whole one.
bool OfDocumentsForm(const std::string& version, const std::wstring& current) {
    auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 9 &&
               std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (current.empty()) return true;
    if (current.find(L'.') == std::wstring::npos) return digits(version);
    const auto dot = version.find('.');
    return dot != std::string::npos && digits(version.substr(0, dot)) &&
           digits(version.substr(dot + 1));
}

}  // namespace

std::string DocCommands::VersionText(int main, int sub, bool wholeNumbers) {
    if (wholeNumbers && main == sub) return std::to_string(main);
    return std::to_string(main) + "." + std::to_string(sub);
}

Json DocCommands::ToJson(const DRM::Doc& doc) {
    const bool out = doc.state() == 1;
    Json j;
    j["id"] = doc.id();
    j["repository_id"] = doc.docRepoId();
    j["path"] = Shown(doc);
    j["folder"] = WideToUtf8(PathText::ShowFolder(doc.phyUrl()));
    j["name"] = WideToUtf8(FileName(doc));
    j["version"] = WideToUtf8(doc.currentVersion());
    j["state"] = out ? ZUB_N_("checked out") : ZUB_N_("checked in");
    j["checked_out"] = out;
    j["holder"] = out ? Json(WideToUtf8(doc.checkOutByName())) : Json();
    j["holder_id"] = out ? Json(doc.checkOutById()) : Json();
    j["creator"] = WideToUtf8(doc.creByName());
    j["creator_id"] = doc.creById();
    j["created"] = TimeOrNull(doc.creTime());
    j["last_operator"] = WideToUtf8(doc.lstUptByName());
    j["last_operator_id"] = doc.lstUptById();
    j["modified"] = TimeOrNull(doc.lstUptTime());
    j["cad_type"] = doc.caxDocType();
    return j;
}

namespace {

constexpr const char* kDocHelp = ZUB_N_("Document id, or REPO:path/name.ext");
constexpr const char* kManyHelp = ZUB_N_(
    "Document id, REPO:path/name.ext, or several: REPO:folder/ (all below it), "
    "'REPO:folder/*.prt' (a pattern), REPO: (all); several keep their folders below DIR");
constexpr const char* kDirHelp =
    ZUB_N_("Local folder (default: the current one; made when missing)");
constexpr const char* kForceHelp = ZUB_N_("Overwrite a local file of that name with other content");

}  // namespace

void DocCommands::Register(CLI::App& app) {
    CLI::App* group = app.add_subcommand(
        "doc", zub::tr("Documents: add, list, show, checkout, checkin, unlock, revert, view, get, "
                       "history, rename, move, delete"));
    group->require_subcommand(1);
    // The order here is the order of the help.
    RegisterAdd(*group);
    RegisterReading(*group);
    RegisterHolding(*group);
    RegisterDownloads(*group);
    RegisterHistory(*group);
    RegisterChanges(*group);
}

void DocCommands::RegisterAdd(CLI::App& group) {
    CLI::App* a =
        group.add_subcommand("add", zub::tr("Add a local file as a new document (write right)"));
    a->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    a->add_option("PATH", paths_,
                  zub::tr("Local files and folders (folders with everything below them); each file "
                          "keeps its folder below --base"))
        ->required();
    a->add_option("--folder", folder_, zub::tr("Sub-folder of the repository to add below (a/b)"));
    a->add_option("--base", base_,
                  zub::tr("Local folder whose layout the repository repeats (default: the current "
                          "one); files outside it go straight into --folder"));
    a->add_option("--cad-type", cadType_, zub::tr("CAD document type stored with it"))
        ->capture_default_str();
    a->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new document as JSON"));
    a->callback([this] { Add(); });
}

void DocCommands::RegisterReading(CLI::App& group) {
    CLI::App* l =
        group.add_subcommand("list", zub::tr("List a repository's documents with state and "
                                             "holder (read right)"));
    l->alias("ls");
    l->add_option("REPO", repo_, zub::tr("Repository id or name"))->required();
    l->add_flag("--deleted", deleted_,
                zub::tr("List the deleted documents instead; their history stays reachable by id"));
    l->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    l->callback([this] { List(); });

    CLI::App* sh = group.add_subcommand("show", zub::tr("Show one document (read right)"));
    sh->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    sh->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    sh->callback([this] { Show(); });
}

void DocCommands::RegisterHolding(CLI::App& group) {
    CLI::App* co = group.add_subcommand(
        "checkout",
        zub::tr("Download a document into a folder and hold it for editing (write right)"));
    co->alias("co");
    co->add_option("DOC", doc_, zub::tr(kManyHelp))->required();
    co->add_option("DIR", dir_, zub::tr(kDirHelp));
    co->add_flag("--force", force_, zub::tr(kForceHelp));
    co->add_option("--baseline", baseline_,
                   zub::tr("With several documents: only those the baseline (name or id) froze, "
                           "each refused when changed since"));
    co->callback([this] { CheckOut(); });

    CLI::App* ci = group.add_subcommand(
        "checkin", zub::tr("Store a new version of a document you hold (write right)"));
    ci->alias("ci");
    ci->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    ci->add_option("FILE", file_, zub::tr("Local file with the new content (default: ./NAME.EXT)"));
    messageOption_ = ci->add_option(
        "-m,--message", message_,
        zub::tr("What changed (on a terminal without -m: written in $VISUAL or $EDITOR)"));
    ci->add_option("--cad-form", cadForm_,
                   zub::tr("Id of the CAD form recorded with this version"));
    ci->add_flag("--main", nextMain_,
                 zub::tr("Make the next main version (2.0 after 1.x; the repository's next main "
                         "version as vault repo show gives it)"));
    ci->add_flag("--allow-unchanged", allowUnchanged_,
                 zub::tr("Make a new version even when the file is the current version's content"));
    ci->callback([this] { CheckIn(); });

    CLI::App* u = group.add_subcommand(
        "unlock",
        zub::tr(
            "End a check-out without a check-in; the document keeps its version (the holder, or "
            "manage right)"));
    u->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    u->callback([this] { Unlock(); });

    CLI::App* rv = group.add_subcommand(
        "revert",
        zub::tr("Give back your check-out and put the local file back to the checked-out version"));
    rv->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    rv->add_option("DIR", dir_, zub::tr("Folder of the local copy (default: the current one)"));
    rv->add_flag("--keep-local", keepLocal_, zub::tr("Leave the local file as it is"));
    rv->callback([this] { Revert(); });
}

void DocCommands::RegisterDownloads(CLI::App& group) {
    CLI::App* v = group.add_subcommand("view", zub::tr("Download the current file (read right)"));
    v->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    v->add_option("DIR", dir_, zub::tr(kDirHelp));
    v->add_flag("--force", force_, zub::tr(kForceHelp));
    v->callback([this] { View(); });

    CLI::App* g = group.add_subcommand(
        "get", zub::tr("Download any version, the current one included, under the document's name "
                       "(read right)"));
    g->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    g->add_option("VERSION", version_, zub::tr("Version as listed by `vault doc history`"))
        ->required();
    g->add_option("DIR", dir_, zub::tr(kDirHelp));
    g->add_flag("--force", force_, zub::tr(kForceHelp));
    g->callback([this] { Get(); });
}

void DocCommands::RegisterHistory(CLI::App& group) {
    CLI::App* h =
        group.add_subcommand("history", zub::tr("List every version, newest first, the current one "
                                                "included (read right)"));
    h->alias("log");
    h->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    h->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    h->callback([this] { History(); });
}

void DocCommands::RegisterChanges(CLI::App& group) {
    CLI::App* rn = group.add_subcommand("rename", zub::tr("Rename a document (write right)"));
    rn->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    rn->add_option("NEWNAME", name_, zub::tr("New file name with extension"))->required();
    rn->callback([this] { Rename(); });

    CLI::App* mv = group.add_subcommand(
        "move",
        zub::tr("Move a document to another folder, keeping its id and history (write right)"));
    mv->alias("mv");
    mv->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    mv->add_option("FOLDER", folder_, zub::tr("Folder of the repository (a/b; / for the top)"))
        ->required();
    mv->callback([this] { Move(); });

    CLI::App* d = group.add_subcommand(
        "delete",
        zub::tr("Delete a document's row and current file; its saved versions stay (write "
                "right)"));
    d->alias("rm");
    d->add_option("DOC", doc_, zub::tr(kDocHelp))->required();
    d->add_flag("--force", force_, zub::tr("Delete even when another user holds it"));
    d->callback([this] { Delete(); });
}

DocCommands::Target DocCommands::OpenOrDeleted() {
    s_.Actor();
    Target t;
    try {
        t.doc = s_.Document(doc_);
    } catch (const VaultError& e) {
        if (e.number() != DRM::Err::kDocMissing || !Session::IsNumber(doc_)) throw;
        // A deleted document keeps its saved versions under its old id.
        auto doc = s_.Connected<DRM::Doc>();
        auto trail = s_.Connected<DRM::AuditTrail>();
        if (trail->ReadDeleted(std::stoi(doc_), *doc) != 0) throw;
        t.doc = std::move(doc);
        t.deleted = true;
    }
    t.repo = s_.OpenRepo(std::to_string(t.doc->docRepoId()), Session::Right::Read);
    return t;
}

DocCommands::Target DocCommands::Open(Session::Right right) {
    s_.Actor();
    Target t;
    t.doc = s_.Document(doc_);
    t.repo = s_.OpenRepo(std::to_string(t.doc->docRepoId()), right);
    return t;
}

fs::path DocCommands::LocalDir() {
    const fs::path dir = fs::absolute(dir_.empty() ? "." : dir_).lexically_normal();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec))
        throw VaultError(VaultErr::kLocalFile,
                         ec ? zub::trf("cannot make the folder %s: %s", dir.string().c_str(),
                                       ec.message().c_str())
                            : zub::trf("cannot make the folder %s", dir.string().c_str()));
    return dir;
}

void DocCommands::Place(const fs::path& fetched, const fs::path& target) {
    std::error_code ec;
    if (!force_ && fs::exists(target, ec) && !LocalFiles::SameContent(fetched, target))
        throw OtherContent(target);
    fs::rename(fetched, target, ec);
    if (ec)
        throw VaultError(
            VaultErr::kLocalFile,
            zub::trf("cannot write %s: %s", target.string().c_str(), ec.message().c_str()));
}

std::vector<DocCommands::LocalFile> DocCommands::Expand() {
    const fs::path base = fs::absolute(base_.empty() ? "." : base_).lexically_normal();
    std::vector<LocalFile> files;
    auto add = [&](const fs::path& file, const std::string& shown) {
        const fs::path relative = file.parent_path().lexically_relative(base);
        std::wstring folder = Utf8ToWide(folder_);
        if (!relative.empty() && *relative.begin() != ".." && relative != ".")
            folder += L"/" + PathText::Wide(relative);
        files.push_back({file, shown, folder});
    };
    for (const auto& given : paths_) {
        const fs::path path = fs::absolute(given).lexically_normal();
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> found;
            for (auto it = fs::recursive_directory_iterator(path, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file(ec)) found.push_back(it->path());
            std::sort(found.begin(), found.end());
            for (const auto& f : found) add(f, PathText::ShowLocal(f));
        } else {
            add(path, given);
        }
    }
    return files;
}

Json DocCommands::AddOne(const DRM::DocRepo& repo, const LocalFile& file, Progress& progress) {
    const DRM::UserRecord& actor = s_.Actor();
    const fs::path local = RequireLocalFile(file.shown);
    const std::wstring name = PathText::Wide(local.filename());
    // Here a plain character, on the file server a folder separator.
    if (name.find(L'\\') != std::wstring::npos)
        throw VaultError(VaultErr::kBadName,
                         zub::trf("a document name may not contain \\: %s; rename the file, or "
                                  "use --folder for a sub-folder",
                                  WideToUtf8(name).c_str()));
    PathText path = PathText::Split(name);
    path.folder = PathText::Folder(file.folder);

    auto doc = s_.Connected<DRM::Doc>();
    doc->set_docRepoId(repo.id());
    doc->set_fileName(path.name);
    doc->set_ext(path.ext);
    doc->set_phyUrl(path.folder);
    doc->set_creById(actor.id);
    doc->set_caxDocType(cadType_);
    progress.Relabel(zub::trf("Uploading %s", file.shown.c_str()));
    VaultError::Check(doc->Add(PathText::Wide(local)), *doc);
    // Numbering can fail without failing the add; the document then has no version.
    if (doc->ErrNumber() != 0) Warn(*doc);
    auto stored = s_.Connected<DRM::Doc>();
    VaultError::Check(stored->Read(doc->id()), *stored);
    return ToJson(*stored);
}

void DocCommands::Add() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Write);
    const std::vector<LocalFile> files = Expand();
    const bool one = paths_.size() == 1 && files.size() == 1 && files[0].shown == paths_[0];
    if (one) {
        Json added;
        {
            Progress progress(zub::trf("Uploading %s", files[0].shown.c_str()), Progress::Wanted());
            added = AddOne(*repo, files[0], progress);
        }
        s_.out().Done(added, zub::trf("Added %s to repository %s as document %d, version %s",
                                      added["path"].get<std::string>().c_str(),
                                      WideToUtf8(repo->name()).c_str(), added["id"].get<int>(),
                                      added["version"].get<std::string>().c_str()));
        return;
    }
    // Many files: one progress line, each failure named as it happens, one summary.
    Json added = Json::array();
    Json failed = Json::array();
    {
        Progress progress(zub::tr("Adding"), Progress::Wanted(), stderr, 0);
        for (std::size_t i = 0; i < files.size(); ++i) {
            progress.Relabel(
                zub::trf("Adding %zu/%zu %s", i + 1, files.size(), files[i].shown.c_str()));
            try {
                added.push_back(AddOne(*repo, files[i], progress));
            } catch (const VaultError& e) {
                Json f = e.ToJson();
                f["file"] = files[i].shown;
                failed.push_back(std::move(f));
                progress.Interrupt();
                std::cerr << e.Line() << " (" << Output::Visible(files[i].shown) << ")\n";
            }
        }
    }
    const std::string summary = zub::trf("Added %zu of %zu files to repository %s", added.size(),
                                         files.size(), WideToUtf8(repo->name()).c_str());
    for (const auto& a : added)
        s_.out().Say("  " + std::to_string(a["id"].get<int>()) + "  " +
                     a["path"].get<std::string>() + "  " + a["version"].get<std::string>());
    s_.out().Done({{"added", added}, {"failed", failed}}, summary);
    if (!failed.empty())
        throw VaultError(VaultErr::kPartly,
                         zub::trf("%zu of %zu files were not added (named above); the other %zu "
                                  "were",
                                  failed.size(), files.size(), added.size()));
}

void DocCommands::List() {
    auto repo = s_.OpenRepo(repo_, Session::Right::Read);
    if (deleted_) {
        ListDeleted(*repo);
        return;
    }
    DRM::Docs docs;
    s_.store().Connect(docs);
    DRM::filterForDoc filter;
    filter.docRepoId = repo->id();
    VaultError::Check(docs.GetAll(filter), docs);
    Json rows = Json::array();
    for (int i = 0; i < docs.Count(); ++i) rows.push_back(ToJson(*docs.GetDoc(i)));
    s_.out().List(kListColumns, rows,
                  zub::trf("(no documents in repository %s)", WideToUtf8(repo->name()).c_str()));
}

void DocCommands::ListDeleted(const DRM::DocRepo& repo) {
    auto trail = s_.Connected<DRM::AuditTrail>();
    std::vector<DRM::AuditEntry> entries;
    VaultError::Check(trail->GetDeleted(repo.id(), entries), *trail);
    Json rows = Json::array();
    for (const auto& e : entries) {
        Json j;
        j["id"] = e.docId;
        j["path"] = WideToUtf8(PathText::Show(e.phyUrl, e.name, e.ext));
        j["version"] = WideToUtf8(e.version);
        j["deleted"] = TimeOrNull(e.time);
        j["deleted_by"] = WideToUtf8(e.userName);
        rows.push_back(std::move(j));
    }
    s_.out().List(
        kDeletedColumns, rows,
        zub::trf("(no deleted documents in repository %s)", WideToUtf8(repo.name()).c_str()));
}

void DocCommands::Show() {
    Target t = Open(Session::Right::Read);
    Json j = ToJson(*t.doc);
    j["repository"] = WideToUtf8(t.repo->name());
    const long revision = t.doc->GetRevision();
    // Without saved versions the library reports 49603; that is a count of 0.
    if (t.doc->ErrNumber() == DRM::Err::kNoHistory)
        j["revisions"] = 0;
    else if (t.doc->ErrNumber() != 0)
        VaultError::Check(static_cast<int>(t.doc->ErrNumber()), *t.doc);
    else
        j["revisions"] = revision;
    s_.out().Show(kShowFields, j);
}

bool DocCommands::IsSelection(const std::string& ref) {
    const auto colon = ref.find(':');
    if (colon == std::string::npos || Session::IsNumber(ref)) return false;
    const std::string path = ref.substr(colon + 1);
    return path.empty() || path.back() == '/' || path.find_first_of("*?[") != std::string::npos;
}

Json DocCommands::CheckOutTo(DRM::Doc& doc, const fs::path& dir) {
    const DRM::UserRecord& actor = s_.Actor();
    if (doc.state() == 1 && doc.checkOutById() != actor.id) throw HeldByOther(doc);
    const fs::path target = dir / LocalName(doc);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec)
            throw VaultError(VaultErr::kLocalFile,
                             zub::trf("cannot make the folder %s: %s", dir.string().c_str(),
                                      ec.message().c_str()));
    }
    if (!force_ && fs::exists(target, ec)) {
        // Compare before the row is marked: a refused checkout holds nothing.
        ScratchDir scratch(dir);
        int viewed;
        {
            Progress progress(zub::trf("Downloading %s", WideToUtf8(FileName(doc)).c_str()),
                              Progress::Wanted());
            viewed = doc.View(PathText::Wide(scratch.path()));
        }
        VaultError::Check(viewed, doc);
        if (!LocalFiles::SameContent(scratch.path() / LocalName(doc), target))
            throw OtherContent(target);
    }
    doc.set_checkOutById(actor.id);
    doc.set_checkOutByName(actor.name);
    int status;
    {
        Progress progress(zub::trf("Downloading %s", WideToUtf8(FileName(doc)).c_str()),
                          Progress::Wanted());
        status = doc.CheckOut(PathText::Wide(dir));
    }
    CheckRace(status, doc, s_, actor.name);
    CheckoutRecords::Of(s_.store())
        .Put({doc.id(), actor.id, target, static_cast<long long>(std::time(nullptr))});
    // The row as the check-out left it, holder included.
    auto stored = s_.Connected<DRM::Doc>();
    VaultError::Check(stored->Read(doc.id()), *stored);
    Json j = ToJson(*stored);
    j["file"] = target.string();
    return j;
}

void DocCommands::CheckOut() {
    if (!baseline_.empty() && !IsSelection(doc_))
        throw CLI::ValidationError(
            "--baseline", zub::tr("needs several documents: REPO:, REPO:folder/ or a pattern"));
    if (IsSelection(doc_)) {
        CheckOutMany();
        return;
    }
    Target t = Open(Session::Right::Write);
    DRM::Doc& doc = *t.doc;
    const Json j = CheckOutTo(doc, LocalDir());
    s_.out().Done(j, zub::trf("Checked out %s (document %d, version %s) to %s", Shown(doc).c_str(),
                              doc.id(), WideToUtf8(doc.currentVersion()).c_str(),
                              PathText::ShowLocal(j["file"].get<std::string>()).c_str()));
}

std::map<std::string, DocCommands::Content> DocCommands::FrozenPaths(const DRM::DocRepo& repo,
                                                                     std::string& name) {
    auto baseline = s_.Baseline(repo, baseline_);
    name = WideToUtf8(baseline->name());
    auto db = s_.store().OpenProductDb();
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"BaseLineId", static_cast<long long>(baseline->id()), false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db->ExecuteSql(rs,
                       L"select Path, ContentSha256, ContentBytes from ZUB_DMBaselineFile where "
                       L"BaseLineId = ?",
                       params, L"", 0, 0) != 0)
        throw VaultError(-1, zub::trf("cannot read the files of baseline %s: %s", name.c_str(),
                                      zub::LibraryText(WideToUtf8(db->errDescription())).c_str()));
    std::map<std::string, Content> paths;
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        std::wstring path = rs->GetStringAt(0);
        std::replace(path.begin(), path.end(), L'\\', L'/');
        while (!path.empty() && path.front() == L'/') path.erase(0, 1);
        paths[WideToUtf8(path)] = {WideToUtf8(rs->GetStringAt(1)), rs->GetInt64At(2)};
    }
    if (paths.empty())
        throw VaultError(VaultErr::kNoDoc,
                         zub::trf("baseline %s has no recorded files (a store made before they "
                                  "were kept: vault verify --repair records them)",
                                  name.c_str()));
    return paths;
}

DocCommands::Content DocCommands::CurrentContent(int docId) {
    auto db = s_.store().OpenProductDb();
    ZUBDB::QVParams params(false);
    params.AddParam(0, L"DocId", static_cast<long long>(docId), false, L"=");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db->ExecuteSql(rs, L"select ContentSha256, ContentBytes from QV_DMDoc where DocId = ?",
                       params, L"", 0, 0) != 0)
        throw VaultError(-1, zub::trf("cannot read document %d: %s", docId,
                                      zub::LibraryText(WideToUtf8(db->errDescription())).c_str()));
    if (!rs || rs->IsEOF()) return {};
    return {WideToUtf8(rs->GetStringAt(0)), rs->GetInt64At(1)};
}

void DocCommands::RequireAsFrozen(const DRM::Doc& doc, const Content& frozen,
                                  const std::string& repo, const std::string& baseline) {
    const Content now = CurrentContent(doc.id());
    if (frozen.sha256.empty() || now.sha256.empty())
        throw VaultError(VaultErr::kNotAsFrozen,
                         zub::trf("cannot tell whether document %s is as baseline %s froze it "
                                  "(no content sum is recorded); not checked out",
                                  Shown(doc).c_str(), baseline.c_str()));
    if (frozen.sha256 != now.sha256 || frozen.bytes != now.bytes)
        throw VaultError(
            VaultErr::kNotAsFrozen,
            zub::trf("document %s has changed since baseline %s (now version %s); a "
                     "check-out holds the current version, so it was not checked "
                     "out (vault baseline download %s %s gives the baseline's files)",
                     Shown(doc).c_str(), baseline.c_str(), WideToUtf8(doc.currentVersion()).c_str(),
                     repo.c_str(), baseline.c_str()));
}

void DocCommands::CheckOutMany() {
    const auto colon = doc_.find(':');
    auto repo = s_.OpenRepo(doc_.substr(0, colon), Session::Right::Write);
    const std::string pattern = doc_.substr(colon + 1);
    // A folder is everything below it; a pattern matches whole paths, its *
    // staying within one folder as in the shell.
    const std::string folder =
        !pattern.empty() && pattern.back() == '/'
            ? WideToUtf8(PathText::ShowFolder(PathText::Folder(Utf8ToWide(pattern))))
            : std::string();
    std::string baselineName;
    const std::map<std::string, Content> frozen =
        baseline_.empty() ? std::map<std::string, Content>() : FrozenPaths(*repo, baselineName);
    DRM::Docs docs;
    s_.store().Connect(docs);
    DRM::filterForDoc filter;
    filter.docRepoId = repo->id();
    VaultError::Check(docs.GetAll(filter), docs);
    std::vector<int> ids;
    for (int i = 0; i < docs.Count(); ++i) {
        const std::string path = Shown(*docs.GetDoc(i));
        const bool chosen =
            pattern.empty() ||
            (pattern.back() == '/' ? folder.empty() || path.rfind(folder + "/", 0) == 0
                                   : ::fnmatch(pattern.c_str(), path.c_str(), FNM_PATHNAME) == 0);
        if (chosen && (baseline_.empty() || frozen.count(path) != 0))
            ids.push_back(docs.GetDoc(i)->id());
    }
    if (ids.empty())
        throw VaultError(VaultErr::kNoDoc,
                         zub::trf("no document matches %s in repository %s", pattern.c_str(),
                                  WideToUtf8(repo->name()).c_str()));
    // Each document keeps its folder below DIR, so namesakes never collide.
    const fs::path dir = LocalDir();
    Json done = Json::array();
    Json failed = Json::array();
    for (int id : ids) {
        auto doc = s_.Connected<DRM::Doc>();
        try {
            VaultError::Check(doc->Read(id), *doc);
            if (!frozen.empty()) {
                // Renamed since it was listed: its frozen content is unknown.
                const auto was = frozen.find(Shown(*doc));
                RequireAsFrozen(*doc, was == frozen.end() ? Content() : was->second,
                                WideToUtf8(repo->name()), baselineName);
            }
            Json j = CheckOutTo(*doc, dir / PathText::Local(PathText::ShowFolder(doc->phyUrl())));
            s_.out().Say("  " + std::to_string(id) + "  " + Shown(*doc) + "  " +
                         WideToUtf8(doc->currentVersion()));
            done.push_back(std::move(j));
        } catch (const VaultError& e) {
            const std::string shown = doc->fileName().empty() ? std::to_string(id) : Shown(*doc);
            Json f = e.ToJson();
            f["path"] = shown;
            failed.push_back(std::move(f));
            std::cerr << e.Line() << " (" << Output::Visible(shown) << ")\n";
        }
    }
    s_.out().Done(
        {{"checked_out", done}, {"failed", failed}},
        zub::trf("Checked out %zu of %zu documents of repository %s to %s", done.size(), ids.size(),
                 WideToUtf8(repo->name()).c_str(), PathText::ShowLocal(dir).c_str()));
    if (!failed.empty())
        throw VaultError(VaultErr::kPartly,
                         zub::trf("%zu of %zu documents were not checked out (named above); the "
                                  "other %zu were",
                                  failed.size(), ids.size(), done.size()));
}

void DocCommands::CheckIn() {
    // A missing argument is a usage error, before any lookup.
    const bool edit = messageOption_->count() == 0;
    if (edit && !MessageEditor::Available())
        throw CLI::RequiredError(zub::tr("-m,--message (there is no terminal to write it on)"));
    Target t = Open(Session::Right::Write);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    if (doc.state() != 1)
        throw VaultError(
            VaultErr::kNotHolder,
            zub::trf("document %s is not checked out; check it out first", Shown(doc).c_str()));
    if (doc.checkOutById() != actor.id)
        throw VaultError(
            VaultErr::kNotHolder,
            zub::trf("document %s is checked out by %s, not by %s", Shown(doc).c_str(),
                     WideToUtf8(doc.checkOutByName()).c_str(), WideToUtf8(actor.name).c_str()));
    const fs::path local = RequireLocalFile(file_.empty() ? WideToUtf8(FileName(doc)) : file_);
    if (edit) {
        message_ = MessageEditor::Ask(
            zub::trf("What changed in %s since version %s?\nLines starting with # are left out; "
                     "an empty message checks nothing in.",
                     Shown(doc).c_str(), WideToUtf8(doc.currentVersion()).c_str()));
    }
    MessageEditor::RequireText(message_);
    const std::wstring old = doc.currentVersion();
    // A file of another name is most often the wrong file.
    if (PathText::Wide(local.filename()) != FileName(doc))
        std::cerr << zub::trf("vault: warning: checking in %s as document %s; the names differ",
                              Output::Visible(local.filename().string()).c_str(),
                              Output::Visible(Shown(doc)).c_str())
                  << '\n';
    doc.set_checkOutById(actor.id);
    doc.set_checkOutByName(actor.name);
    doc.set_modifyInfo(Utf8ToWide(message_));
    doc.set_allowUnchanged(allowUnchanged_);
    doc.set_nextMain(nextMain_);
    int status;
    {
        Progress progress(zub::trf("Uploading %s", local.filename().string().c_str()),
                          Progress::Wanted());
        // The replaced version is copied on the server before the upload.
        progress.Label(L"copy",
                       zub::trf("Saving %s %s to history", WideToUtf8(FileName(doc)).c_str(),
                                WideToUtf8(old).c_str()));
        status = cadForm_.empty() ? doc.CheckIn(PathText::Wide(local))
                                  : doc.CheckIn(PathText::Wide(local), Utf8ToWide(cadForm_));
    }
    if (status == DRM::Err::kUnchanged)
        throw VaultError(
            VaultErr::kUnchanged,
            zub::trf("%s has the content of version %s of document %s; nothing "
                     "checked in (use --allow-unchanged to make a new version "
                     "anyway, or vault doc revert to give it back)",
                     local.string().c_str(), WideToUtf8(old).c_str(), Shown(doc).c_str()));
    CheckRace(status, doc, s_, actor.name);
    CheckoutRecords::Of(s_.store()).Remove(doc.id());
    auto stored = s_.Connected<DRM::Doc>();
    VaultError::Check(stored->Read(doc.id()), *stored);
    Json j = ToJson(*stored);
    j["previous_version"] = WideToUtf8(old);
    j["message"] = message_;
    s_.out().Done(j, zub::trf("Checked in %s: version %s (was %s)", Shown(doc).c_str(),
                              WideToUtf8(doc.currentVersion()).c_str(), WideToUtf8(old).c_str()));
}

void DocCommands::View() {
    Target t = Open(Session::Right::Read);
    View(t);
}

void DocCommands::View(Target& t) {
    const fs::path dir = LocalDir();
    ScratchDir scratch(dir);
    int status;
    {
        Progress progress(zub::trf("Downloading %s", WideToUtf8(FileName(*t.doc)).c_str()),
                          Progress::Wanted());
        status = t.doc->View(PathText::Wide(scratch.path()));
    }
    VaultError::Check(status, *t.doc);
    Place(scratch.path() / LocalName(*t.doc), dir / LocalName(*t.doc));
    Json j = ToJson(*t.doc);
    j["file"] = (dir / LocalName(*t.doc)).string();
    j["fetched_version"] = WideToUtf8(t.doc->currentVersion());
    s_.out().Done(j, zub::trf("Fetched %s version %s to %s", Shown(*t.doc).c_str(),
                              WideToUtf8(t.doc->currentVersion()).c_str(),
                              PathText::ShowLocal(dir / LocalName(*t.doc)).c_str()));
}

void DocCommands::Get() {
    Target t = OpenOrDeleted();
    DRM::Doc& doc = *t.doc;
    if (!OfDocumentsForm(version_, doc.currentVersion()))
        throw VaultError(
            VaultErr::kBadName,
            doc.currentVersion().find(L'.') == std::wstring::npos
                ? zub::trf("version %s is not of the form of document %s's versions (a whole "
                           "number, like its current %s)",
                           version_.c_str(), Shown(doc).c_str(),
                           WideToUtf8(doc.currentVersion()).c_str())
                : zub::trf("version %s is not of the form of document %s's versions (MAIN.SUB, "
                           "like its current %s)",
                           version_.c_str(), Shown(doc).c_str(),
                           WideToUtf8(doc.currentVersion()).c_str()));
    if (Utf8ToWide(version_) == doc.currentVersion() && t.deleted)
        throw VaultError(VaultErr::kNoVersion,
                         zub::trf("version %s of document %s was its current file when it was "
                                  "deleted and went with it",
                                  WideToUtf8(doc.currentVersion()).c_str(), Shown(doc).c_str()));
    if (Utf8ToWide(version_) == doc.currentVersion()) {
        View(t);
        return;
    }
    DRM::DocHistorys history;
    ListHistory(s_, doc, history);
    // The saved file carries the version text as it was; whole-number and
    // main.sub numbering both store 3 as main 3, sub 3, so try both spellings.
    std::vector<std::string> candidates;
    for (int i = 0; i < history.Count(); ++i) {
        const DRM::DocHistory* h = history.History(i);
        const std::string whole = std::to_string(h->version_Main());
        const std::string dotted = VersionText(h->version_Main(), h->version_Sub(), false);
        if (version_ == dotted || (version_ == whole && h->version_Main() == h->version_Sub())) {
            candidates = {version_};
            if (h->version_Main() == h->version_Sub())
                candidates.push_back(version_ == whole ? dotted : whole);
            break;
        }
    }
    if (candidates.empty())
        throw VaultError(VaultErr::kNoVersion,
                         zub::trf("document %s has no saved version %s (see vault doc history)",
                                  Shown(doc).c_str(), version_.c_str()));
    const fs::path dir = LocalDir();
    ScratchDir scratch(dir);
    for (const auto& candidate : candidates) {
        auto attempt = s_.Connected<DRM::Doc>();
        if (t.deleted) {
            auto trail = s_.Connected<DRM::AuditTrail>();
            VaultError::Check(trail->ReadDeleted(doc.id(), *attempt), *trail);
        } else {
            VaultError::Check(attempt->Read(doc.id()), *attempt);
        }
        int status;
        {
            Progress progress(
                zub::trf("Downloading %s %s", WideToUtf8(FileName(doc)).c_str(), candidate.c_str()),
                Progress::Wanted());
            status = attempt->GetHistory(Utf8ToWide(candidate), PathText::Wide(scratch.path()));
        }
        if (status == 0) break;
        if (&candidate == &candidates.back()) VaultError::Check(status, *attempt);
    }
    Place(scratch.path() / LocalName(doc), dir / LocalName(doc));
    Json j = ToJson(doc);
    j["file"] = (dir / LocalName(doc)).string();
    j["fetched_version"] = version_;
    s_.out().Done(j, zub::trf("Fetched %s version %s to %s", Shown(doc).c_str(), version_.c_str(),
                              PathText::ShowLocal(dir / LocalName(doc)).c_str()));
}

void DocCommands::History() {
    Target t = OpenOrDeleted();
    DRM::Doc& doc = *t.doc;
    DRM::DocHistorys history;
    ListHistory(s_, doc, history);
    Json rows = VersionRows(doc, history);
    if (t.deleted) {
        // The current file went with the delete; its saved versions stay.
        rows.erase(rows.begin());
        s_.out().Say(zub::trf(
            "%s (document %d), deleted %s by %s at version %s; saved versions:", Shown(doc).c_str(),
            doc.id(), Output::OleDate(doc.lstUptTime()).c_str(),
            WideToUtf8(doc.lstUptByName()).c_str(), WideToUtf8(doc.currentVersion()).c_str()));
    } else {
        s_.out().Say(zub::trf("%s (document %d), current version %s:", Shown(doc).c_str(), doc.id(),
                              WideToUtf8(doc.currentVersion()).c_str()));
    }
    s_.out().List(kHistoryColumns, rows, zub::tr("(no saved versions)"));
}

Json DocCommands::VersionRows(const DRM::Doc& doc, const DRM::DocHistorys& history) {
    // A saved row is the version a check-in replaced and carries that
    // check-in: the message, user and time of version V are on the row of the
    // version before V; the first version's are its creation's.
    const bool whole = doc.currentVersion().find(L'.') == std::wstring::npos;
    Json rows = Json::array();
    auto row = [&](const std::string& version, const DRM::DocHistory* madeBy) {
        Json j;
        j["version"] = version;
        j["time"] = TimeOrNull(madeBy ? madeBy->operatorTime() : doc.creTime());
        j["user"] = WideToUtf8(madeBy ? madeBy->operatorName() : doc.creByName());
        j["user_id"] = madeBy ? madeBy->operatprId() : doc.creById();
        j["message"] = madeBy ? WideToUtf8(madeBy->operateInfo()) : std::string(zub::tr("(added)"));
        return j;
    };
    const DRM::DocHistory* newest = history.Count() > 0 ? history.History(0) : nullptr;
    Json current = row(WideToUtf8(doc.currentVersion()), newest);
    current["current"] = true;
    current["revision"] = history.Count() + 1;
    rows.push_back(std::move(current));
    for (int i = 0; i < history.Count(); ++i) {
        const DRM::DocHistory* h = history.History(i);
        const DRM::DocHistory* madeBy = i + 1 < history.Count() ? history.History(i + 1) : nullptr;
        Json j = row(VersionText(h->version_Main(), h->version_Sub(), whole), madeBy);
        j["current"] = false;
        j["revision"] = h->reVersion();
        j["saved_as"] = WideToUtf8(h->hisDocName());
        j["id"] = h->id();
        rows.push_back(std::move(j));
    }
    return rows;
}

void DocCommands::Rename() {
    Target t = Open(Session::Right::Write);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    const std::wstring newName = Utf8ToWide(name_);
    if (newName.find_first_of(L"/\\") != std::wstring::npos)
        throw VaultError(VaultErr::kBadName,
                         zub::trf("a new name has no folder: %s; vault doc move puts a document "
                                  "into another folder",
                                  name_.c_str()));
    const PathText path = PathText::Split(newName);
    if (doc.state() == 1 && doc.checkOutById() != actor.id) throw HeldByOther(doc);
    DRM::Docs docs;
    s_.store().Connect(docs);
    DRM::filterForDoc filter;
    filter.docRepoId = doc.docRepoId();
    VaultError::Check(docs.GetAll(filter), docs);
    for (int i = 0; i < docs.Count(); ++i) {
        const DRM::Doc* other = docs.GetDoc(i);
        if (other->id() != doc.id() && other->phyUrl() == doc.phyUrl() &&
            other->fileName() == path.name && other->ext() == path.ext)
            throw VaultError(
                VaultErr::kNameTaken,
                zub::trf("document %s exists already",
                         WideToUtf8(PathText::Show(doc.phyUrl(), path.name, path.ext)).c_str()));
    }
    const std::string old = Shown(doc);
    const int holder = doc.checkOutById();
    // The acting user goes into the audit trail.
    doc.set_checkOutById(actor.id);
    const int status = doc.ReName(newName);
    doc.set_checkOutById(holder);
    CheckRace(status, doc, s_, actor.name);
    Json j = ToJson(doc);
    j["path"] = WideToUtf8(PathText::Show(doc.phyUrl(), path.name, path.ext));
    j["name"] = name_;
    j["previous_path"] = old;
    s_.out().Done(j,
                  zub::trf("Renamed %s to %s", old.c_str(),
                           WideToUtf8(PathText::Show(doc.phyUrl(), path.name, path.ext)).c_str()));
}

void DocCommands::Move() {
    Target t = Open(Session::Right::Write);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    const std::wstring folder =
        folder_ == "/" ? std::wstring() : PathText::Folder(Utf8ToWide(folder_));
    if (doc.state() == 1 && doc.checkOutById() != actor.id) throw HeldByOther(doc);
    const std::string old = Shown(doc);
    const std::wstring to = PathText::Show(folder, doc.fileName(), doc.ext());
    if (folder == doc.phyUrl())
        throw VaultError(VaultErr::kNameTaken,
                         zub::trf("document %s is in that folder already", old.c_str()));
    const int holder = doc.checkOutById();
    doc.set_checkOutById(actor.id);
    int status = doc.Move(folder);
    doc.set_checkOutById(holder);
    if (status == DRM::Err::kDocExists)
        throw VaultError(VaultErr::kNameTaken,
                         zub::trf("document %s exists already", WideToUtf8(to).c_str()));
    CheckRace(status, doc, s_, actor.name);
    s_.out().Say(zub::trf("Moved %s to %s (document %d, version %s; its history stays)",
                          old.c_str(), WideToUtf8(to).c_str(), doc.id(),
                          WideToUtf8(doc.currentVersion()).c_str()));
}

void DocCommands::Unlock() {
    Target t = Open(Session::Right::Read);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    if (doc.state() != 1)
        throw VaultError(VaultErr::kNotHolder,
                         zub::trf("document %s is not checked out", Shown(doc).c_str()));
    const std::wstring holder = doc.checkOutByName();
    if (doc.checkOutById() != actor.id)
        s_.Require(t.repo->id(), t.repo->name(), Session::Right::Manage);
    // The administrator may hold no manage row the library could see; it acts
    // for the holder (Read left the holder in checkOutById).
    if (!s_.ActorIsAdmin()) doc.set_checkOutById(actor.id);
    doc.set_actingUserId(actor.id);
    CheckRace(doc.EndCheckOut(), doc, s_, holder);
    CheckoutRecords::Of(s_.store()).Remove(doc.id());
    Json j = ToJson(doc);
    j["state"] = ZUB_N_("checked in");
    j["checked_out"] = false;
    j["holder"] = Json();
    j["holder_id"] = Json();
    j["previous_holder"] = WideToUtf8(holder);
    s_.out().Done(j, zub::trf("Unlocked %s (document %d), held by %s; it stays at version %s",
                              Shown(doc).c_str(), doc.id(), WideToUtf8(holder).c_str(),
                              WideToUtf8(doc.currentVersion()).c_str()));
}

void DocCommands::Revert() {
    Target t = Open(Session::Right::Read);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    if (doc.state() != 1 || doc.checkOutById() != actor.id)
        throw VaultError(
            VaultErr::kNotHolder,
            doc.state() == 1
                ? zub::trf("document %s is checked out by %s, not by %s (vault doc unlock ends "
                           "another's)",
                           Shown(doc).c_str(), WideToUtf8(doc.checkOutByName()).c_str(),
                           WideToUtf8(actor.name).c_str())
                : zub::trf("document %s is not checked out", Shown(doc).c_str()));
    // Fetched first: a revert that cannot restore the file keeps the check-out.
    std::optional<ScratchDir> scratch;
    fs::path dir;
    if (!keepLocal_) {
        dir = LocalDir();
        scratch.emplace(dir);
        int status;
        {
            Progress progress(zub::trf("Downloading %s", WideToUtf8(FileName(doc)).c_str()),
                              Progress::Wanted());
            status = doc.View(PathText::Wide(scratch->path()));
        }
        VaultError::Check(status, doc);
    }
    CheckRace(doc.EndCheckOut(), doc, s_, actor.name);
    CheckoutRecords::Of(s_.store()).Remove(doc.id());
    if (scratch) {
        force_ = true;
        Place(scratch->path() / LocalName(doc), dir / LocalName(doc));
        s_.out().Say(
            zub::trf("Reverted %s (document %d): checked in at version %s; %s is that "
                     "version again",
                     Shown(doc).c_str(), doc.id(), WideToUtf8(doc.currentVersion()).c_str(),
                     PathText::ShowLocal(dir / LocalName(doc)).c_str()));
    } else {
        s_.out().Say(
            zub::trf("Reverted %s (document %d): checked in at version %s; the local file "
                     "stays as it is",
                     Shown(doc).c_str(), doc.id(), WideToUtf8(doc.currentVersion()).c_str()));
    }
}

void DocCommands::Delete() {
    Target t = Open(Session::Right::Write);
    const DRM::UserRecord& actor = s_.Actor();
    DRM::Doc& doc = *t.doc;
    if (doc.state() == 1 && doc.checkOutById() != actor.id) {
        // Taking another user's work away is the same power as unlocking it.
        if (!force_) throw HeldByOther(doc, true);
        s_.Require(t.repo->id(), t.repo->name(), Session::Right::Manage);
    }
    Json j = ToJson(doc);
    doc.set_checkOutById(actor.id);
    CheckRace(doc.Delete(), doc, s_, actor.name);
    CheckoutRecords::Of(s_.store()).Remove(doc.id());
    j["deleted"] = true;
    s_.out().Done(j, zub::trf("Deleted %s (document %d); its saved versions stay in the history",
                              Shown(doc).c_str(), doc.id()));
}

}  // namespace zub::vault
