#include "zub/platform/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "zubtest/sandbox.h"

namespace zub::platform {
namespace {

using zub::testsupport::Sandbox;

class Registry : public ::testing::Test {
protected:
    Sandbox box;

    static RegKey Create(RootKey root, const std::wstring& path) {
        RegKey key;
        EXPECT_EQ(RegCreateKey(root, path, kKeyAllAccess, key), kErrorSuccess)
            << std::string(path.begin(), path.end());
        return key;
    }
    static std::vector<std::wstring> SubKeys(const RegKey& key) {
        std::vector<std::wstring> names;
        std::wstring name;
        for (std::uint32_t i = 0; RegEnumKey(key, i, name) == kErrorSuccess; ++i)
            names.push_back(name);
        return names;
    }
    static std::wstring String(const RegKey& key, const std::wstring& name) {
        std::wstring text;
        EXPECT_EQ(RegGetString(key, name, text), kErrorSuccess);
        return text;
    }
};

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirCase) {
    RegKey key = Create(RootKey::LocalMachine, L"Software\\MyCo\\Prod");
    ASSERT_EQ(RegSetString(key, L"AppPath", L"/opt/x"), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, L"APPPATH", L"/opt/y"), kErrorSuccess);

    RegKey again;
    ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"SOFTWARE\\myco\\PROD", kKeyRead, again),
              kErrorSuccess);
    EXPECT_EQ(String(again, L"apppath"), L"/opt/y");
    std::wstring name;
    ASSERT_EQ(RegEnumValue(again, 0, name, nullptr), kErrorSuccess);
    EXPECT_EQ(name, L"AppPath");
    EXPECT_EQ(RegEnumValue(again, 1, name, nullptr), kErrorNoMoreItems);

    RegKey software;
    ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"software", kKeyRead, software), kErrorSuccess);
    EXPECT_EQ(SubKeys(software), std::vector<std::wstring>{L"MyCo"});
    bool created = true;
    RegKey same;
    ASSERT_EQ(RegCreateKey(RootKey::LocalMachine, L"SOFTWARE\\MYCO", kKeyAllAccess, same, &created),
              kErrorSuccess);
    EXPECT_FALSE(created);
    EXPECT_EQ(SubKeys(software), std::vector<std::wstring>{L"MyCo"});
}

TEST_F(Registry, SubKeysEnumerateInCaseInsensitiveOrder) {
    struct Case {
        std::vector<std::wstring> created;
        std::vector<std::wstring> listed;
    };
    const Case cases[] = {
        {{L"b", L"A", L"c", L"B2"}, {L"A", L"b", L"B2", L"c"}},
        {{L"Wildfire 5.0", L"Wildfire 4.0", L"wildfire 2.0"},
         {L"wildfire 2.0", L"Wildfire 4.0", L"Wildfire 5.0"}},
        {{L"\u00e9t\u00e9", L"\u00c9T\u00c9a", L"z"}, {L"z", L"\u00e9t\u00e9", L"\u00c9T\u00c9a"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::wstring base = L"Software\\Order" + std::to_wstring(n++);
        for (const auto& name : c.created) Create(RootKey::CurrentUser, base + L"\\" + name);
        RegKey key;
        ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, base, kKeyRead, key), kErrorSuccess);
        EXPECT_EQ(SubKeys(key), c.listed) << n;
    }
}

TEST_F(Registry, MissingKeysValuesAndBadPaths) {
    Create(RootKey::LocalMachine, L"Software\\A");
    struct Case {
        std::wstring path;
        Error expected;
    };
    const Case cases[] = {
        {L"Software\\A", kErrorSuccess},
        {L"Software\\A\\", kErrorSuccess},
        {L"Software\\B", kErrorFileNotFound},
        {L"Nothing\\At\\All", kErrorFileNotFound},
        {L"\\Software", kErrorBadPathname},
        {L"Software\\\\A", kErrorBadPathname},
        {L"Software\\" + std::wstring(256, L'x'), kErrorInvalidParameter},
    };
    for (const auto& c : cases) {
        RegKey key;
        EXPECT_EQ(RegOpenKey(RootKey::LocalMachine, c.path, kKeyRead, key), c.expected)
            << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(key.IsOpen(), c.expected == kErrorSuccess);
        EXPECT_EQ(LastError(), c.expected);
    }
    RegKey a;
    ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\A", kKeyRead, a), kErrorSuccess);
    RegValue v;
    EXPECT_EQ(RegQueryValue(a, L"none", v), kErrorFileNotFound);
    // A root of a hive that does not exist yet reads as empty.
    RegKey users;
    EXPECT_EQ(RegOpenKey(RootKey::Users, L"", kKeyRead, users), kErrorSuccess);
    EXPECT_EQ(SubKeys(users), std::vector<std::wstring>{});
    // ...and a handle opened then sees what is written afterwards.
    Create(RootKey::Users, L"S-1-5-18");
    EXPECT_EQ(SubKeys(users), std::vector<std::wstring>{L"S-1-5-18"});
    RegKey child;
    EXPECT_EQ(RegOpenKey(users, L"s-1-5-18", kKeyRead, child), kErrorSuccess);
}

