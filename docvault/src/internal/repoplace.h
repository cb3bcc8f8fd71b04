// Where a repository's tree lands, as its file server resolves it, so that
// every spelling of a server ("file:files", "file:./files/", the absolute
// folder, a link to it) and of a directory compares as the folder it reaches.
#pragma once

#include <string>

namespace DRM {

struct RepoPlace {
    std::wstring server;  // resolved against the store, as RepoFiles uses it
    std::wstring dir;     // the row's directory text
    std::wstring root;    // where the server's root lands; empty when unknown
    std::wstring tree;    // where the directory lands; empty when unknown

    // dbServer: the server the asking object is connected to.
    static RepoPlace Of(const std::wstring& dbServer, const std::wstring& server, long port,
                        const std::wstring& dir);

    // Create's test: on one root the directory texts may not contain one
    // another; any two trees may not be one, or one inside the other.
    bool Overlaps(const RepoPlace& other) const;
    // Delete's test: removing one tree would remove (part of) the other.
    bool Shares(const RepoPlace& other) const;
};

}  // namespace DRM
