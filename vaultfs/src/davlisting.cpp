#include "davlisting.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "davurl.h"
#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

namespace {

constexpr const char* kDav = "DAV:";
// The sum lives in a property of our own name space.
constexpr const char* kOurs = "urn:zub:vaultfs";

bool Is(const xmlNode* node, const char* ns, const char* name) {
    return node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* Child(const xmlNode* node, const char* ns, const char* name) {
    for (const xmlNode* c = node->children; c != nullptr; c = c->next)
        if (Is(c, ns, name)) return c;
    return nullptr;
}

std::string Text(const xmlNode* node) {
    if (node == nullptr) return {};
    xmlChar* text = xmlNodeGetContent(node);
    std::string out = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    const std::size_t first = out.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \t\r\n") - first + 1);
}

struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

[[noreturn]] void Damaged(const std::wstring& shown) {
    throw NfsError(NFS_E_HTTP,
                   zub::Format(ZUB_N_(L"PROPFIND of \"%ls\": the server's answer is unreadable"),
                               shown.c_str()));
}

}  // namespace

std::int64_t ParseHttpDate(const std::string& text) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::size_t comma = text.find(", ");
    if (comma == std::string::npos) return 0;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char month[4] = {};
    char zone[4] = {};
    if (std::sscanf(text.c_str() + comma + 2, "%2d %3s %4d %2d:%2d:%2d %3s", &day, month, &year,
                    &hour, &minute, &second, zone) != 7 ||
        std::strcmp(zone, "GMT") != 0)
        return 0;
    std::tm when{};
    when.tm_mon = -1;
    for (int i = 0; i < 12; ++i)
        if (std::strcmp(month, kMonths[i]) == 0) when.tm_mon = i;
    if (when.tm_mon < 0 || day < 1 || day > 31 || year < 1970 || hour > 23 || minute > 59 ||
        second > 60)
        return 0;
    when.tm_mday = day;
    when.tm_year = year - 1900;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&when));
}

const std::string& DavPropfindBody() {
    static const std::string body = std::string(
                                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                        "<D:propfind xmlns:D=\"DAV:\" xmlns:Z=\"") +
                                    kOurs +
                                    "\"><D:prop><D:resourcetype/><D:getcontentlength/"
                                    "><D:getlastmodified/><Z:sha256/></D:prop></D:propfind>";
    return body;
}

std::string DavSumPatchBody(const std::string& sha256) {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
               "<D:propertyupdate xmlns:D=\"DAV:\" xmlns:Z=\"") +
           kOurs + "\"><D:set><D:prop><Z:sha256>" + sha256 +
           "</Z:sha256></D:prop></D:set></D:propertyupdate>";
}

std::vector<DavEntry> ParseDavListing(const std::string& xml, const std::wstring& shown) {
    std::unique_ptr<xmlDoc, FreeDoc> doc(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "propfind.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) Damaged(shown);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || !Is(root, kDav, "multistatus")) Damaged(shown);
    std::vector<DavEntry> entries;
    for (const xmlNode* response = root->children; response != nullptr; response = response->next) {
        if (!Is(response, kDav, "response")) continue;
        std::string href = Text(Child(response, kDav, "href"));
        // An absolute URL or an absolute path: the path is what counts.
        if (const std::size_t scheme = href.find("://"); scheme != std::string::npos) {
            const std::size_t slash = href.find('/', scheme + 3);
            href = slash == std::string::npos ? "/" : href.substr(slash);
        }
        DavEntry entry;
        if (href.empty() || !PercentDecode(href, entry.path)) Damaged(shown);
        while (entry.path.size() > 1 && entry.path.back() == '/') entry.path.pop_back();
        for (const xmlNode* stat = response->children; stat != nullptr; stat = stat->next) {
            if (!Is(stat, kDav, "propstat")) continue;
            if (Text(Child(stat, kDav, "status")).find(" 200") == std::string::npos) continue;
            const xmlNode* prop = Child(stat, kDav, "prop");
            if (prop == nullptr) continue;
            if (const xmlNode* type = Child(prop, kDav, "resourcetype"))
                entry.folder = Child(type, kDav, "collection") != nullptr;
            if (const xmlNode* length = Child(prop, kDav, "getcontentlength")) {
                const std::string digits = Text(length);
                if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos)
                    entry.bytes = std::stoull(digits);
            }
            if (const xmlNode* sum = Child(prop, kOurs, "sha256")) entry.sha256 = Text(sum);
            if (const xmlNode* when = Child(prop, kDav, "getlastmodified"))
                entry.modified = ParseHttpDate(Text(when));
        }
        if (entry.sha256.size() != 64 ||
            entry.sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
            entry.sha256.clear();
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace NFS
