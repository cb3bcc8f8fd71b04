#include "zubcaxapp.h"

#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cadlink/proe_command.h"
#include "cadlink/proe_connector.h"
#include "cadlink/proe_version.h"
#include "zub/text.h"

namespace zubcax {
namespace {

using zub::NarrowToWide;
using zub::WideToNarrow;

struct DbClose {
    void operator()(sqlite3* db) const noexcept { sqlite3_close(db); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

Stmt Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
    return Stmt(raw);
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

// One line per mirror table: its name, columns and row count.
void PrintTables(const std::string& path, std::ostream& out) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbClose> db(raw);
    if (rc != SQLITE_OK) {
        out << "(cannot read " << path << ")\n";
        return;
    }
    std::vector<std::string> tables;
    Stmt list = Prepare(raw, "select name from sqlite_master where type='table' order by name");
    while (list && sqlite3_step(list.get()) == SQLITE_ROW) {
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
    }
    if (tables.empty()) out << "no tables created\n";
    for (const std::string& table : tables) {
        std::string columns;
        Stmt info = Prepare(raw, "select name, type from pragma_table_info(?)");
        if (info) sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
            if (!columns.empty()) columns += ", ";
            columns += reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0));
            columns += ' ';
            columns += reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
        }
        long long rows = 0;
        Stmt count = Prepare(raw, "select count(*) from " + QuoteIdentifier(table));
        if (count && sqlite3_step(count.get()) == SQLITE_ROW)
            rows = sqlite3_column_int64(count.get(), 0);
        out << table << " (" << columns << "): " << rows << (rows == 1 ? " row\n" : " rows\n");
    }
}

int Versions(std::ostream& out) {
    ZUBCAX::CProeVersion finder;
    const std::vector<std::wstring> installed = finder.InstalledVersions();
    if (installed.empty()) {
        out << "no Pro/ENGINEER version installed\n";
        return 0;
    }
    const std::wstring current = finder.GetCurrentVersion();
    for (const std::wstring& version : installed) {
        const std::wstring dir = finder.InstallDir(version);
        out << (version == current ? "* " : "  ") << WideToNarrow(version);
        if (!dir.empty()) out << "  " << WideToNarrow(dir);
        out << "\n";
    }
    if (current.empty()) out << "no current version (it could not be stored)\n";
    return 0;
}

int Use(const std::string& name, std::ostream& out, std::ostream& err) {
    ZUBCAX::CProeVersion finder;
    const std::wstring version = NarrowToWide(name);
    const std::vector<std::wstring> installed = finder.InstalledVersions();
    if (std::find(installed.begin(), installed.end(), version) == installed.end()) {
        err << "zubcax: \"" << name << "\" is not an installed Pro/ENGINEER version\n";
        return 1;
    }
    if (!finder.SetCurrentVersion(version)) {
        err << "zubcax: \"" << name
            << "\" was not made current: its install directory is unknown or "
               "PRO_COMM_MSG_EXE could not be written\n";
        return 1;
    }
    out << "current version: " << name << "\n";
    return 0;
}

struct RefreshArgs {
    std::string tables;
    std::string db;
    std::string model;
    std::string version;
    std::string param;
};

int Refresh(const RefreshArgs& args, std::ostream& out, std::ostream& err) {
    std::wstring version = NarrowToWide(args.version);
    if (version.empty()) version = ZUBCAX::CProeVersion().GetCurrentVersion();
    if (version.empty()) version = L"Wildfire 4.0";
    ZUBCAX::ProeConnector connector(0, version, NarrowToWide(args.param));
    ZUBCAX::CaxCommand* raw = nullptr;
    if (connector.NewCommand(nullptr, raw) != 0) {
        err << "zubcax: cannot connect: " << WideToNarrow(connector.errText());
        return 1;
    }
    std::unique_ptr<ZUBCAX::CaxCommand> command(raw);
    out << "version: " << WideToNarrow(version) << "\n";
    out << "bridge: " << WideToNarrow(command->appInfo()) << "\n";
    const auto fail = [&](const char* step) {
        err << "zubcax: " << step << " failed: error " << command->errNumber() << ": "
            << WideToNarrow(command->errText()) << "\n";
        return 1;
    };
    if (!args.model.empty() && command->OpenFile(NarrowToWide(args.model)) != 0) {
        return fail("opening the model");
    }
    const int rc = command->RefreshTable(NarrowToWide(args.tables), NarrowToWide(args.db));
    if (auto* proe = dynamic_cast<ZUBCAX::ProeCommand*>(command.get());
        proe != nullptr && proe->descErrNumber() != 0) {
        err << "zubcax: warning: table description "
            << WideToNarrow(ZUBCAX::ProeCommand::DefaultDescriptionPath()) << ": "
            << WideToNarrow(proe->descErrText());
    }
    if (rc != 0) return fail("the refresh");
    PrintTables(args.db, out);
    return 0;
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"zubcax - the CAD connector as it sees Pro/ENGINEER"};
    app.require_subcommand(1);
    auto* versions =
        app.add_subcommand("versions", "list the installed versions; * marks the current one");
    std::string useName;
    auto* use = app.add_subcommand("use", "make an installed version the current one");
    use->add_option("version", useName, "for example \"Wildfire 4.0\"")->required();
    RefreshArgs refreshArgs;
    auto* refresh = app.add_subcommand("refresh", "mirror CAD tables into a new SQLite file");
    refresh->add_option("tables", refreshArgs.tables, "comma-separated CAD table names")
        ->required();
    refresh->add_option("database", refreshArgs.db, "SQLite file to (re)create")->required();
    refresh->add_option("--model", refreshArgs.model, "model file to open first");
    refresh->add_option("--version", refreshArgs.version,
                        "Pro/ENGINEER version (default: the current one)");
    refresh->add_option("--param", refreshArgs.param, "text handed to the bridge");
    if (argc < 2) {
        out << app.help();
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }
    try {
        if (*versions) return Versions(out);
        if (*use) return Use(useName, out, err);
        if (*refresh) return Refresh(refreshArgs, out, err);
    } catch (const std::exception& e) {
        err << "zubcax: " << e.what() << "\n";
        return 1;
    }
    return 2;
}

}  // namespace zubcax
