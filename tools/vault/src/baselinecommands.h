// vault baseline create|list|download|delete
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "docvault/baseline.h"
#include "output.h"
#include "session.h"

namespace zub::vault {

class BaselineCommands {
public:
    explicit BaselineCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    static Json ToJson(const DRM::BaseLine& baseline);

private:
    void Create();
    void List();
    void Download();
    void Delete();

    Session& s_;
    std::string repo_;
    std::string name_;
    std::string desc_;
    std::string dir_;
    bool force_ = false;
};

}  // namespace zub::vault
