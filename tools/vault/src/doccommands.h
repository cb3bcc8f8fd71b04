// vault doc add|list|show|checkout|checkin|unlock|revert|view|get|history|rename|move|delete
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "docvault/doc.h"
#include "docvault/dochistorys.h"
#include "docvault/docrepo.h"
#include "output.h"
#include "progress.h"
#include "session.h"

namespace zub::vault {

class DocCommands {
public:
    explicit DocCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    static Json ToJson(const DRM::Doc& doc);
    // "1.4" for a saved main/sub pair; "3" when both are 3 and the document
    // is numbered with whole numbers.
    static std::string VersionText(int main, int sub, bool wholeNumbers);
    // One row per version, newest first, the current one included, each with
    // the check-in (or the add) that made it.
    static Json VersionRows(const DRM::Doc& doc, const DRM::DocHistorys& history);

private:
    // The document and its repository, after checking the acting user's right.
    struct Target;

    // The subcommands, in the order the help lists them.
    void RegisterAdd(CLI::App& group);
    void RegisterReading(CLI::App& group);
    void RegisterHolding(CLI::App& group);
    void RegisterDownloads(CLI::App& group);
    void RegisterHistory(CLI::App& group);
    void RegisterChanges(CLI::App& group);

    // A local file to add and the repository folder it goes to.
    struct LocalFile {
        std::filesystem::path local;
        std::string shown;    // as the user named it
        std::wstring folder;  // "a/b" below the repository
    };
    // PATH... with folders expanded, each with its folder below --base.
    std::vector<LocalFile> Expand();
    // Adds one file; returns the new document as JSON.
    Json AddOne(const DRM::DocRepo& repo, const LocalFile& file, Progress& progress);
    void Add();
    void List();
    void Show();
    void CheckOut();
    // REPO:folder/, REPO:pattern or REPO: name several documents.
    static bool IsSelection(const std::string& ref);
    void CheckOutMany();
    // The content a file had when it was frozen, or a document has now.
    struct Content {
        std::string sha256;
        long long bytes = -1;
    };
    // The repository paths ("a/b.prt") the baseline --baseline froze, with
    // the content each had.
    std::map<std::string, Content> FrozenPaths(const DRM::DocRepo& repo, std::string& name);
    // The content of the document's current version as its row records.
    Content CurrentContent(int docId);
    // A check-out holds the current version: one that is not the frozen
    // content would let its check-in undo the changes made since.
    void RequireAsFrozen(const DRM::Doc& doc, const Content& frozen, const std::string& repo,
                         const std::string& baseline);
    // Checks the document out into dir (made when missing); its JSON with "file".
    Json CheckOutTo(DRM::Doc& doc, const std::filesystem::path& dir);
    void CheckIn();
    void Unlock();
    void Revert();
    void View();
    void View(Target& t);
    void Get();
    void History();
    void Rename();
    void Move();
    void Delete();

    Target Open(Session::Right right);
    // The document, or a deleted one by its old id (read right).
    Target OpenOrDeleted();
    void ListDeleted(const DRM::DocRepo& repo);
    // The local folder downloads go to (DIR or the current one), made.
    std::filesystem::path LocalDir();
    // Moves a fetched file to target, unless a local file with other content
    // is there (and no --force): local edits are never overwritten silently.
    void Place(const std::filesystem::path& fetched, const std::filesystem::path& target);

    Session& s_;
    std::string doc_;
    std::string repo_;
    std::string file_;
    std::string dir_;
    std::string folder_;
    std::string base_;
    std::string baseline_;
    std::vector<std::string> paths_;
    std::string message_;
    CLI::Option* messageOption_ = nullptr;
    std::string cadForm_;
    std::string version_;
    std::string name_;
    int cadType_ = 0;
    bool force_ = false;
    bool allowUnchanged_ = false;
    bool keepLocal_ = false;
    bool nextMain_ = false;
    bool deleted_ = false;
};

}  // namespace zub::vault
