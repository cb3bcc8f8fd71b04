// What a WebDAV server says about entries (PROPFIND's multistatus answer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace NFS {

struct DavEntry {
    std::string path;  // decoded URL path, without a trailing '/'
    bool folder = false;
    std::uint64_t bytes = 0;
    std::string sha256;         // the sum the upload stored beside the file, if any
    std::int64_t modified = 0;  // getlastmodified, seconds since 1970; 0 when absent
};

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT") in seconds since 1970; 0
// when it is not one. Read by hand: strptime's names follow the locale.
std::int64_t ParseHttpDate(const std::string& text);

// The body of a PROPFIND asking for what DavEntry holds.
const std::string& DavPropfindBody();
// The body of a PROPPATCH storing a file's sum.
std::string DavSumPatchBody(const std::string& sha256);

// The entries of a multistatus answer; throws NfsError on one that cannot be read.
std::vector<DavEntry> ParseDavListing(const std::string& xml, const std::wstring& shown);

}  // namespace NFS