TEST_F(Registry, ValuesOfEveryTypeReadBackByteForByte) {
    RegKey key = Create(RootKey::LocalMachine, L"Software\\Types");
    struct Case {
        std::wstring name;
        ValueType type;
        std::vector<std::uint8_t> data;
    };
    const Case cases[] = {
        {L"sz", ValueType::Sz, StringToRegData(L"text \u4e2d", true)},
        {L"sz-no-zero", ValueType::Sz, StringToRegData(L"D:\\Prog", false)},
        {L"expand", ValueType::ExpandSz, StringToRegData(L"%HOME%/x", true)},
        {L"dword", ValueType::Dword, {0x78, 0x56, 0x34, 0x12}},
        {L"binary", ValueType::Binary, {0, 1, 2, 0xFF}},
        {L"multi", ValueType::MultiSz, MultiStringToRegData({L"a", L"bc"})},
        {L"", ValueType::None, {}},
        {L"qword", ValueType::Qword, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(RegSetValue(key, c.name, c.type, c.data.data(),
                              static_cast<std::uint32_t>(c.data.size())),
                  kErrorSuccess);
    }
    for (const auto& c : cases) {
        RegValue v;
        ASSERT_EQ(RegQueryValue(key, c.name, v), kErrorSuccess);
        EXPECT_EQ(v.type, c.type);
        EXPECT_EQ(v.data, c.data) << std::string(c.name.begin(), c.name.end());
    }
    std::uint32_t dword = 0;
    ASSERT_EQ(RegGetDword(key, L"dword", dword), kErrorSuccess);
    EXPECT_EQ(dword, 0x12345678u);
    std::vector<std::wstring> items;
    ASSERT_EQ(RegGetMultiString(key, L"multi", items), kErrorSuccess);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"a", L"bc"}));
    EXPECT_EQ(String(key, L"sz-no-zero"), L"D:\\Prog");
    std::wstring text;
    EXPECT_EQ(RegGetString(key, L"dword", text), kErrorInvalidData);
}

