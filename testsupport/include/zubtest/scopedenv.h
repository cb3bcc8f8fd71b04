// Environment variables changed for the object's lifetime: each one gets
// back the value (or absence) it had before the first change.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace zub::testsupport {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const std::string& name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // nullopt removes the variable.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace zub::testsupport
