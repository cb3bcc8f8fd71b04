// A file-server root in a temporary folder, reached through the command object.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "testtree.h"
#include "vaultfs/cnfs_cmd.h"
#include "zubtest/webdavserver.h"

namespace zub::vaultfs::test {

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

// The contract every backend keeps, run on each: the local folder, and a
// WebDAV server serving that same folder: a throwaway Apache of the test's
// own, or the nginx all nginx cases of the program share.
enum class Backend { Local, WebDav, Nginx };

// The address of `folder` on the program's shared nginx, logged in.
std::wstring ServeOnNginx(const std::filesystem::path& folder);

class ContractFixture : public BackendFixture, public ::testing::WithParamInterface<Backend> {
protected:
    ContractFixture();
    bool webDav() const { return GetParam() != Backend::Local; }
    bool nginx() const { return GetParam() == Backend::Nginx; }

    std::unique_ptr<zub::testsupport::WebDavServer> dav;
};

std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

}  // namespace zub::vaultfs::test