TEST_F(Registry, StringWithoutTerminatorKeepsItsSize) {
    RegKey key = Create(RootKey::LocalMachine, L"Software\\Co\\Prod");
    ASSERT_EQ(RegSetString(key, L"version", L"1.2", ValueType::Sz, false), kErrorSuccess);
    ValueType type{};
    std::uint32_t size = 0;
    ASSERT_EQ(RegQueryValue(key, L"version", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, ValueType::Sz);
    EXPECT_EQ(size, 6u);
    std::uint8_t buf[6];
    ASSERT_EQ(RegQueryValue(key, L"version", nullptr, buf, &size), kErrorSuccess);
    EXPECT_EQ(RegDataToString(buf, size), L"1.2");
}

TEST_F(Registry, SmallBuffersGetMoreDataAndEnumerationEndsWithNoMoreItems) {
    RegKey key = Create(RootKey::CurrentUser, L"Software\\Buf");
    Create(RootKey::CurrentUser, L"Software\\Buf\\Longer");
    ASSERT_EQ(RegSetString(key, L"v", L"abcdef"), kErrorSuccess);

    std::uint8_t small[4];
    std::uint32_t size = sizeof small;
    EXPECT_EQ(RegQueryValue(key, L"v", nullptr, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 14u);

    wchar_t name[16];
    std::uint32_t length = 6;
    EXPECT_EQ(RegEnumKey(key, 0, name, &length), kErrorMoreData);
    length = 7;
    ASSERT_EQ(RegEnumKey(key, 0, name, &length), kErrorSuccess);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(std::wstring(name), L"Longer");
    length = 7;
    EXPECT_EQ(RegEnumKey(key, 1, name, &length), kErrorNoMoreItems);

    length = 7;
    size = 4;
    ValueType type{};
    EXPECT_EQ(RegEnumValue(key, 0, name, &length, &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 14u);
    length = 7;
    EXPECT_EQ(RegEnumValue(key, 1, name, &length, &type, nullptr, nullptr), kErrorNoMoreItems);

    RegKeyInfo info;
    ASSERT_EQ(RegQueryInfoKey(key, info), kErrorSuccess);
    EXPECT_EQ(info.subKeys, 1u);
    EXPECT_EQ(info.maxSubKeyLength, 6u);
    EXPECT_EQ(info.values, 1u);
    EXPECT_EQ(info.maxValueSize, 14u);
}

TEST_F(Registry, ClassesRootMergesMachineAndUserClasses) {
    RegKey machine = Create(RootKey::LocalMachine, L"Software\\Classes\\Thing");
    Create(RootKey::LocalMachine, L"Software\\Classes\\Thing\\MachineOnly");
    Create(RootKey::LocalMachine, L"Software\\Classes\\Thing\\Both");
    ASSERT_EQ(RegSetString(machine, L"", L"machine default"), kErrorSuccess);
    ASSERT_EQ(RegSetString(machine, L"shared", L"machine"), kErrorSuccess);
    RegKey user = Create(RootKey::CurrentUser, L"Software\\Classes\\Thing");
    Create(RootKey::CurrentUser, L"Software\\Classes\\Thing\\both");
    Create(RootKey::CurrentUser, L"Software\\Classes\\Thing\\AUserOnly");
    ASSERT_EQ(RegSetString(user, L"SHARED", L"user"), kErrorSuccess);
    Create(RootKey::CurrentUser, L"Software\\Classes\\UserThing");

    RegKey merged;
    ASSERT_EQ(RegOpenKey(RootKey::ClassesRoot, L"thing", kKeyRead, merged), kErrorSuccess);
    EXPECT_EQ(String(merged, L"shared"), L"user");
    EXPECT_EQ(String(merged, L""), L"machine default");
    EXPECT_EQ(SubKeys(merged), (std::vector<std::wstring>{L"AUserOnly", L"both", L"MachineOnly"}));
    EXPECT_TRUE(RegKeyExists(RootKey::ClassesRoot, L"UserThing"));
    EXPECT_TRUE(RegKeyExists(RootKey::ClassesRoot, L"Thing\\MachineOnly"));
    EXPECT_FALSE(RegKeyExists(RootKey::ClassesRoot, L"Nothing"));

    // A value written through the merged view lands where the key lives:
    // the user's side when it is there, else the machine's.
    RegKey writable;
    ASSERT_EQ(RegOpenKey(RootKey::ClassesRoot, L"Thing", kKeyAllAccess, writable), kErrorSuccess);
    ASSERT_EQ(RegSetString(writable, L"new", L"v"), kErrorSuccess);
    RegValue v;
    EXPECT_EQ(RegQueryValue(user, L"new", v), kErrorSuccess);
    EXPECT_EQ(RegQueryValue(machine, L"new", v), kErrorFileNotFound);

    RegKey machineOnly;
    ASSERT_EQ(RegOpenKey(RootKey::ClassesRoot, L"Thing\\MachineOnly", kKeyAllAccess, machineOnly),
              kErrorSuccess);
    ASSERT_EQ(RegSetString(machineOnly, L"m", L"v"), kErrorSuccess);
    RegKey check;
    ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\Classes\\Thing\\MachineOnly", kKeyRead,
                         check),
              kErrorSuccess);
    EXPECT_EQ(String(check, L"m"), L"v");

    // New keys go to the machine's side.
    RegKey fresh;
    ASSERT_EQ(
        RegCreateKey(RootKey::ClassesRoot, L"CLSID\\{X}\\InprocServer32", kKeyAllAccess, fresh),
        kErrorSuccess);
    ASSERT_EQ(RegSetString(fresh, L"", L"/lib/x.so"), kErrorSuccess);
    EXPECT_TRUE(
        RegKeyExists(RootKey::LocalMachine, L"Software\\Classes\\CLSID\\{X}\\InprocServer32"));
    EXPECT_FALSE(RegKeyExists(RootKey::CurrentUser, L"Software\\Classes\\CLSID"));

    // Deleting through the merged view removes the key from both sides.
    ASSERT_EQ(RegDeleteTree(RootKey::ClassesRoot, L"Thing"), kErrorSuccess);
    EXPECT_FALSE(RegKeyExists(RootKey::ClassesRoot, L"Thing"));
    EXPECT_FALSE(RegKeyExists(RootKey::LocalMachine, L"Software\\Classes\\Thing"));
    EXPECT_FALSE(RegKeyExists(RootKey::CurrentUser, L"Software\\Classes\\Thing"));
    EXPECT_TRUE(RegKeyExists(RootKey::ClassesRoot, L"CLSID"));
}

TEST_F(Registry, ReadOnlyHiveRefusesWritesWithAccessDenied) {
    struct Case {
        const char* what;
        bool folder;
    };
    for (const Case c : {Case{"file", false}, Case{"folder", true}}) {
        SCOPED_TRACE(c.what);
        Sandbox local;
        {
            RegKey key = Create(RootKey::LocalMachine, L"Software\\Co");
            ASSERT_EQ(RegSetString(key, L"version", L"1"), kErrorSuccess);
        }
        Create(RootKey::CurrentUser, L"Software\\Mine");
        auto target = c.folder ? local.registry() : local.registry() / "machine.sqlite3";
        ASSERT_EQ(chmod(target.c_str(), c.folder ? 0555 : 0444), 0);

        RegKey read;
        ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\Co", kKeyRead, read),
                  kErrorSuccess);
        EXPECT_EQ(String(read, L"version"), L"1");
        EXPECT_EQ(RegSetString(read, L"version", L"2"), kErrorAccessDenied);
        RegKey all;
        EXPECT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\Co", kKeyAllAccess, all),
                  kErrorAccessDenied);
        EXPECT_FALSE(all.IsOpen());
        EXPECT_EQ(RegCreateKey(RootKey::LocalMachine, L"Software\\Co\\New", kKeyAllAccess, all),
                  kErrorAccessDenied);
        EXPECT_EQ(RegCreateKey(RootKey::LocalMachine, L"Software\\Co", kKeyAllAccess, all),
                  kErrorAccessDenied);
        EXPECT_EQ(RegDeleteTree(RootKey::LocalMachine, L"Software\\Co"), kErrorAccessDenied);
        EXPECT_EQ(RegSetString(RootKey::LocalMachine, L"x", L"y"), kErrorAccessDenied);
        EXPECT_EQ(String(read, L"version"), L"1");
        if (!c.folder) {
            // The user's hive beside it stays writable.
            RegKey mine;
            ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, L"Software\\Mine", kKeyAllAccess, mine),
                      kErrorSuccess);
            EXPECT_EQ(RegSetString(mine, L"x", L"y"), kErrorSuccess);
        }
    }
}

