// Helpers of the cadlink tests: temporary folders, a recording bridge
// command and a look into SQLite files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cadbridge/proe_command_base.h"
#include "zubtest/tempdir.h"

namespace zub::cadlink::test {

// A temporary folder that names its files as the connector takes them.
class TempDir : public zub::testsupport::TempDir {
public:
    TempDir() : zub::testsupport::TempDir("cadlink") {}
    std::wstring file(const std::string& name) const;
};

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

}  // namespace zub::cadlink::test
