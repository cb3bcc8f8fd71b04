// Helpers of the cadlink tests: temporary folders, a sandboxed registry, a
// recording bridge command and a look into SQLite files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/proe_command_base.h"

namespace cadtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::wstring file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

void WriteFile(const std::filesystem::path& path, const std::string& text);
std::string ReadFile(const std::filesystem::path& path);

// The "create table" texts of a SQLite file, by table name order.
std::vector<std::string> TableSql(const std::filesystem::path& db);
std::vector<std::string> TableNames(const std::filesystem::path& db);
std::vector<std::string> ColumnNames(const std::filesystem::path& db, const std::string& table);

// A bridge command that records its calls and answers as told.
class FakeBridge : public ZUBCAX::ProeCommandBase {
public:
    int result = 0;
    int failNumber = 0;
    std::wstring failText;
    std::wstring currentModel;
    std::wstring textOut;
    bool throwInstead = false;
    std::vector<std::wstring> calls;
    // Tables of the database at the moment RefreshTable was called.
    std::vector<std::string> tablesSeen;

    int CreateMenu(const std::wstring& name) override;
    void Disconnect() override;
    bool ConnIsValid() override;
    int OpenFile(const std::wstring& path) override;
    int CloseFile(const std::wstring& name) override;
    int SaveFile(std::wstring& text) override;
    int GetDependencies(std::wstring& text) override;
    int RefreshTable(const std::wstring& tables, const std::wstring& dbPath) override;
    int UpdateTable(const std::wstring& first, const std::wstring& second) override;
    std::wstring GetCurrentMdlFullName() override;

private:
    int Answer(std::wstring call);
};

}  // namespace cadtest
