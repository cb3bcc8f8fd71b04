// Where a WebDAV server lives and how server paths become its URL paths.
#pragma once

#include <string>

namespace NFS {

struct DavUrl {
    std::string scheme;  // "http" or "https"
    std::string origin;  // "scheme://host:port"
    std::string base;    // encoded, "" or "/a/b" (no trailing '/')
    std::string caFile;  // from "?cafile=PATH": certificates trusted besides the system's

    // "http://host[:port][/base][?cafile=PATH]" with the repository's port
    // (0: the one in the text, else the scheme's). Credentials in the text
    // are refused: they belong to logIn.
    static DavUrl Parse(const std::wstring& server, unsigned short port);

    // The URL path of a server path below the base: every segment
    // percent-encoded, nothing that leaves the base (see RootMap::Relative).
    std::string Path(const std::wstring& serverPath) const;
    std::string Root() const { return base + "/"; }
};

// Every byte but the unreserved ones as %XX.
std::string PercentEncode(const std::string& segment);
// %XX back to bytes; nothing when the text is not well-formed.
bool PercentDecode(const std::string& text, std::string& out);

}  // namespace NFS
