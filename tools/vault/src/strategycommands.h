// vault strategy show|set: how document versions are numbered.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "docvault/versionstra.h"
#include "output.h"
#include "session.h"

namespace zub::vault {

class StrategyCommands {
public:
    explicit StrategyCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    static Json ToJson(const DRM::VersionStra& strategy);

private:
    void Show();
    void Set();
    void Add();

    Session& s_;
    int id_ = 1;
    std::optional<int> scheme_;
    std::optional<int> beginMain_;
    std::optional<int> beginSub_;
    std::optional<int> newDocBegin_;
    std::optional<int> docAdvScope_;
    std::optional<int> baselineAdv_;
};

}  // namespace zub::vault
