// vault verify [--repair] [--content] [REPO]: checks that a store is whole (both
// databases, the file server's password, abandoned transfers, and what the
// document library finds in each repository) and, asked to, repairs what can
// be repaired without touching a user's data.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "session.h"

namespace zub::vault {

class VerifyCommand {
public:
    explicit VerifyCommand(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    struct Finding {
        std::string kind;
        std::string text;  // UTF-8: the library's own text, or ours (translated)
        std::string fix;   // the command (or step) that fixes it, translated
        bool repaired = false;
        // What it concerns, where there is one: repository, document id,
        // version, server path.
        std::string repository{};
        int document = 0;
        std::wstring version{};
        std::wstring path{};
        std::wstring baseline{};
        bool library = false;  // text is the library's, translated where shown
    };

private:
    void Run();
    void CheckDatabase(const std::filesystem::path& file, std::vector<Finding>& findings);
    void CheckServerDatabase(const wchar_t* database, const wchar_t* probe,
                             std::vector<Finding>& findings);
    void CheckPassword(std::vector<Finding>& findings);
    // Entries of the store open beyond its owner (and its group, when shared).
    void CheckModes(std::vector<Finding>& findings);
    // User names that differ only in case (stores made before they were unique).
    void CheckUserNames(std::vector<Finding>& findings);
    // The store's identity and the owners its file-server roots name.
    void CheckIdentity(std::vector<Finding>& findings);
    // Abandoned transfers on the store's file server outside the repositories.
    void CheckDebris(const std::wstring& server, std::vector<Finding>& findings);
    // What the library finds in the repository (0: every one).
    void CheckRepositories(int repoId, std::vector<Finding>& findings);
    // Rows without a content sum (filled in with --repair) and, with
    // --content, every file against its sum.
    void CheckContent(int repoId, std::vector<Finding>& findings);

    Session& s_;
    std::string repo_;
    bool repair_ = false;
    bool content_ = false;
    long staleSeconds_ = 3600;
};

}  // namespace zub::vault
