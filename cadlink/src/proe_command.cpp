#include "cadlink/proe_command.h"

#include <chrono>
#include <cwchar>
#include <exception>
#include <optional>
#include <thread>

#include "cadlink/sqlite_db.h"
#include "cadlink/sqlite_error.h"
#include "command_text.h"
#include "staged_database.h"
#include "table_description.h"
#include "zub/i18n.h"
#include "zub/platform/module.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

constexpr wchar_t kNotParsed[] = ZUB_N_(L"Document not parsed successfully.") L" \n";
constexpr wchar_t kUnknownError[] = ZUB_N_(L"Unknow error.");

std::wstring ExceptionText(const std::exception& e) {
    const char* what = e.what();
    return what == nullptr ? std::wstring() : zub::NarrowToWide(what);
}

// "[ProeCommand::OPERATION()]: WHY", the form of every failure the command reports.
std::wstring Failure(const wchar_t* operation, const std::wstring& why) {
    return zub::FormatBounded(std::wcslen(operation) + why.size() + 32,
                              ZUB_N_(L"[ProeCommand::%ls()]: %ls"), operation, why.c_str());
}

std::wstring CreateTableError(const std::wstring& why) {
    return zub::FormatBounded(why.size() + 32, ZUB_N_(L"Create Table error, %ls"), why.c_str());
}

}  // namespace

ProeCommand::ProeCommand(const ConnectContext& context, std::unique_ptr<ProeCommandBase> bridge,
                         std::wstring descriptionPath)
    : CaxCommand(context),
      bridge_(std::move(bridge)),
      descriptionPath_(std::move(descriptionPath)) {}

ProeCommand::~ProeCommand() = default;

std::wstring ProeCommand::DefaultDescriptionPath() {
    std::wstring module;
    if (zub::platform::ModulePathFromAddress(reinterpret_cast<const void*>(&DescriptionPathFor),
                                             module) != zub::platform::kErrorSuccess) {
        module.clear();
    }
    return DescriptionPathFor(module);
}

bool ProeCommand::NeedBridge() {
    if (bridge_) return true;
    SetErr(kNoBridge, zub::FormatBounded(
                          versionName().size() + 64,
                          ZUB_N_(L"ZUBCAX::ProeCommand: no CAD bridge command for version \"%ls\""),
                          versionName().c_str()));
    return false;
}

int ProeCommand::CopyBridgeError(int result) {
    if (result != 0) SetErr(bridge_->errNumber(), bridge_->errText());
    return result;
}

template <class Call>
int ProeCommand::Forward(const wchar_t* operation, Call call) {
    if (!NeedBridge()) return kNoBridge;
    try {
        return CopyBridgeError(call(*bridge_));
    } catch (const std::exception& e) {
        SetErr(-1, Failure(operation, ExceptionText(e)));
    } catch (...) {
        SetErr(-1, Failure(operation, kUnknownError));
    }
    return -1;
}

void ProeCommand::Disconnect() {
    if (!bridge_) return;
    try {
        bridge_->Disconnect();
    } catch (...) {
        SetErr(-1, Failure(L"Disconnect", kUnknownError));
    }
}

bool ProeCommand::ConnIsValid() {
    if (!bridge_) return false;
    try {
        return bridge_->ConnIsValid();
    } catch (...) {
        return false;
    }
}

int ProeCommand::CreateMenu(const std::wstring& name) {
    return Forward(L"CreateMenu", [&](ProeCommandBase& b) { return b.CreateMenu(name); });
}

int ProeCommand::UpdateTable(const std::wstring& first, const std::wstring& second) {
    return Forward(L"UpdateTable",
                   [&](ProeCommandBase& b) { return b.UpdateTable(first, second); });
}

int ProeCommand::SaveFile(std::wstring& text) {
    return Forward(L"SaveFile", [&](ProeCommandBase& b) { return b.SaveFile(text); });
}

int ProeCommand::CloseFile(const std::wstring& /*name*/) {
    // The bridge closes the current model; it takes no name.
    return Forward(L"CloseFile", [](ProeCommandBase& b) { return b.CloseFile(std::wstring()); });
}

int ProeCommand::GetDependencies(std::wstring& text) {
    return Forward(L"GetDependencies", [&](ProeCommandBase& b) { return b.GetDependencies(text); });
}

int ProeCommand::OpenFile(const std::wstring& path) {
    return Forward(L"OpenFile", [&](ProeCommandBase& b) {
        // CAD cannot hold two models of one name; the other one goes first.
        if (SameNameOtherDirectory(b.GetCurrentMdlFullName(), path)) {
            b.CloseFile(std::wstring());
            std::this_thread::sleep_for(std::chrono::milliseconds(kReopenPauseMs));
        }
        return b.OpenFile(path);
    });
}

int ProeCommand::BuildMirror(const std::wstring& tables, const std::wstring& dbPath) {
    int result = -1;
    SqliteDb db;
    bool inTransaction = false;
    try {
        const std::vector<std::wstring> names = SplitTables(tables);
        db.Open(dbPath);
        db.Execute(L"begin transaction");
        inTransaction = true;
        if (!description_) {
            if (descriptionPath_.empty()) descriptionPath_ = DefaultDescriptionPath();
            description_ = TableDescription::Load(descriptionPath_);
            if (description_) {
                descErrNumber_ = 0;
                descErrText_.clear();
            } else {
                descErrNumber_ = 1;
                descErrText_ = kNotParsed;
            }
        }
        if (description_) {
            for (const std::wstring& name : names) {
                if (auto statement = description_->CreateStatement(name)) db.Execute(*statement);
            }
        }
        db.Execute(L"commit transaction");
        inTransaction = false;
        result = 0;
        db.Close();
    } catch (const SqliteError& e) {
        SetErr(-1, Failure(L"RefreshTable", CreateTableError(e.message())) + L" \n");
        if (inTransaction) {
            try {
                db.Execute(L"rollback transaction");
            } catch (...) {
                // The connection is closed below; SQLite rolls back then.
            }
        }
    } catch (...) {
        SetErr(-1, Failure(L"RefreshTable", kUnknownError));
    }
    try {
        db.Close();
    } catch (...) {
        // Closing with nothing pending cannot lose data; the wrapper frees it.
    }
    return result;
}

int ProeCommand::RefreshTable(const std::wstring& tables, const std::wstring& dbPath) {
    // Without a bridge nothing would fill the tables: keep the caller's file.
    if (!NeedBridge()) return kNoBridge;
    // The caller's file stays as it is until a complete new one replaces it.
    std::optional<StagedDatabase> staged;
    try {
        StagedDatabase::SweepAbandoned(dbPath);
        staged.emplace(dbPath);
    } catch (const std::exception& e) {
        return RefreshFailed(CreateTableError(ExceptionText(e)));
    }
    if (BuildMirror(tables, staged->path()) != 0) return -1;
    const int rc = Forward(L"RefreshTable", [&](ProeCommandBase& b) {
        return b.RefreshTable(tables, staged->path());
    });
    if (rc != 0) return rc;
    try {
        staged->Publish();
    } catch (const std::exception& e) {
        return RefreshFailed(ExceptionText(e));
    }
    return 0;
}

int ProeCommand::RefreshFailed(const std::wstring& why) {
    SetErr(-1, Failure(L"RefreshTable", why) + L" \n");
    return -1;
}

}  // namespace ZUBCAX
