// The HTTP requests the WebDAV backend spends on the operations a vault does
// all day, counted by method against a real server, and the cases where it
// spends more to stay safe.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "testtree.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/webdavbackend.h"
#include "zubtest/webdavserver.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Tally = std::map<std::string, std::uint64_t>;
using Strings = std::vector<std::string>;

template <class Fn>
long Failure(Fn fn) {
    try {
        fn();
    } catch (const NFS::NfsError& e) {
        return e.number();
    }
    return 0;
}

class WebDavRequests : public ::testing::Test {
protected:
    WebDavRequests() {
        fs::permissions(tree.path(), fs::perms::others_exec, fs::perm_options::add);
        fs::create_directories(tree / "root");
        zub::testsupport::WebDavServer::Options options;
        options.documents = tree / "root";
        dav.emplace(options);
        backend.emplace(L"http://127.0.0.1:" + std::to_wstring(dav->port()), 0);
        backend->logIn(L"system", L"secret");
        tree.Write("local/v1", "version 1");
        tree.Write("local/v2", "version 2");
    }

    // The requests `fn` sends, by method.
    Tally Count(const std::function<void()>& fn) {
        const Tally before = backend->requestsByMethod();
        fn();
        Tally sent;
        for (const auto& [method, n] : backend->requestsByMethod()) {
            const auto was = before.find(method);
            const std::uint64_t more = n - (was == before.end() ? 0 : was->second);
            if (more != 0) sent[method] = more;
        }
        return sent;
    }

    TestTree tree;
    std::optional<zub::testsupport::WebDavServer> dav;
    std::optional<NFS::WebDavBackend> backend;
};

TEST_F(WebDavRequests, AddCheckInAndPresenceCheck) {
    backend->mk(L"R\\trunk");
    backend->mk(L"R\\history");
    struct Case {
        const char* what;
        std::function<void()> run;
        Tally expect;
    };
    const Case cases[] = {
        {"an add into an existing folder",
         [&] { backend->upload(Wide(tree / "local/v1"), L"R\\trunk\\a.prt", {}); },
         {{"PUT", 1}, {"PROPPATCH", 1}, {"PROPFIND", 1}, {"MOVE", 1}}},
        // The folder made on the way holds nothing the upload could replace.
        {"an add into a new folder",
         [&] { backend->upload(Wide(tree / "local/v1"), L"R\\trunk\\sub\\b.prt", {}); },
         {{"PUT", 2}, {"MKCOL", 1}, {"PROPPATCH", 1}, {"MOVE", 1}}},
        // The saved version is a new file: published without a look at its name.
        {"a check-in",
         [&] {
             NFS::ContentSum sum;
             backend->copy(L"R\\trunk\\a.prt", L"R\\history\\1_1.0.prt", {}, sum);
             backend->upload(Wide(tree / "local/v2"), L"R\\trunk\\a.prt", {});
         },
         {{"PROPFIND", 2}, {"COPY", 1}, {"MOVE", 2}, {"PUT", 1}, {"PROPPATCH", 1}}},
        {"asking whether a file is there",
         [&] {
             EXPECT_EQ(
                 Failure([&] { backend->renameFile(L"R\\trunk\\a.prt", L"R\\trunk\\a.prt"); }),
                 NFS::NFS_E_EXISTS);
         },
         {{"PROPFIND", 1}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Count(c.run), c.expect) << c.what;
    EXPECT_EQ(tree.Read("root/R/trunk/a.prt"), "version 2");
    EXPECT_EQ(tree.Read("root/R/history/1_1.0.prt"), "version 1");
    EXPECT_EQ(tree.Read("root/R/trunk/sub/b.prt"), "version 1");
}

TEST_F(WebDavRequests, ACopyOntoAnExistingNameReplacesOnlyAFile) {
    backend->upload(Wide(tree / "local/v1"), L"R\\a.prt", {});
    backend->upload(Wide(tree / "local/v2"), L"R\\b.prt", {});
    backend->mk(L"R\\folder\\inside");

    NFS::ContentSum sum;
    backend->copy(L"R\\a.prt", L"R\\b.prt", {}, sum);
    EXPECT_EQ(tree.Read("root/R/b.prt"), "version 1");
    EXPECT_EQ(sum.bytes, 9);
    EXPECT_EQ(sum.sha256.size(), 64u);

    try {
        backend->copy(L"R\\a.prt", L"R\\folder", {});
        ADD_FAILURE() << "a folder was replaced";
    } catch (const NFS::NfsError& e) {
        EXPECT_EQ(e.number(), NFS::NFS_E_WRONG_KIND);
        EXPECT_EQ(e.text(), L"the target \"R\\folder\" is a folder");
    }
    // The folder is whole and the copy left nothing beside it.
    EXPECT_EQ(tree.List("root/R"), (Strings{"a.prt", "b.prt", "folder/", "folder/inside/"}));
}

TEST_F(WebDavRequests, APresenceCheckTellsMissingFromWrongKind) {
    backend->upload(Wide(tree / "local/v1"), L"R\\a.prt", {});
    const struct {
        const wchar_t* path;
        bool folder;
        long number;
    } cases[] = {
        {L"R\\a.prt", false, NFS::NFS_E_EXISTS},
        {L"R", true, NFS::NFS_E_EXISTS},
        {L"R\\nope.prt", false, NFS::NFS_E_NOT_FOUND},
        {L"R\\a.prt", true, NFS::NFS_E_WRONG_KIND},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::wstring path = cases[i].path;
        const bool folder = cases[i].folder;
        EXPECT_EQ(Failure([&] {
                      folder ? backend->renameFolder(path, path) : backend->renameFile(path, path);
                  }),
                  cases[i].number)
            << "case " << i;
    }
    EXPECT_EQ(tree.Read("root/R/a.prt"), "version 1");
}

}  // namespace

}  // namespace zub::vaultfs::test
