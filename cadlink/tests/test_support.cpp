#include "test_support.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

#include "zub/text.h"

namespace zub::cadlink::test {
namespace fs = std::filesystem;

std::wstring TempDir::file(const std::string& name) const {
    return zub::Utf8ToWide((path() / name).string());
}

namespace {

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

std::vector<std::string> Column0(const fs::path& db, const std::string& sql) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbClose> holder(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + db.string());
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(sqlite3_errmsg(raw));
    }
    std::vector<std::string> out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    sqlite3_finalize(stmt);
    return out;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace

std::vector<std::string> TableSql(const fs::path& db) {
    return Column0(db, "select sql from sqlite_master where type='table' order by name");
}

std::vector<std::string> TableNames(const fs::path& db) {
    return Column0(db, "select name from sqlite_master where type='table' order by name");
}

std::vector<std::string> ColumnNames(const fs::path& db, const std::string& table) {
    return Column0(db, "select name from pragma_table_info(" + Quote(table) + ")");
}

int FakeBridge::Answer(std::wstring call) {
    calls.push_back(std::move(call));
    if (throwInstead) throw std::runtime_error("bridge went away");
    if (result != 0) SetErr(failNumber, failText);
    return result;
}

int FakeBridge::CreateMenu(const std::wstring& name) {
    return Answer(L"CreateMenu(" + name + L")");
}
void FakeBridge::Disconnect() { calls.push_back(L"Disconnect()"); }
bool FakeBridge::ConnIsValid() {
    calls.push_back(L"ConnIsValid()");
    return result == 0;
}
int FakeBridge::OpenFile(const std::wstring& path) { return Answer(L"OpenFile(" + path + L")"); }
int FakeBridge::CloseFile(const std::wstring& name) { return Answer(L"CloseFile(" + name + L")"); }
int FakeBridge::SaveFile(std::wstring& text) {
    text = textOut;
    return Answer(L"SaveFile()");
}
int FakeBridge::GetDependencies(std::wstring& text) {
    text = textOut;
    return Answer(L"GetDependencies()");
}
int FakeBridge::RefreshTable(const std::wstring& tables, const std::wstring& dbPath) {
    tablesSeen = TableNames(zub::WideToUtf8(dbPath));
    return Answer(L"RefreshTable(" + tables + L"|" + dbPath + L")");
}
int FakeBridge::UpdateTable(const std::wstring& first, const std::wstring& second) {
    return Answer(L"UpdateTable(" + first + L"|" + second + L")");
}
std::wstring FakeBridge::GetCurrentMdlFullName() {
    calls.push_back(L"GetCurrentMdlFullName()");
    return currentModel;
}

}  // namespace zub::cadlink::test
