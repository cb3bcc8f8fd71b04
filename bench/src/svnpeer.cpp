#include "svnpeer.h"

#include "process.h"

namespace zub::bench {

namespace fs = std::filesystem;

SvnPeer::SvnPeer(fs::path dir) : dir_(std::move(dir)), wc_(dir_ / "wc") {
    fs::create_directories(dir_ / "config");
    const fs::path repo = dir_ / "repo";
    Process::RunChecked({"svnadmin", "create", repo.string()});
    Process::RunChecked(Svn({"checkout", "file://" + repo.string(), wc_.string()}));
}

std::vector<std::string> SvnPeer::Svn(std::vector<std::string> args) const {
    // A private configuration folder keeps the user's ~/.subversion out of it.
    std::vector<std::string> argv{"svn", "--non-interactive", "--quiet", "--config-dir",
                                  (dir_ / "config").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

Measure SvnPeer::AddAndCommitEach(const std::vector<std::string>& names) const {
    Measure total;
    for (const auto& name : names) {
        const ProcessResult add = Process::RunChecked(Svn({"add", name}), wc_);
        const ProcessResult commit =
            Process::RunChecked(Svn({"commit", "-m", "add " + name, name}), wc_);
        total.Add({add.seconds, add.peakRssBytes});
        total.Add({commit.seconds, commit.peakRssBytes});
    }
    return total;
}

Measure SvnPeer::CommitEach(const std::vector<std::string>& names) const {
    Measure total;
    for (const auto& name : names) {
        const ProcessResult commit =
            Process::RunChecked(Svn({"commit", "-m", "change " + name, name}), wc_);
        total.Add({commit.seconds, commit.peakRssBytes});
    }
    return total;
}

std::string SvnPeer::Version() {
    const ProcessResult r = Process::Run({"svn", "--version", "--quiet"});
    std::string v = r.out;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
    return r.exitCode == 0 ? v : "unavailable";
}

}  // namespace zub::bench
