#include "dbcore/cdbaccessorcreator.h"

#include <cwctype>
#include <map>
#include <mutex>
#include <stdexcept>

#include "embeddedbackend.h"
#include "pgbackend.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

thread_local std::wstring tLastError;

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

bool IsIpv6(const std::wstring& text) {
    for (wchar_t c : text)
        if (!std::iswxdigit(static_cast<wint_t>(c)) && c != L':' && c != L'.') return false;
    return true;
}

}  // namespace

struct CDBAccessorCreator::Impl {
    std::mutex mutex;
    std::map<std::wstring, Factory> backends;
};

CDBAccessorCreator& CDBAccessorCreator::instance() {
    static CDBAccessorCreator creator;
    return creator;
}

CDBAccessorCreator::CDBAccessorCreator() : impl_(std::make_shared<Impl>()) {
    impl_->backends[L"sqlite"] = EmbeddedBackend(L"sqlite");
}

std::unique_ptr<CDBAccessor> CDBAccessorCreator::CreateAccessor(const QVSvrInfo& server,
                                                                const std::wstring& token) {
    tLastError.clear();
    const std::wstring& text = server.server();
    std::size_t colon = text.find(L':');
    Factory factory;
    if (colon != std::wstring::npos) {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->backends.find(Lower(text.substr(0, colon)));
        if (it != impl_->backends.end()) factory = it->second;
    }
    // Any other text names a PostgreSQL server: a host, an address (IPv6
    // ones hold colons) or a socket folder; "word:rest" is a scheme no one
    // serves.
    if (!factory && (colon == std::wstring::npos || IsIpv6(text))) factory = ServerBackend();
    if (!factory) {
        tLastError =
            zub::Format(ZUB_N_(L"no database backend for the server \"%ls\""), text.c_str());
        return nullptr;
    }
    try {
        std::unique_ptr<CDBAccessor> accessor = factory(server, token);
        if (!accessor)
            tLastError =
                zub::Format(ZUB_N_(L"the backend refused the connection to \"%ls\""), text.c_str());
        return accessor;
    } catch (const std::exception& e) {
        tLastError = zub::Utf8ToWide(e.what());
        return nullptr;
    }
}

std::unique_ptr<CDBAccessor> CDBAccessorCreator::CreateAccessor(const std::wstring& local,
                                                                const std::wstring& /*b*/) {
    tLastError.clear();
    if (local.empty()) {
        tLastError = ZUB_N_(L"no database file given");
        return nullptr;
    }
    try {
        return OpenEmbeddedFile(zub::WideToUtf8(local));
    } catch (const std::exception& e) {
        tLastError = zub::Utf8ToWide(e.what());
        return nullptr;
    }
}

std::wstring CDBAccessorCreator::LastError() const { return tLastError; }

void CDBAccessorCreator::RegisterBackend(const std::wstring& scheme, Factory factory) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->backends[Lower(scheme)] = std::move(factory);
}

void CDBAccessorCreator::UnregisterBackend(const std::wstring& scheme) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->backends.erase(Lower(scheme));
}

}  // namespace ZUBDB
