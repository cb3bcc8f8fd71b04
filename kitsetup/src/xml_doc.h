// The parsed script document; released when the record dies or is parsed again.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <string>
#include <vector>

#include "kitsetup/error_info.h"

namespace zub::kitsetup {

class XmlDoc {
public:
    XmlDoc() = default;
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;
    ~XmlDoc() { Release(); }

    bool ParseFile(const std::string& path);
    bool ParseMemory(const char* data, std::size_t size);
    void Release();

    // The first element the absolute expression selects, or null.
    xmlNodePtr First(const char* xpath) const;
    // Every element it selects, in document order.
    std::vector<xmlNodePtr> All(const char* xpath) const;

    ErrorInfo error;

private:
    bool Parsed(xmlDocPtr doc);
    xmlDocPtr doc_ = nullptr;
};

// Attribute access on one element.
bool HasAttr(xmlNodePtr node, const char* name);
std::wstring ReadStr(xmlNodePtr node, const char* name);
bool ReadBool(xmlNodePtr node, const char* name);
bool ReadBoolDefaultTrue(xmlNodePtr node, const char* name);

}  // namespace zub::kitsetup