TEST_F(Registry, HandleOpenedForReadingCannotWrite) {
    Create(RootKey::CurrentUser, L"Software\\R");
    RegKey read;
    ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, L"Software\\R", kKeyRead, read), kErrorSuccess);
    EXPECT_EQ(RegSetString(read, L"x", L"y"), kErrorAccessDenied);
    RegKey sub;
    EXPECT_EQ(RegCreateKey(read, L"Sub", kKeyAllAccess, sub), kErrorAccessDenied);
    RegKey write;
    ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, L"Software\\R", kKeyWrite | kKeyWow64_64Key, write),
              kErrorSuccess);
    EXPECT_EQ(RegSetString(write, L"x", L"y"), kErrorSuccess);
    RegValue v;
    EXPECT_EQ(RegQueryValue(write, L"x", v), kErrorAccessDenied);
}

TEST_F(Registry, TreeDeleteRemovesEverythingBelow) {
    RegKey a = Create(RootKey::LocalMachine, L"Software\\Tree\\A");
    RegKey c = Create(RootKey::LocalMachine, L"Software\\Tree\\A\\B\\C");
    Create(RootKey::LocalMachine, L"Software\\Tree\\Keep");
    ASSERT_EQ(RegSetString(c, L"v", L"1"), kErrorSuccess);
    ASSERT_EQ(RegSetString(a, L"v", L"1"), kErrorSuccess);

    EXPECT_EQ(RegDeleteKey(RootKey::LocalMachine, L"Software\\Tree\\A"), kErrorAccessDenied);
    EXPECT_EQ(RegDeleteTree(RootKey::LocalMachine, L"software\\tree\\a"), kErrorSuccess);
    EXPECT_FALSE(RegKeyExists(RootKey::LocalMachine, L"Software\\Tree\\A"));
    EXPECT_FALSE(RegKeyExists(RootKey::LocalMachine, L"Software\\Tree\\A\\B\\C"));
    EXPECT_TRUE(RegKeyExists(RootKey::LocalMachine, L"Software\\Tree\\Keep"));
    EXPECT_EQ(RegSetString(c, L"v", L"2"), kErrorKeyDeleted);
    EXPECT_EQ(RegDeleteTree(RootKey::LocalMachine, L"Software\\Tree\\A"), kErrorFileNotFound);

    // The empty sub-key empties the key but keeps it.
    RegKey tree;
    ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\Tree", kKeyAllAccess, tree),
              kErrorSuccess);
    ASSERT_EQ(RegSetString(tree, L"v", L"1"), kErrorSuccess);
    ASSERT_EQ(RegDeleteTree(tree, L""), kErrorSuccess);
    EXPECT_TRUE(RegKeyExists(RootKey::LocalMachine, L"Software\\Tree"));
    EXPECT_EQ(SubKeys(tree), std::vector<std::wstring>{});
    std::wstring name;
    EXPECT_EQ(RegEnumValue(tree, 0, name, nullptr), kErrorNoMoreItems);

    EXPECT_EQ(RegDeleteKey(RootKey::LocalMachine, L"Software\\Tree"), kErrorSuccess);
    EXPECT_EQ(RegDeleteValue(a, L"v"), kErrorKeyDeleted);
}

