#include "xml_doc.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <climits>
#include <memory>

#include "kitsetup/script_loader.h"
#include "zub/text.h"

namespace zub::kitsetup {

namespace {

// No network, no entity expansion, no messages on stderr.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

struct XPathContextFree {
    void operator()(xmlXPathContextPtr p) const { xmlXPathFreeContext(p); }
};
struct XPathObjectFree {
    void operator()(xmlXPathObjectPtr p) const { xmlXPathFreeObject(p); }
};
struct XmlCharFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};

}  // namespace

bool XmlDoc::Parsed(xmlDocPtr doc) {
    doc_ = doc;
    if (doc_ == nullptr) {
        error.Set(1, zub::Utf8ToWide(kNotParsed));
        return false;
    }
    error.Clear();
    return true;
}

bool XmlDoc::ParseFile(const std::string& path) {
    Release();
    return Parsed(xmlReadFile(path.c_str(), nullptr, kParseOptions));
}

bool XmlDoc::ParseMemory(const char* data, std::size_t size) {
    Release();
    if (data == nullptr || size > static_cast<std::size_t>(INT_MAX)) return Parsed(nullptr);
    return Parsed(
        xmlReadMemory(data, static_cast<int>(size), "install.xml", nullptr, kParseOptions));
}

void XmlDoc::Release() {
    if (doc_ != nullptr) xmlFreeDoc(doc_);
    doc_ = nullptr;
}

std::vector<xmlNodePtr> XmlDoc::All(const char* xpath) const {
    std::vector<xmlNodePtr> nodes;
    if (doc_ == nullptr) return nodes;
    std::unique_ptr<xmlXPathContext, XPathContextFree> ctx(xmlXPathNewContext(doc_));
    if (!ctx) return nodes;
    std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
        xmlXPathEvalExpression(X(xpath), ctx.get()));
    if (!result || result->type != XPATH_NODESET || result->nodesetval == nullptr) return nodes;
    const xmlNodeSetPtr set = result->nodesetval;
    for (int i = 0; i < set->nodeNr; ++i) {
        if (set->nodeTab[i] != nullptr && set->nodeTab[i]->type == XML_ELEMENT_NODE)
            nodes.push_back(set->nodeTab[i]);
    }
    return nodes;
}

xmlNodePtr XmlDoc::First(const char* xpath) const {
    const auto nodes = All(xpath);
    return nodes.empty() ? nullptr : nodes.front();
}

bool HasAttr(xmlNodePtr node, const char* name) {
    return node != nullptr && xmlHasProp(node, X(name)) != nullptr;
}

std::wstring ReadStr(xmlNodePtr node, const char* name) {
    if (node == nullptr) return {};
    std::unique_ptr<xmlChar, XmlCharFree> value(xmlGetProp(node, X(name)));
    if (!value) return {};
    return zub::Utf8ToWide(reinterpret_cast<const char*>(value.get()));
}

bool ReadBool(xmlNodePtr node, const char* name) {
    const std::wstring v = ReadStr(node, name);
    return !v.empty() && v != L"0";
}

bool ReadBoolDefaultTrue(xmlNodePtr node, const char* name) {
    return HasAttr(node, name) ? ReadBool(node, name) : true;
}

}  // namespace zub::kitsetup
