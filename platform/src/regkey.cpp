#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "hive.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::platform {

namespace detail {

// One hive's part of a key: the path from the hive's root and its row id
// (0: not on this side; -1: the empty root of a hive not made yet).
struct Side {
    std::shared_ptr<Hive> hive;
    std::wstring rootName;
    std::vector<std::wstring> path;
    KeyId id = 0;
};

class KeyState {
public:
    RootKey root = RootKey::LocalMachine;
    bool predefined = false;
    bool merged = false;  // HKEY_CLASSES_ROOT: main is the machine's side
    RegAccess access = kKeyAllAccess;
    Side main;
    Side user;
};

}  // namespace detail

namespace {

using detail::Hive;
using detail::KeyId;
using detail::KeyState;
using detail::NamedValue;
using detail::Side;

constexpr RegAccess kGenericRead = 0x80000000;
constexpr RegAccess kGenericWrite = 0x40000000;
constexpr RegAccess kGenericAll = 0x10000000;
constexpr RegAccess kMaximumAllowed = 0x02000000;
constexpr RegAccess kWriteBits = kKeySetValue | kKeyCreateSubKey | kKeyDelete |
                                 0x00040000 /*WRITE_DAC*/ | 0x00080000 /*WRITE_OWNER*/ |
                                 0x0020 /*KEY_CREATE_LINK*/;

Error Done(Error e) {
    SetLastError(e);
    return e;
}

std::string RegistryDir() {
    const char* dir = std::getenv("ZUB_REGISTRY_DIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string();
}

RegAccess Normalize(RegAccess access, bool writable) {
    if ((access & kGenericRead) != 0) access |= kKeyRead;
    if ((access & kGenericWrite) != 0) access |= kKeyWrite;
    if ((access & kGenericAll) != 0) access |= kKeyAllAccess;
    if ((access & kMaximumAllowed) != 0) access |= writable ? kKeyAllAccess : kKeyRead;
    return access & ~(kGenericRead | kGenericWrite | kGenericAll | kMaximumAllowed |
                      kKeyWow64_64Key | kKeyWow64_32Key);
}

Error SplitPath(std::wstring_view subKey, std::vector<std::wstring>& names) {
    names.clear();
    if (subKey.empty()) return kErrorSuccess;
    if (subKey.front() == L'\\') return kErrorBadPathname;
    if (subKey.back() == L'\\') subKey.remove_suffix(1);
    std::size_t start = 0;
    while (true) {
        std::size_t end = subKey.find(L'\\', start);
        std::wstring_view part =
            subKey.substr(start, end == std::wstring_view::npos ? end : end - start);
        if (part.empty()) return kErrorBadPathname;
        if (part.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
        names.emplace_back(part);
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return kErrorSuccess;
}

std::vector<std::wstring> Joined(const std::vector<std::wstring>& a,
                                 const std::vector<std::wstring>& b) {
    std::vector<std::wstring> r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

Error MakeSide(std::shared_ptr<Hive> hive, const wchar_t* rootName, std::vector<std::wstring> path,
               Side& side) {
    side.hive = std::move(hive);
    side.rootName = rootName;
    side.path = std::move(path);
    KeyId root = 0;
    Error e = side.hive->RootId(side.rootName, false, root);
    if (e != kErrorSuccess) return e;
    return side.hive->Walk(root, side.path, side.id);
}

// A usable state for `key`: predefined roots are looked up now, so a change of
// ZUB_REGISTRY_DIR takes effect at the next call.
Error Resolve(const RegKey& key, std::shared_ptr<KeyState>& out) {
    const auto& state = key.State();
    if (!state) return kErrorInvalidHandle;
    if (!state->predefined) {
        out = state;
        return kErrorSuccess;
    }
    auto r = std::make_shared<KeyState>();
    r->root = state->root;
    r->access = kKeyAllAccess;
    Error e = kErrorSuccess;
    switch (state->root) {
        case RootKey::ClassesRoot:
            r->merged = true;
            e = MakeSide(Hive::Get(MachineHivePath()), L"HKEY_LOCAL_MACHINE",
                         {L"Software", L"Classes"}, r->main);
            if (e == kErrorSuccess) {
                e = MakeSide(Hive::Get(UserHivePath()), L"HKEY_CURRENT_USER",
                             {L"Software", L"Classes"}, r->user);
            }
            break;
        case RootKey::CurrentUser:
            e = MakeSide(Hive::Get(UserHivePath()), L"HKEY_CURRENT_USER", {}, r->main);
            break;
        case RootKey::LocalMachine:
            e = MakeSide(Hive::Get(MachineHivePath()), L"HKEY_LOCAL_MACHINE", {}, r->main);
            break;
        case RootKey::Users:
            e = MakeSide(Hive::Get(MachineHivePath()), L"HKEY_USERS", {}, r->main);
            break;
        case RootKey::CurrentConfig:
            e = MakeSide(Hive::Get(MachineHivePath()), L"HKEY_CURRENT_CONFIG", {}, r->main);
            break;
        default:
            return kErrorInvalidHandle;
    }
    if (e != kErrorSuccess) return e;
    out = std::move(r);
    return kErrorSuccess;
}

// For a key that is not merged: still there?
Error CheckAlive(const KeyState& s) {
    if (s.merged) return kErrorSuccess;
    bool exists = false;
    Error e = s.main.hive->Exists(s.main.id, exists);
    if (e != kErrorSuccess) return e;
    return exists ? kErrorSuccess : kErrorKeyDeleted;
}

// The side a change goes to: the user's when the key is there, else the
// machine's (made as needed).
Side& WriteSide(KeyState& s) { return s.merged && s.user.id > 0 ? s.user : s.main; }

// Makes the side's key exist (empty root of a new hive; a merged side the key
// is not on yet).
Error Materialize(Side& side) {
    if (side.id > 0) return kErrorSuccess;
    KeyId root = 0;
    Error e = side.hive->RootId(side.rootName, true, root);
    if (e != kErrorSuccess) return e;
    bool created = false;
    return side.hive->CreatePath(root, side.path, side.id, created);
}

// A hive made since the handle was opened now has a real root.
Error Refresh(KeyState& s) {
    for (Side* side : {&s.main, &s.user}) {
        if (side->id == -1) {
            Error e = side->hive->RootId(side->rootName, false, side->id);
            if (e != kErrorSuccess) return e;
        }
    }
    return kErrorSuccess;
}

Error ReadyToRead(const RegKey& key, RegAccess need, std::shared_ptr<KeyState>& s) {
    Error e = Resolve(key, s);
    if (e != kErrorSuccess) return e;
    if ((s->access & need) != need) return kErrorAccessDenied;
    if ((e = Refresh(*s)) != kErrorSuccess) return e;
    return CheckAlive(*s);
}

Error ReadyToWrite(const RegKey& key, RegAccess need, std::shared_ptr<KeyState>& s) {
    Error e = ReadyToRead(key, need, s);
    if (e != kErrorSuccess) return e;
    if (!WriteSide(*s).hive->Writable()) return kErrorAccessDenied;
    // A merged key that exists only on the user's side keeps its writes there;
    // materializing must not move them to the machine.
    return s->merged ? kErrorSuccess : Materialize(s->main);
}

Error AllSubKeys(KeyState& s, std::vector<std::wstring>& names) {
    names.clear();
    std::vector<std::wstring> mine;
    if (s.main.id != 0) {
        Error e = s.main.hive->SubKeys(s.main.id, mine);
        if (e != kErrorSuccess) return e;
    }
    if (!s.merged || s.user.id == 0) {
        names = std::move(mine);
        return kErrorSuccess;
    }
    std::vector<std::wstring> users;
    Error e = s.user.hive->SubKeys(s.user.id, users);
    if (e != kErrorSuccess) return e;
    std::map<std::string, std::wstring> byFold;
    for (auto& n : mine) byFold[detail::FoldName(n)] = std::move(n);
    for (auto& n : users) byFold[detail::FoldName(n)] = std::move(n);
    for (auto& [fold, name] : byFold) names.push_back(std::move(name));
    return kErrorSuccess;
}

Error AllValues(KeyState& s, std::vector<NamedValue>& values) {
    values.clear();
    std::vector<NamedValue> machine;
    if (s.main.id != 0) {
        Error e = s.main.hive->Values(s.main.id, machine);
        if (e != kErrorSuccess) return e;
    }
    if (!s.merged || s.user.id == 0) {
        values = std::move(machine);
        return kErrorSuccess;
    }
    Error e = s.user.hive->Values(s.user.id, values);
    if (e != kErrorSuccess) return e;
    std::map<std::string, bool> seen;
    for (const auto& v : values) seen[detail::FoldName(v.name)] = true;
    for (auto& v : machine) {
        if (!seen.count(detail::FoldName(v.name))) values.push_back(std::move(v));
    }
    return kErrorSuccess;
}

Error FindValue(KeyState& s, std::wstring_view name, RegValue& value) {
    bool found = false;
    Error e;
    if (s.merged && s.user.id != 0) {
        if ((e = s.user.hive->GetValue(s.user.id, name, value, found)) != kErrorSuccess) return e;
        if (found) return kErrorSuccess;
    }
    if (s.main.id == 0) return kErrorFileNotFound;
    if ((e = s.main.hive->GetValue(s.main.id, name, value, found)) != kErrorSuccess) return e;
    return found ? kErrorSuccess : kErrorFileNotFound;
}

Error CopyOut(const std::vector<std::uint8_t>& data, void* buffer, std::uint32_t* size) {
    auto need = static_cast<std::uint32_t>(data.size());
    if (buffer == nullptr) {
        if (size != nullptr) *size = need;
        return kErrorSuccess;
    }
    if (size == nullptr) return kErrorInvalidParameter;
    if (*size < need) {
        *size = need;
        return kErrorMoreData;
    }
    if (need > 0) std::memcpy(buffer, data.data(), need);
    *size = need;
    return kErrorSuccess;
}

Error CopyName(const std::wstring& name, wchar_t* buffer, std::uint32_t* length) {
    if (buffer == nullptr || length == nullptr) return kErrorInvalidParameter;
    if (name.size() + 1 > *length) return kErrorMoreData;
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    *length = static_cast<std::uint32_t>(name.size());
    return kErrorSuccess;
}

Error OpenOrCreate(const RegKey& parent, std::wstring_view subKey, RegAccess access, RegKey& out,
                   bool create, bool* created) {
    std::shared_ptr<KeyState> p;
    Error e = Resolve(parent, p);
    if (e != kErrorSuccess) return e;
    std::vector<std::wstring> names;
    if ((e = SplitPath(subKey, names)) != kErrorSuccess) return e;
    if ((e = Refresh(*p)) != kErrorSuccess) return e;
    if ((e = CheckAlive(*p)) != kErrorSuccess) return e;
    if (create && (p->access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;

    auto s = std::make_shared<KeyState>(*p);
    s->predefined = false;
    s->main.path = Joined(p->main.path, names);
    s->user.path = Joined(p->user.path, names);
    if (p->main.id != 0) {
        if ((e = p->main.hive->Walk(p->main.id, names, s->main.id)) != kErrorSuccess) return e;
    }
    if (s->merged && p->user.id != 0) {
        if ((e = p->user.hive->Walk(p->user.id, names, s->user.id)) != kErrorSuccess) return e;
    }
    bool exists = s->main.id != 0 || (s->merged && s->user.id != 0);
    if (!exists && !create) return kErrorFileNotFound;

    // New keys go to the machine's side of a merged view, as on Windows;
    // values of an existing key go where WriteSide says.
    Side& target = exists ? WriteSide(*s) : s->main;
    bool writable = target.hive->Writable();
    s->access = Normalize(access, writable);
    if ((create || (s->access & kWriteBits) != 0) && !writable) return kErrorAccessDenied;
    if (created != nullptr) *created = false;
    if (create && (!exists || s->main.id == -1)) {
        Side from = p->main;
        if ((e = Materialize(from)) != kErrorSuccess) return e;
        bool made = false;
        if ((e = s->main.hive->CreatePath(from.id, names, s->main.id, made)) != kErrorSuccess)
            return e;
        if (created != nullptr) *created = made;
    }
    out = RegKey(std::move(s));
    return kErrorSuccess;
}

}  // namespace

RegKey::RegKey(RootKey root) {
    auto s = std::make_shared<KeyState>();
    s->root = root;
    s->predefined = true;
    state_ = std::move(s);
}

RegKey::RegKey(std::shared_ptr<detail::KeyState> state) : state_(std::move(state)) {}
RegKey::RegKey(RegKey&& other) noexcept = default;
RegKey& RegKey::operator=(RegKey&& other) noexcept = default;
RegKey::~RegKey() = default;
void RegKey::Close() { state_.reset(); }

std::string MachineHivePath() {
    std::string dir = RegistryDir();
    return (dir.empty() ? std::string("/var/lib/zub/registry") : dir) + "/machine.sqlite3";
}

std::string UserHivePath() {
    std::string dir = RegistryDir();
    if (!dir.empty()) return dir + "/user.sqlite3";
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data == '/') return std::string(data) + "/zub/registry/user.sqlite3";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/share/zub/registry/user.sqlite3";
}

Error RegOpenKey(const RegKey& parent, std::wstring_view subKey, RegAccess access, RegKey& out) {
    out.Close();
    return Done(OpenOrCreate(parent, subKey, access, out, false, nullptr));
}

Error RegCreateKey(const RegKey& parent, std::wstring_view subKey, RegAccess access, RegKey& out,
                   bool* created) {
    out.Close();
    return Done(OpenOrCreate(parent, subKey, access, out, true, created));
}

namespace {

Error DeleteKeyImpl(const RegKey& parent, std::wstring_view subKey, bool tree) {
    RegKey key;
    Error e = OpenOrCreate(parent, subKey, kKeyRead, key, false, nullptr);
    if (e != kErrorSuccess) return e;
    auto& s = *key.State();
    bool keepSelf = tree && subKey.empty();
    if (s.main.path.empty() || (s.merged && s.main.path.size() <= 2 && !keepSelf))
        return kErrorAccessDenied;
    if (parent.State()->predefined && subKey.empty()) return kErrorAccessDenied;
    // Every side the key is on must agree before anything goes.
    for (Side* side : {&s.main, &s.user}) {
        if (side->hive && side->id > 0 && !side->hive->Writable()) return kErrorAccessDenied;
    }
    if (!tree) {
        std::vector<std::wstring> subs;
        if ((e = AllSubKeys(s, subs)) != kErrorSuccess) return e;
        if (!subs.empty()) return kErrorAccessDenied;
    }
    bool any = false;
    for (Side* side : {&s.user, &s.main}) {
        if (!side->hive || side->id <= 0) continue;
        if ((e = side->hive->DeleteKey(side->id, tree, keepSelf)) != kErrorSuccess) return e;
        any = true;
    }
    return any || keepSelf ? kErrorSuccess : kErrorFileNotFound;
}

}  // namespace

Error RegDeleteKey(const RegKey& parent, std::wstring_view subKey) {
    return Done(DeleteKeyImpl(parent, subKey, false));
}

Error RegDeleteTree(const RegKey& parent, std::wstring_view subKey) {
    return Done(DeleteKeyImpl(parent, subKey, true));
}

Error RegDeleteValue(const RegKey& key, std::wstring_view name) {
    std::shared_ptr<KeyState> s;
    Error e = ReadyToWrite(key, kKeySetValue, s);
    if (e != kErrorSuccess) return Done(e);
    Side& side = WriteSide(*s);
    if (side.id <= 0) return Done(kErrorFileNotFound);
    return Done(side.hive->DeleteValue(side.id, name));
}

Error RegSetValue(const RegKey& key, std::wstring_view name, ValueType type, const void* data,
                  std::uint32_t size) {
    if (data == nullptr && size != 0) return Done(kErrorInvalidParameter);
    if (name.size() > kMaxValueNameLength) return Done(kErrorInvalidParameter);
    std::shared_ptr<KeyState> s;
    Error e = ReadyToWrite(key, kKeySetValue, s);
    if (e != kErrorSuccess) return Done(e);
    Side& side = WriteSide(*s);
    if ((e = Materialize(side)) != kErrorSuccess) return Done(e);
    RegValue value;
    value.type = type;
    if (size > 0) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        value.data.assign(p, p + size);
    }
    return Done(side.hive->SetValue(side.id, name, value));
}

Error RegQueryValue(const RegKey& key, std::wstring_view name, RegValue& out) {
    std::shared_ptr<KeyState> s;
    Error e = ReadyToRead(key, kKeyQueryValue, s);
    if (e != kErrorSuccess) return Done(e);
    return Done(FindValue(*s, name, out));
}

Error RegQueryValue(const RegKey& key, std::wstring_view name, ValueType* type, void* data,
                    std::uint32_t* size) {
    RegValue value;
    Error e = RegQueryValue(key, name, value);
    if (e != kErrorSuccess) return e;
    if (type != nullptr) *type = value.type;
    return Done(CopyOut(value.data, data, size));
}

Error RegEnumKey(const RegKey& key, std::uint32_t index, std::wstring& name) {
    std::shared_ptr<KeyState> s;
    Error e = ReadyToRead(key, kKeyEnumerateSubKeys, s);
    if (e != kErrorSuccess) return Done(e);
    std::vector<std::wstring> names;
    if ((e = AllSubKeys(*s, names)) != kErrorSuccess) return Done(e);
    if (index >= names.size()) return Done(kErrorNoMoreItems);
    name = std::move(names[index]);
    return Done(kErrorSuccess);
}

Error RegEnumKey(const RegKey& key, std::uint32_t index, wchar_t* name, std::uint32_t* nameLength) {
    std::wstring found;
    Error e = RegEnumKey(key, index, found);
    if (e != kErrorSuccess) return e;
    return Done(CopyName(found, name, nameLength));
}

Error RegEnumValue(const RegKey& key, std::uint32_t index, std::wstring& name, RegValue* value) {
    std::shared_ptr<KeyState> s;
    Error e = ReadyToRead(key, kKeyQueryValue, s);
    if (e != kErrorSuccess) return Done(e);
    std::vector<NamedValue> values;
    if ((e = AllValues(*s, values)) != kErrorSuccess) return Done(e);
    if (index >= values.size()) return Done(kErrorNoMoreItems);
    name = std::move(values[index].name);
    if (value != nullptr) *value = std::move(values[index].value);
    return Done(kErrorSuccess);
}

Error RegEnumValue(const RegKey& key, std::uint32_t index, wchar_t* name, std::uint32_t* nameLength,
                   ValueType* type, void* data, std::uint32_t* size) {
    std::wstring found;
    RegValue value;
    Error e = RegEnumValue(key, index, found, &value);
    if (e != kErrorSuccess) return e;
    if ((e = CopyName(found, name, nameLength)) != kErrorSuccess) return Done(e);
    if (type != nullptr) *type = value.type;
    return Done(CopyOut(value.data, data, size));
}

Error RegQueryInfoKey(const RegKey& key, RegKeyInfo& info) {
    std::shared_ptr<KeyState> s;
    Error e = ReadyToRead(key, kKeyQueryValue, s);
    if (e != kErrorSuccess) return Done(e);
    std::vector<std::wstring> names;
    std::vector<NamedValue> values;
    if ((e = AllSubKeys(*s, names)) != kErrorSuccess) return Done(e);
    if ((e = AllValues(*s, values)) != kErrorSuccess) return Done(e);
    info = RegKeyInfo{};
    info.subKeys = static_cast<std::uint32_t>(names.size());
    for (const auto& n : names)
        info.maxSubKeyLength = std::max(info.maxSubKeyLength, static_cast<std::uint32_t>(n.size()));
    info.values = static_cast<std::uint32_t>(values.size());
    for (const auto& v : values) {
        info.maxValueNameLength =
            std::max(info.maxValueNameLength, static_cast<std::uint32_t>(v.name.size()));
        info.maxValueSize =
            std::max(info.maxValueSize, static_cast<std::uint32_t>(v.value.data.size()));
    }
    return Done(kErrorSuccess);
}

bool RegKeyExists(const RegKey& parent, std::wstring_view subKey) {
    RegKey key;
    return RegOpenKey(parent, subKey, kKeyRead, key) == kErrorSuccess;
}

}  // namespace zub::platform
