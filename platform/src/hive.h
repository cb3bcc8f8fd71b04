// One hive file: its SQLite connection and the key and value rows in it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "zub/platform/registry.h"
#include "zub/sqlite/connection.h"

namespace zub::platform::detail {

using KeyId = std::int64_t;

// Windows compares names by their upper case; this is that fold.
std::string FoldName(std::wstring_view name);

struct NamedValue {
    std::wstring name;
    RegValue value;
};

// Calls are serialized per hive; each change is one immediate transaction.
// A key id of 0 means "no key". Inside, SQLite failures are exceptions; each
// call returns them as Win32 numbers.
class Hive {
public:
    // The hive of that file, shared while anyone holds it.
    static std::shared_ptr<Hive> Get(const std::string& path);

    explicit Hive(std::string path);
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const std::string& Path() const { return path_; }
    // Whether this process may change the hive (file and folder writable).
    bool Writable() const;

    // The root key's id. A hive that does not exist (or has no such root
    // yet) reads as an empty root, id -1, unless `create` makes it.
    Error RootId(std::wstring_view rootName, bool create, KeyId& id);
    Error Exists(KeyId id, bool& exists);
    // The child's id, 0 when missing.
    Error Child(KeyId parent, std::wstring_view name, KeyId& id);
    // Walks a path of names from `from`; id 0 when a component is missing.
    Error Walk(KeyId from, const std::vector<std::wstring>& names, KeyId& id);
    Error CreatePath(KeyId from, const std::vector<std::wstring>& names, KeyId& id, bool& created);
    Error SubKeys(KeyId id, std::vector<std::wstring>& names);
    Error Values(KeyId id, std::vector<NamedValue>& values);
    // `found` false when there is no such value.
    Error GetValue(KeyId id, std::wstring_view name, RegValue& value, bool& found);
    Error SetValue(KeyId id, std::wstring_view name, const RegValue& value);
    Error DeleteValue(KeyId id, std::wstring_view name);
    // kErrorAccessDenied when the key has subkeys and !withSubKeys.
    Error DeleteKey(KeyId id, bool withSubKeys, bool keepSelf);

private:
    class Transaction;

    // Opens the file if it exists (or creates it when `create`).
    Error Connect(bool create);
    // Connects for reading; kErrorFileNotFound when the file is not there.
    Error ForRead();
    // Connects for a change: kErrorAccessDenied when the files may not be written.
    Error ForWrite();

    std::string path_;
    std::mutex mu_;
    zub::sqlite::Connection db_;
    bool readOnly_ = false;
    pid_t owner_ = 0;  // the process that opened db_
};

}  // namespace zub::platform::detail
