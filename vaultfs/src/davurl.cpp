#include "davurl.h"

#include "fsutil.h"
#include "rootmap.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

namespace {

// format: the whole text, the server its only argument (then the port).
[[noreturn]] void Refuse(const wchar_t* format, const std::wstring& server, long port = 0) {
    throw NfsError(NFS_E_UNKNOWN_SERVER, zub::Format(format, server.c_str(), port));
}

bool Unreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string PercentEncode(const std::string& segment) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (const char ch : segment) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

bool PercentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = Hex(text[i + 1]);
        const int low = Hex(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

DavUrl DavUrl::Parse(const std::wstring& given, unsigned short port) {
    const std::string text = zub::WideToUtf8(given);
    // Texts about the server never repeat credentials written into it.
    std::wstring server = given;
    if (const std::size_t at = server.find(L'@'); at != std::wstring::npos) {
        const std::size_t start = server.find(L"://");
        if (start != std::wstring::npos && start < at)
            server.replace(start + 3, at - start - 3, L"...");
    }
    const std::size_t colon = text.find("://");
    if (colon == std::string::npos)
        Refuse(ZUB_N_(L"the server \"%ls\" is no http:// or https:// address"), server);
    DavUrl url;
    url.scheme = Lower(text.substr(0, colon));
    if (url.scheme != "http" && url.scheme != "https")
        Refuse(ZUB_N_(L"the server \"%ls\" is no http:// or https:// address"), server);
    std::string rest = text.substr(colon + 3);
    if (const std::size_t query = rest.find('?'); query != std::string::npos) {
        const std::string options = rest.substr(query + 1);
        rest.resize(query);
        if (options.compare(0, 7, "cafile=") != 0 ||
            !PercentDecode(options.substr(7), url.caFile) || url.caFile.empty())
            Refuse(ZUB_N_(L"the server \"%ls\" names an option other than cafile=PATH"), server);
    }
    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    const std::string base = slash == std::string::npos ? "" : rest.substr(slash);
    if (authority.find('@') != std::string::npos)
        Refuse(ZUB_N_(L"the server \"%ls\" holds credentials; a login gives them"), server);
    std::string host = authority;
    unsigned long named = 0;
    const std::size_t bracket = authority.rfind(']');
    const std::size_t portColon = authority.rfind(':');
    if (portColon != std::string::npos && (bracket == std::string::npos || portColon > bracket)) {
        host = authority.substr(0, portColon);
        const std::string digits = authority.substr(portColon + 1);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            (named = std::stoul(digits)) == 0 || named > 65535)
            Refuse(ZUB_N_(L"the server \"%ls\" names no valid port"), server);
    }
    if (host.empty() || host.find_first_of(" \t\r\n%\\#") != std::string::npos)
        Refuse(ZUB_N_(L"the server \"%ls\" names no valid host"), server);
    if (named != 0 && port != 0 && named != port)
        Refuse(ZUB_N_(L"the server \"%ls\" names another port than %ld"), server, port);
    const unsigned long chosen = port != 0    ? port
                                 : named != 0 ? named
                                              : (url.scheme == "https" ? 443UL : 80UL);
    url.origin = url.scheme + "://" + Lower(host) + ":" + std::to_string(chosen);
    // The base is written plainly; its segments are encoded as the paths'.
    std::size_t pos = 0;
    while (pos < base.size()) {
        std::size_t end = base.find('/', pos);
        if (end == std::string::npos) end = base.size();
        const std::string part = base.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..")
            Refuse(ZUB_N_(L"the server \"%ls\" has a base path that leaves itself"), server);
        url.base += "/" + PercentEncode(part);
    }
    return url;
}

std::string DavUrl::Path(const std::wstring& serverPath) const {
    std::string out = base;
    for (const auto& part : RootMap::Relative(serverPath))
        out += "/" + PercentEncode(part.string());
    return out;
}

}  // namespace NFS
