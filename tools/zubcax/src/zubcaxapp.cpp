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
#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/text.h"

namespace zubcax {
namespace {

using zub::NarrowToWide;
using zub::WideToNarrow;

using zub::sqlite::Statement;

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
    std::string lines;
    try {
        const zub::sqlite::Connection db(path, SQLITE_OPEN_READONLY);
        std::vector<std::string> tables;
        Statement list(db, "select name from sqlite_master where type='table' order by name");
        while (list.step()) tables.emplace_back(list.columnText(0));
        if (tables.empty()) lines += "no tables created\n";
        for (const std::string& table : tables) {
            std::string columns;
            Statement info(db, "select name, type from pragma_table_info(?)");
            info.bind(1, table);
            while (info.step()) {
                if (!columns.empty()) columns += ", ";
                columns += info.columnText(0);
                columns += ' ';
                columns += info.columnText(1);
            }
            Statement count(db, "select count(*) from " + QuoteIdentifier(table));
            const long long rows = count.step() ? count.columnInt64(0) : 0;
            lines += table + " (" + columns + "): " + std::to_string(rows) +
                     (rows == 1 ? " row\n" : " rows\n");
        }
    } catch (const zub::sqlite::Error&) {
        out << "(cannot read " << path << ")\n";
        return;
    }
    out << lines;
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
