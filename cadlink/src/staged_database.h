// A database file built beside the one it is to replace, so that the old one
// stays as it was until the new one is complete: a failure (or a kill) at any
// point leaves either the old file or the new one, never an empty one.
#pragma once

#include <string>

namespace ZUBCAX {

class StagedDatabase {
public:
    // Creates an empty file of its own in the folder of `target` and holds a
    // lock on it while it lives. Throws std::system_error.
    explicit StagedDatabase(const std::wstring& target);
    // Removes the staged file and its companions unless it was published.
    ~StagedDatabase();
    StagedDatabase(const StagedDatabase&) = delete;
    StagedDatabase& operator=(const StagedDatabase&) = delete;

    const std::wstring& path() const noexcept { return stagedWide_; }

    // Makes the staged file the target: synced, the target's own journal
    // settled into it, renamed over it, the folder synced. Every connection to
    // the staged file must be closed. Throws std::system_error; the target is
    // then unchanged.
    void Publish();

    // Removes what refreshes of `target` that died left behind; a staged
    // file whose owner is alive is locked and stays.
    static void SweepAbandoned(const std::wstring& target);

private:
    void Discard() noexcept;

    std::string target_;
    std::string staged_;
    std::wstring stagedWide_;
    int fd_ = -1;
    bool published_ = false;
};

}  // namespace ZUBCAX