TEST_F(Registry, TwoProcessesWriteOneHive) {
    constexpr int kPerProcess = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kPerProcess; ++i) {
                RegKey key;
                std::wstring sub = L"Software\\Shared\\P" + std::to_wstring(p);
                if (RegCreateKey(RootKey::LocalMachine, sub, kKeyAllAccess, key) != kErrorSuccess ||
                    RegSetDword(key, L"v" + std::to_wstring(i), static_cast<std::uint32_t>(i)) !=
                        kErrorSuccess ||
                    RegSetDword(RootKey::LocalMachine, L"last" + std::to_wstring(p),
                                static_cast<std::uint32_t>(i)) != kErrorSuccess) {
                    ++failures;
                }
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < 2; ++p) {
        RegKey key;
        ASSERT_EQ(RegOpenKey(RootKey::LocalMachine, L"Software\\Shared\\P" + std::to_wstring(p),
                             kKeyRead, key),
                  kErrorSuccess);
        RegKeyInfo info;
        ASSERT_EQ(RegQueryInfoKey(key, info), kErrorSuccess);
        EXPECT_EQ(info.values, static_cast<std::uint32_t>(kPerProcess));
        std::uint32_t last = 0;
        ASSERT_EQ(RegGetDword(RootKey::LocalMachine, L"last" + std::to_wstring(p), last),
                  kErrorSuccess);
        EXPECT_EQ(last, static_cast<std::uint32_t>(kPerProcess - 1));
    }
}

TEST_F(Registry, AForkedChildKeepsUsingTheRegistry) {
    RegKey held = Create(RootKey::LocalMachine, L"Software\\Fork");
    ASSERT_EQ(RegSetDword(held, L"parent-before", 1), kErrorSuccess);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The inherited handle and a fresh one both work in the child, on
        // its own connection.
        std::uint32_t before = 0;
        bool ok = RegGetDword(held, L"parent-before", before) == kErrorSuccess && before == 1 &&
                  RegSetDword(held, L"child-inherited", 2) == kErrorSuccess &&
                  RegSetDword(RootKey::LocalMachine, L"child-root", 3) == kErrorSuccess;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(RegSetDword(held, L"parent-after", 4), kErrorSuccess);
    RegKeyInfo info;
    ASSERT_EQ(RegQueryInfoKey(held, info), kErrorSuccess);
    EXPECT_EQ(info.values, 3u);
    std::uint32_t v = 0;
    EXPECT_EQ(RegGetDword(RootKey::LocalMachine, L"child-root", v), kErrorSuccess);
    EXPECT_EQ(v, 3u);
}

