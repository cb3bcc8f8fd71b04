#include "kitsetup/checks.h"

#include "kitsetup/lists.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup/string_table.h"
#include "zub/platform/services.h"

namespace zub::kitsetup {

namespace pf = zub::platform;

namespace {

bool RegKeyAlternative(const std::wstring& alt) {
    const auto slash = alt.find(L'\\');
    const std::wstring rootName = slash == std::wstring::npos ? alt : alt.substr(0, slash);
    const std::wstring subKey = slash == std::wstring::npos ? alt : alt.substr(slash + 1);
    const keyRoot root = RegistryHelper::RootFromName(rootName);
    // An unknown root names no key; the helper would throw for it.
    if (root == kHkeyError) return false;
    return RegistryHelper::KeyExists(root, subKey);
}

bool ServiceAlternatives(const std::wstring& parameter) {
    pf::ServiceManager manager;
    if (pf::OpenServiceManager(pf::kScManagerAllAccess, manager) != 0) return false;
    for (const auto& name : SplitList(parameter, L"||")) {
        pf::Service service;
        if (pf::OpenService(manager, name, pf::kScManagerAllAccess, service) == 0) return true;
    }
    return false;
}

}  // namespace

const Check* Checks::Find(const std::wstring& name) const {
    const auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

bool Checks::Run(const std::wstring& name) {
    const Check* c = Find(name);
    if (c == nullptr) {
        error.Set(-1, Fmt(tr("检查 %s 未定义"), name));
        return false;
    }
    if (!c->complete) {
        error.Set(-1, Fmt(tr("检查 %s 的 paras 少于两项"), name));
        return false;
    }
    if (c->kind == chkService) return ServiceAlternatives(c->parameter);
    for (const auto& alt : SplitList(c->parameter, L"||")) {
        if (RegKeyAlternative(alt)) return true;
    }
    return false;
}

void Checks::QueueFailActions(const Check& check, std::wstring& queue) {
    if (check.actionsWhenFails.empty()) return;
    if (queue.empty()) {
        queue = check.actionsWhenFails;
    } else if (!ListContains(queue, check.actionsWhenFails)) {
        queue += L"," + check.actionsWhenFails;
    }
}

}  // namespace zub::kitsetup
