// The peer: a local Subversion repository (file://) and a working copy, driven
// with the svn command line as a user would, one commit per check-in.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "measure.h"

namespace zub::bench {

class SvnPeer {
public:
    // Makes dir/repo with svnadmin and checks it out into dir/wc.
    explicit SvnPeer(std::filesystem::path dir);

    const std::filesystem::path& WorkingCopy() const { return wc_; }
    // Each file (a name inside the working copy) is added and committed on its own.
    Measure AddAndCommitEach(const std::vector<std::string>& names) const;
    // Each modified file is committed on its own.
    Measure CommitEach(const std::vector<std::string>& names) const;

    static std::string Version();

private:
    std::vector<std::string> Svn(std::vector<std::string> args) const;

    std::filesystem::path dir_;
    std::filesystem::path wc_;
};

}  // namespace zub::bench
