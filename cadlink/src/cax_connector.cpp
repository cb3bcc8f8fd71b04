#include "cadlink/cax_connector.h"

#include <cwchar>
#include <exception>
#include <memory>

#include "zub/boundary.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

constexpr wchar_t kFile[] = L"cax_connector";
constexpr wchar_t kConnect[] = L"ZUBCAX::CaxConnector::Connect";
constexpr wchar_t kNewCommand[] = L"ZUBCAX::CaxConnector::NewCommand";

}  // namespace

CaxConnector::CaxConnector(int creator, std::wstring versionName, std::wstring bridgeParam)
    : creator_(creator),
      versionName_(std::move(versionName)),
      bridgeParam_(std::move(bridgeParam)) {}

CaxConnector::~CaxConnector() = default;

int CaxConnector::Fail(const wchar_t* function, int line, const std::exception_ptr& error) {
    const ZUBBASE::QV_Exception qv = ZUBBASE::CaughtAt(error, {kFile, function, line});
    errNumber_ = kConnectFailed;
    const std::wstring text = qv.FullText();
    errText_ = zub::FormatBounded(std::wcslen(function) + text.size() + 16,
                                  ZUB_N_(L"%ls() error: %ls"), function, text.c_str());
    return -1;
}

int CaxConnector::Connect(ConnectContext& context, IDispatch* application) {
    try {
        ZUBBASE::InstallSeTranslator();
        std::wstring info;
        void* handle = nullptr;
        const int rc = LoadApplication(versionName_, bridgeParam_, application, info, handle);
        if (rc != 0) return rc;
        context.appHandle = handle;
        context.appInfo = std::move(info);
        context.creator = creator_;
        context.versionName = versionName_;
        return 0;
    } catch (...) {
        return Fail(kConnect, __LINE__, std::current_exception());
    }
}

int CaxConnector::NewCommand(IDispatch* application, CaxCommand*& command) {
    ConnectContext context;
    const int rc = Connect(context, application);
    if (rc != 0) return rc;
    try {
        return CreateCommand(&context, command);
    } catch (...) {
        // The caller sees the same failure as a failed connection.
        return Fail(kNewCommand, __LINE__, std::current_exception());
    }
}

}  // namespace ZUBCAX
