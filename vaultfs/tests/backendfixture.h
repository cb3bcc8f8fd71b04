// A file-server root in a temporary folder, reached through the command object.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "testtree.h"
#include "vaultfs/cnfs_cmd.h"

namespace vaultfs_test {

class BackendFixture : public ::testing::Test {
public:
    // The last failure on this thread as (number, text).
    static std::pair<long, std::wstring> LastError();

protected:
    BackendFixture();

    std::wstring Local(const std::filesystem::path& relative) const {
        return Wide(tree / relative);
    }

    TestTree tree;
    std::filesystem::path root;
    std::wstring server;
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    std::uint64_t count = 0;
};

}  // namespace vaultfs_test
