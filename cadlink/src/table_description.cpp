#include "table_description.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <sqlite3.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct XPathContextFree {
    void operator()(xmlXPathContext* c) const noexcept { xmlXPathFreeContext(c); }
};
struct XPathObjectFree {
    void operator()(xmlXPathObject* o) const noexcept { xmlXPathFreeObject(o); }
};
struct XmlCharFree {
    void operator()(xmlChar* p) const noexcept { xmlFree(p); }
};
using XmlText = std::unique_ptr<xmlChar, XmlCharFree>;

const char* AsChars(const xmlChar* p) { return reinterpret_cast<const char*>(p); }

XmlText Attribute(xmlNode* node, const char* name) {
    return XmlText(xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)));
}

bool IsPlainIdentifier(const std::wstring& name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
        const bool digit = c >= L'0' && c <= L'9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

}  // namespace

struct TableDescription::Doc {
    struct Free {
        void operator()(xmlDoc* d) const noexcept { xmlFreeDoc(d); }
    };
    std::unique_ptr<xmlDoc, Free> doc;
};

TableDescription::TableDescription(std::unique_ptr<Doc> doc) : doc_(std::move(doc)) {}
TableDescription::~TableDescription() = default;

std::unique_ptr<TableDescription> TableDescription::Load(const std::wstring& path) {
    xmlDoc* doc = xmlReadFile(zub::WideToNarrow(path).c_str(), nullptr, kParseOptions);
    if (doc == nullptr) return nullptr;
    auto holder = std::make_unique<Doc>();
    holder->doc.reset(doc);
    return std::unique_ptr<TableDescription>(new TableDescription(std::move(holder)));
}

std::unique_ptr<TableDescription> TableDescription::Parse(const std::string& xml) {
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
    xmlDoc* doc =
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "dd.xml", nullptr, kParseOptions);
    if (doc == nullptr) return nullptr;
    auto holder = std::make_unique<Doc>();
    holder->doc.reset(doc);
    return std::unique_ptr<TableDescription>(new TableDescription(std::move(holder)));
}

const wchar_t* TableDescription::SqliteType(int code) noexcept {
    switch (code) {
        case 1:
        case 2:
        case 6:
        case 8:
            return L"Integer";
        case 3:
            return L"Real";
        default:
            return L"Text";
    }
}

std::string TableDescription::XPathLiteral(const std::string& text) {
    if (text.find('\'') == std::string::npos) return "'" + text + "'";
    if (text.find('"') == std::string::npos) return "\"" + text + "\"";
    // Both quote kinds: XPath 1.0 has no escape, so join pieces with concat().
    std::string out = "concat(";
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const std::size_t quote = text.find('\'', start);
        const std::size_t end = quote == std::string::npos ? text.size() : quote;
        if (end > start) {
            out += (first ? "'" : ",'") + text.substr(start, end - start) + "'";
            first = false;
        }
        if (quote == std::string::npos) break;
        out += first ? "\"'\"" : ",\"'\"";
        first = false;
        start = quote + 1;
    }
    // concat() needs two arguments; a lone piece gets an empty partner.
    return out + ",'')";
}

std::wstring TableDescription::ColumnName(const std::wstring& name) {
    if (IsPlainIdentifier(name)) {
        const std::string utf8 = zub::WideToUtf8(name);
        if (sqlite3_keyword_check(utf8.data(), static_cast<int>(utf8.size())) == 0) return name;
    }
    std::wstring out = L"\"";
    for (const wchar_t c : name) {
        out += c;
        if (c == L'"') out += L'"';
    }
    return out + L"\"";
}

std::wstring TableDescription::QuotedTableName(const std::wstring& name) {
    std::wstring out = L"CAXS_2_";
    for (const wchar_t c : name) {
        out += c;
        if (c == L'\'') out += L'\'';
    }
    return out;
}

int TableDescription::ParseInt(const char* text) noexcept {
    if (text == nullptr) return 0;
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::optional<std::wstring> TableDescription::CreateStatement(const std::wstring& tableName) const {
    // No attribute value holds a zero, and the expression would end at it.
    if (tableName.find(L'\0') != std::wstring::npos) return std::nullopt;
    const std::string expr = "/dd/tabs/tab[@name=" + XPathLiteral(zub::WideToUtf8(tableName)) + "]";
    std::unique_ptr<xmlXPathContext, XPathContextFree> ctx(xmlXPathNewContext(doc_->doc.get()));
    if (!ctx) throw std::bad_alloc();
    ctx->error = [](void*, xmlError*) {};
    std::unique_ptr<xmlXPathObject, XPathObjectFree> found(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr.c_str()), ctx.get()));
    if (!found) throw std::runtime_error(ZUB_N_("table description: XPath evaluation failed"));
    const xmlNodeSet* nodes = found->nodesetval;
    if (nodes == nullptr || nodes->nodeNr <= 0 || nodes->nodeTab == nullptr) return std::nullopt;

    std::wstring sql = L"create table if not exists '" + QuotedTableName(tableName) + L"' (";
    for (xmlNode* child = nodes->nodeTab[0]->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || std::strcmp(AsChars(child->name), "fld") != 0) {
            continue;
        }
        const XmlText name = Attribute(child, "name");
        const XmlText dt = Attribute(child, "dt");
        const XmlText pk = Attribute(child, "isPK");
        sql += ColumnName(name ? zub::Utf8ToWide(AsChars(name.get())) : std::wstring());
        sql += L' ';
        sql += SqliteType(dt ? ParseInt(AsChars(dt.get())) : 0);
        if (pk && ParseInt(AsChars(pk.get())) != 0) sql += L" primary key not null";
        sql += L',';
    }
    sql += L"CAXS_flag Integer)";
    return sql;
}

}  // namespace ZUBCAX
