// Where a repository keeps its files: the server, port and root directory of
// its QV_DMRepo row. Documents and baselines build their paths on it.
#pragma once

#include <string>

#include "dbcore/cdbread.h"

class BO;

namespace DRM {

struct RepoLocation {
    std::wstring server;
    unsigned short port = 0;
    std::wstring dir;

    // Reads the row of docRepoId over bo's connection and records any failure
    // on bo: 49609 without the row, else 0 or the database's number.
    int Lookup(BO& bo, int docRepoId);
    // The read Lookup makes.
    static ZUBDB::CDBRead Read(int docRepoId);
};

}  // namespace DRM
