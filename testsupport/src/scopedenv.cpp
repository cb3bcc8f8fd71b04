#include "zubtest/scopedenv.h"

#include <stdlib.h>

namespace zub::testsupport {

namespace {

void Put(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

}  // namespace

ScopedEnv::ScopedEnv(const std::string& name, const std::optional<std::string>& value) {
    Set(name, value);
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : saved_) Put(name, value);
}

void ScopedEnv::Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
        const char* old = ::getenv(name.c_str());
        saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    Put(name, value);
}

}  // namespace zub::testsupport