TEST_F(Registry, ThreadsShareAHive) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 20; ++i) {
                RegKey key;
                if (RegCreateKey(RootKey::CurrentUser, L"Software\\T\\" + std::to_wstring(t),
                                 kKeyAllAccess, key) != kErrorSuccess ||
                    RegSetDword(key, L"v" + std::to_wstring(i), 1) != kErrorSuccess) {
                    ++failures;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    RegKey key;
    ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, L"Software\\T", kKeyRead, key), kErrorSuccess);
    EXPECT_EQ(SubKeys(key).size(), 4u);
}

// Another process holds the hive's write lock while this one opens it; the
// open must wait for the lock rather than fail.
TEST_F(Registry, AWriterWaitsForAnotherProcessHoldingTheHive) {
    struct Case {
        const char* state;
        const char* setup;  // run by the other process before it takes the lock
    };
    const Case cases[] = {
        // A fresh file: opening it switches its journal mode, a write.
        {"being created", ""},
        // Already in WAL mode, tables not made yet.
        {"in WAL mode", "PRAGMA journal_mode=WAL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        const std::string path = MachineHivePath();
        std::filesystem::remove(path);
        std::filesystem::remove(path + "-wal");
        std::filesystem::remove(path + "-shm");
        int locked[2];
        ASSERT_EQ(pipe(locked), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(locked[0]);
            sqlite3* db = nullptr;
            // Its commit waits out the other side's attempts as a writer would.
            bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                      sqlite3_busy_timeout(db, 10000) == SQLITE_OK &&
                      sqlite3_exec(db, c.setup, nullptr, nullptr, nullptr) == SQLITE_OK &&
                      sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
            ok = write(locked[1], "x", 1) == 1 && ok;
            usleep(300 * 1000);
            ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
            sqlite3_close(db);
            _exit(ok ? 0 : 1);
        }
        close(locked[1]);
        char c1 = 0;
        ASSERT_EQ(read(locked[0], &c1, 1), 1);
        close(locked[0]);
        EXPECT_EQ(RegSetDword(RootKey::LocalMachine, L"waited", 7), kErrorSuccess);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::uint32_t v = 0;
        EXPECT_EQ(RegGetDword(RootKey::LocalMachine, L"waited", v), kErrorSuccess);
        EXPECT_EQ(v, 7u);
    }
}

TEST_F(Registry, HiveFilesFollowTheEnvironment) {
    EXPECT_EQ(MachineHivePath(), (box.registry() / "machine.sqlite3").string());
    EXPECT_EQ(UserHivePath(), (box.registry() / "user.sqlite3").string());
    box.SetEnv("ZUB_REGISTRY_DIR", std::nullopt);
    EXPECT_EQ(MachineHivePath(), "/var/lib/zub/registry/machine.sqlite3");
    box.SetEnv("XDG_DATA_HOME", "/data");
    EXPECT_EQ(UserHivePath(), "/data/zub/registry/user.sqlite3");
    box.SetEnv("XDG_DATA_HOME", std::nullopt);
    box.SetEnv("HOME", "/home/u");
    EXPECT_EQ(UserHivePath(), "/home/u/.local/share/zub/registry/user.sqlite3");
}

TEST(RegistryNames, RootNamesAndStringData) {
    struct Case {
        const wchar_t* name;
        bool ok;
        RootKey root;
    };
    const Case cases[] = {
        {L"HKEY_CLASSES_ROOT", true, RootKey::ClassesRoot},
        {L"hkcu", true, RootKey::CurrentUser},
        {L"HKEY_LOCAL_MACHINE", true, RootKey::LocalMachine},
        {L"HKU", true, RootKey::Users},
        {L"HKEY_CURRENT_CONFIG", true, RootKey::CurrentConfig},
        {L"HKEY_LOCAL", false, RootKey::ClassesRoot},
    };
    for (const auto& c : cases) {
        RootKey root = RootKey::ClassesRoot;
        EXPECT_EQ(RootKeyFromName(c.name, root), c.ok);
        if (c.ok) {
            EXPECT_EQ(root, c.root);
        }
    }
    EXPECT_EQ(StringToRegData(L"A\U0001F600", true),
              (std::vector<std::uint8_t>{0x41, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
    auto multi = MultiStringToRegData({L"x", L"yz"});
    EXPECT_EQ(multi.size(), 12u);
    EXPECT_EQ(RegDataToMultiString(multi.data(), multi.size()),
              (std::vector<std::wstring>{L"x", L"yz"}));
}

}  // namespace
}  // namespace zub::platform
