// Arbitrary table lists through the whole refresh: it never crashes, and the
// file holds only mirror tables of names that were asked for.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "cadlink/proe_command.h"
#include "command_text.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace {

class NullBridge : public ZUBCAX::ProeCommandBase {
public:
    int CreateMenu(const std::wstring&) override { return 0; }
    void Disconnect() override {}
    bool ConnIsValid() override { return true; }
    int OpenFile(const std::wstring&) override { return 0; }
    int CloseFile(const std::wstring&) override { return 0; }
    int SaveFile(std::wstring&) override { return 0; }
    int GetDependencies(std::wstring&) override { return 0; }
    int RefreshTable(const std::wstring&, const std::wstring&) override { return 0; }
    int UpdateTable(const std::wstring&, const std::wstring&) override { return 0; }
    std::wstring GetCurrentMdlFullName() override { return {}; }
};

const char kDescription[] =
    "<dd><tabs>"
    "<tab name='bom'><fld name='id' dt='1' isPK='1'/><fld name='qty' dt='3'/></tab>"
    "<tab name=\"a'b\"><fld name='x y' dt='2'/></tab>"
    "<tab name='c]d'><fld name='select'/></tab>"
    "<tab name='e&quot;f'><fld name='q&quot;' dt='4'/></tab>"
    "<tab name=''><fld name='empty'/></tab>"
    "<tab name='two'><fld name='k1' isPK='1'/><fld name='k2' isPK='1'/></tab>"
    "</tabs></dd>";

struct Fixture {
    zub::testsupport::TempDir tmp{"cadlink-fuzz"};
    std::string dir = tmp.str();
    std::unique_ptr<ZUBCAX::ProeCommand> command;

    Fixture() {
        std::ofstream(dir + "/dd_2.xml") << kDescription;
        command = std::make_unique<ZUBCAX::ProeCommand>(ZUBCAX::ConnectContext{},
                                                        std::make_unique<NullBridge>(),
                                                        zub::Utf8ToWide(dir + "/dd_2.xml"));
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Fixture& f = TheFixture();
    const std::wstring tables =
        zub::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    const std::string db = f.dir + "/m.db";
    // A failed refresh keeps the file it would replace: each input starts without one.
    std::remove(db.c_str());
    const int rc = f.command->RefreshTable(tables, zub::Utf8ToWide(db));
    if (rc != 0 && rc != -1) std::abort();

    std::set<std::string> allowed;
    for (const std::wstring& name : ZUBCAX::SplitTables(tables)) {
        allowed.insert(zub::WideToUtf8(L"CAXS_2_" + name));
    }
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(handle, "select name from sqlite_master where type='table'", -1, &stmt,
                           nullptr);
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            if (rc != 0 || allowed.count(name) == 0) std::abort();
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    return 0;
}
