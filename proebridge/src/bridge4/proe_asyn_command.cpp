#include "proebridge4/proe_asyn_command.h"

#include <sqlite3.h>

#include <cwchar>
#include <cwctype>
#include <fstream>
#include <sstream>

#include "cad_session.h"
#include "zub/i18n.h"
#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/text.h"

namespace ZUBPROE4 {
namespace {

using Db = zub::sqlite::Connection;
using Stmt = zub::sqlite::Statement;

std::string Quoted(const std::wstring& name) {
    std::string out = "\"";
    for (const char c : zub::WideToUtf8(name)) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

// A failure text of one template and one argument.
std::wstring Formatted(const wchar_t* format, const std::wstring& argument) {
    return zub::FormatBounded(std::wcslen(format) + argument.size() + 1, format, argument.c_str());
}

std::string MirrorName(const std::wstring& table) { return Quoted(L"CAXS_2_" + table); }

std::vector<std::wstring> SplitList(const std::wstring& text) {
    std::vector<std::wstring> out;
    std::wstringstream in(text);
    std::wstring piece;
    while (std::getline(in, piece, L',')) {
        if (!piece.empty()) out.push_back(piece);
    }
    return out;
}

Db OpenExisting(const std::wstring& path) {
    return Db(zub::WideToNarrow(path), SQLITE_OPEN_READWRITE);
}

bool HasTable(const Db& db, const std::wstring& table) {
    Stmt stmt(db, "select 1 from sqlite_master where type='table' and name=?");
    stmt.bind(1, zub::WideToUtf8(L"CAXS_2_" + table));
    return stmt.step();
}

void InsertRow(const Db& db, const std::wstring& table, const Row& row) {
    std::string columns;
    std::string marks;
    bool hasFlag = false;
    for (const auto& [column, value] : row) {
        columns += (columns.empty() ? "" : ",") + Quoted(column);
        marks += marks.empty() ? "?" : ",?";
        hasFlag = hasFlag || column == L"CAXS_flag";
    }
    if (!hasFlag) {
        columns += (columns.empty() ? "" : ",") + std::string("CAXS_flag");
        marks += marks.empty() ? "0" : ",0";
    }
    Stmt stmt(db, "insert into " + MirrorName(table) + " (" + columns + ") values (" + marks + ")");
    int index = 1;
    for (const auto& field : row) stmt.bind(index++, zub::WideToUtf8(field.second));
    stmt.step();
}

std::vector<Row> ReadRows(const Db& db, const std::wstring& table) {
    Stmt stmt(db, "select * from " + MirrorName(table));
    std::vector<Row> rows;
    while (stmt.step()) {
        Row row;
        for (int i = 0; i < stmt.columnCount(); ++i) {
            if (stmt.columnType(i) == SQLITE_NULL) continue;
            row.emplace_back(zub::Utf8ToWide(stmt.columnName(i)),
                             zub::Utf8ToWide(stmt.columnText(i)));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool SameModel(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int ProeAsynCommand::Fail(int number, std::wstring text) {
    SetErr(number, std::move(text));
    return number;
}

bool ProeAsynCommand::Connected() { return TheSession().connected; }

bool ProeAsynCommand::HaveModel() { return TheSession().current.has_value(); }

int ProeAsynCommand::CreateMenu(const std::wstring& name) {
    TheSession().calls.push_back(L"CreateMenu(" + name + L")");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (name.empty()) return Fail(kBadArgument, ZUB_N_(L"a menu needs a name"));
    TheSession().menus.push_back(name);
    return 0;
}

void ProeAsynCommand::Disconnect() {
    TheSession().calls.push_back(L"Disconnect()");
    TheSession().connected = false;
}

bool ProeAsynCommand::ConnIsValid() { return Connected(); }

int ProeAsynCommand::OpenFile(const std::wstring& path) {
    CadSession& session = TheSession();
    session.calls.push_back(L"OpenFile(" + path + L")");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    std::ifstream in(zub::WideToNarrow(path), std::ios::binary);
    if (!in) return Fail(kModelNotFound, Formatted(ZUB_N_(L"model file not found: %ls"), path));
    std::ostringstream text;
    text << in.rdbuf();
    ModelRead read = ParseModel(path, text.str());
    if (!read.model) return Fail(kModelMalformed, path + L": " + read.error);
    session.current = std::move(read.model);
    return 0;
}

int ProeAsynCommand::CloseFile(const std::wstring& name) {
    CadSession& session = TheSession();
    session.calls.push_back(L"CloseFile(" + name + L")");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (!HaveModel() || (!name.empty() && !SameModel(name, session.current->path))) {
        return Fail(kNoModel, Formatted(ZUB_N_(L"model not open: %ls"),
                                        name.empty() ? ZUB_N_(L"(current)") : name));
    }
    session.current.reset();
    return 0;
}

int ProeAsynCommand::SaveFile(std::wstring& text) {
    CadSession& session = TheSession();
    session.calls.push_back(L"SaveFile()");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (!HaveModel()) return Fail(kNoModel, ZUB_N_(L"no model is open"));
    std::ofstream out(zub::WideToNarrow(session.current->path), std::ios::binary | std::ios::trunc);
    out << FormatModel(*session.current);
    out.close();
    if (!out)
        return Fail(kModelNotFound,
                    Formatted(ZUB_N_(L"cannot write the model: %ls"), session.current->path));
    text = session.current->path;
    return 0;
}

int ProeAsynCommand::GetDependencies(std::wstring& text) {
    CadSession& session = TheSession();
    session.calls.push_back(L"GetDependencies()");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (!HaveModel()) return Fail(kNoModel, ZUB_N_(L"no model is open"));
    text.clear();
    for (const std::wstring& dep : session.current->dependencies) {
        if (!text.empty()) text += L'\n';
        text += dep;
    }
    return 0;
}

int ProeAsynCommand::RefreshTable(const std::wstring& tables, const std::wstring& dbPath) {
    CadSession& session = TheSession();
    session.calls.push_back(L"RefreshTable(" + tables + L"," + dbPath + L")");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (!HaveModel()) return Fail(kNoModel, ZUB_N_(L"no model is open"));
    try {
        Db db = OpenExisting(dbPath);
        db.exec("begin");
        for (const std::wstring& name : SplitList(tables)) {
            const ModelTable* table = session.current->Table(name);
            if (table == nullptr || !HasTable(db, name)) continue;
            for (const Row& row : table->rows) InsertRow(db, name, row);
        }
        db.exec("commit");
    } catch (const zub::sqlite::Error& e) {
        return Fail(kDatabase, Formatted(ZUB_N_(L"database: %ls"), zub::Utf8ToWide(e.message())));
    }
    return 0;
}

int ProeAsynCommand::UpdateTable(const std::wstring& first, const std::wstring& second) {
    CadSession& session = TheSession();
    session.calls.push_back(L"UpdateTable(" + first + L"," + second + L")");
    if (!Connected()) return Fail(kNotConnected, ZUB_N_(L"no CAD session"));
    if (!HaveModel()) return Fail(kNoModel, ZUB_N_(L"no model is open"));
    try {
        Db db = OpenExisting(second);
        std::vector<ModelTable> read;
        for (const std::wstring& name : SplitList(first)) {
            if (HasTable(db, name)) read.push_back({name, ReadRows(db, name)});
        }
        // All tables are read before any is replaced, so a failure changes nothing.
        for (ModelTable& table : read) {
            if (ModelTable* mine = session.current->Table(table.name)) {
                mine->rows = std::move(table.rows);
            } else {
                session.current->tables.push_back(std::move(table));
            }
        }
    } catch (const zub::sqlite::Error& e) {
        return Fail(kDatabase, Formatted(ZUB_N_(L"database: %ls"), zub::Utf8ToWide(e.message())));
    }
    return 0;
}

std::wstring ProeAsynCommand::GetCurrentMdlFullName() {
    CadSession& session = TheSession();
    session.calls.push_back(L"GetCurrentMdlFullName()");
    return session.current ? session.current->path : std::wstring();
}

}  // namespace ZUBPROE4
