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
#include "cli_language.h"
#include "zub/i18n.h"
#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/text.h"

namespace zub::zubcax {
namespace {

using zub::NarrowToWide;
using zub::WideToNarrow;

using zub::sqlite::Statement;

// A text the connector or its bridge reported (an error, the bridge's
// description of itself), in the user's language, its line end kept.
std::string Reported(const std::wstring& text) {
    std::string utf8 = zub::WideToUtf8(text);
    std::string end;
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == ' ')) {
        end.insert(end.begin(), utf8.back());
        utf8.pop_back();
    }
    return zub::LibraryText(utf8) + end;
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
    std::string lines;
    try {
        const zub::sqlite::Connection db(path, SQLITE_OPEN_READONLY);
        std::vector<std::string> tables;
        Statement list(db, "select name from sqlite_master where type='table' order by name");
        while (list.step()) tables.emplace_back(list.columnText(0));
        if (tables.empty()) lines += zub::tr("no tables created\n");
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
            lines += rows == 1
                         ? zub::trf("%s (%s): %lld row\n", table.c_str(), columns.c_str(), rows)
                         : zub::trf("%s (%s): %lld rows\n", table.c_str(), columns.c_str(), rows);
        }
    } catch (const zub::sqlite::Error&) {
        out << zub::trf("(cannot read %s)\n", path.c_str());
        return;
    }
    out << lines;
}

int Versions(std::ostream& out) {
    ZUBCAX::CProeVersion finder;
    const std::vector<std::wstring> installed = finder.InstalledVersions();
    if (installed.empty()) {
        out << zub::tr("no Pro/ENGINEER version installed\n");
        return 0;
    }
    const std::wstring current = finder.GetCurrentVersion();
    for (const std::wstring& version : installed) {
        const std::wstring dir = finder.InstallDir(version);
        out << (version == current ? "* " : "  ") << WideToNarrow(version);
        if (!dir.empty()) out << "  " << WideToNarrow(dir);
        out << "\n";
    }
    if (current.empty()) out << zub::tr("no current version (it could not be stored)\n");
    return 0;
}

int Use(const std::string& name, std::ostream& out, std::ostream& err) {
    ZUBCAX::CProeVersion finder;
    const std::wstring version = NarrowToWide(name);
    const std::vector<std::wstring> installed = finder.InstalledVersions();
    if (std::find(installed.begin(), installed.end(), version) == installed.end()) {
        err << zub::trf("zubcax: \"%s\" is not an installed Pro/ENGINEER version\n", name.c_str());
        return 1;
    }
    if (!finder.SetCurrentVersion(version)) {
        err << zub::trf(
            "zubcax: \"%s\" was not made current: its install directory is unknown or "
            "PRO_COMM_MSG_EXE could not be written\n",
            name.c_str());
        return 1;
    }
    out << zub::trf("current version: %s\n", name.c_str());
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
        err << zub::trf("zubcax: cannot connect: %s", Reported(connector.errText()).c_str());
        return 1;
    }
    std::unique_ptr<ZUBCAX::CaxCommand> command(raw);
    out << zub::trf("version: %s\n", zub::WideToUtf8(version).c_str());
    out << zub::trf("bridge: %s\n", Reported(command->appInfo()).c_str());
    if (!args.model.empty() && command->OpenFile(NarrowToWide(args.model)) != 0) {
        err << zub::trf("zubcax: opening the model failed: error %d: %s\n", command->errNumber(),
                        Reported(command->errText()).c_str());
        return 1;
    }
    const int rc = command->RefreshTable(NarrowToWide(args.tables), NarrowToWide(args.db));
    if (auto* proe = dynamic_cast<ZUBCAX::ProeCommand*>(command.get());
        proe != nullptr && proe->descErrNumber() != 0) {
        err << zub::trf("zubcax: warning: table description %s: %s",
                        zub::WideToUtf8(ZUBCAX::ProeCommand::DefaultDescriptionPath()).c_str(),
                        Reported(proe->descErrText()).c_str());
    }
    if (rc != 0) {
        err << zub::trf("zubcax: the refresh failed: error %d: %s\n", command->errNumber(),
                        Reported(command->errText()).c_str());
        return 1;
    }
    PrintTables(args.db, out);
    return 0;
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{zub::tr("zubcax - the CAD connector as it sees Pro/ENGINEER")};
    zub::tools::SpeakUserLanguage(app);
    app.require_subcommand(1);
    auto* versions = zub::tools::AddSubcommand(
        app, "versions", zub::tr("list the installed versions; * marks the current one"));
    std::string useName;
    auto* use =
        zub::tools::AddSubcommand(app, "use", zub::tr("make an installed version the current one"));
    use->add_option("version", useName, zub::tr("for example \"Wildfire 4.0\""))->required();
    RefreshArgs refreshArgs;
    auto* refresh = zub::tools::AddSubcommand(app, "refresh",
                                              zub::tr("mirror CAD tables into a new SQLite file"));
    refresh->add_option("tables", refreshArgs.tables, zub::tr("comma-separated CAD table names"))
        ->required();
    refresh->add_option("database", refreshArgs.db, zub::tr("SQLite file to (re)create"))
        ->required();
    refresh->add_option("--model", refreshArgs.model, zub::tr("model file to open first"));
    refresh->add_option("--version", refreshArgs.version,
                        zub::tr("Pro/ENGINEER version (default: the current one)"));
    refresh->add_option("--param", refreshArgs.param, zub::tr("text handed to the bridge"));
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
        err << zub::trf("zubcax: %s\n", zub::LibraryText(std::string_view(e.what())).c_str());
        return 1;
    }
    return 2;
}

}  // namespace zub::zubcax
