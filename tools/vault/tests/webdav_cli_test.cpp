// A store whose repositories keep their files on a WebDAV server (a
// throwaway Apache): init, the document cycle, and verify reading the files
// back with their sums.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "vaultrunner.h"
#include "zubtest/files.h"
#include "zubtest/webdavserver.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

class VaultWebDavCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        fs::permissions(ws_, fs::perms::others_exec, fs::perm_options::add);
        fs::create_directories(ws_ / "dav/vault");
        zub::testsupport::WebDavServer::Options options;
        options.password = "team-s3cret";
        options.documents = ws_ / "dav";
        dav = std::make_unique<zub::testsupport::WebDavServer>(options);
        url = "http://127.0.0.1:" + std::to_string(dav->port()) + "/vault";
    }
    void TearDown() override {
        dav.reset();
        VaultCli::TearDown();
    }

    std::unique_ptr<zub::testsupport::WebDavServer> dav;
    std::string url;
};

TEST_F(VaultWebDavCli, InitNeedsThePasswordTheServerKnows) {
    for (const char* wrong : {"", "not-it"}) {
        const RunResult r = Run({"init", "--files", url}, {{"VAULT_FILES_PASSWORD", wrong}});
        EXPECT_EQ(r.code, 1) << wrong;
        // The password never shows, right or wrong.
        EXPECT_EQ(r.err.find("not-it"), std::string::npos) << r.err;
        fs::remove_all(store_);
    }
    EXPECT_EQ(Run({"init", "--files", "ftp://h/x"}, {{"VAULT_FILES_PASSWORD", "x"}}).code, 1);
    const RunResult r = Run({"init", "--files", url}, {{"VAULT_FILES_PASSWORD", "team-s3cret"}});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(url), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("team-s3cret"), std::string::npos);
    // The server's root names the store that claimed it.
    EXPECT_TRUE(fs::is_regular_file(ws_ / "dav/vault/.vaultfs-owner"));
}

TEST_F(VaultWebDavCli, DocumentsLiveOnTheServerAndVerifyReadsThemBack) {
    ASSERT_EQ(Run({"init", "--files", url}, {{"VAULT_FILES_PASSWORD", "team-s3cret"}}).code, 0);
    Ok({"repo", "create", "demo"});
    WriteFile("图纸 1.prt", "first");
    Ok({"doc", "add", "demo", "图纸 1.prt"});
    Ok({"doc", "checkout", "1", Path("work").string()});
    WriteFile("work/图纸 1.prt", "second, longer");
    Ok({"doc", "checkin", "1", Path("work/图纸 1.prt").string(), "-m", "more"});
    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    EXPECT_EQ(history.size(), 2u) << history.dump();  // the current version and 1.0
    // The current file and the history copy are on the server.
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ / "dav/vault"))
        if (entry.is_regular_file() && entry.path().parent_path().filename() != ".DAV")
            files.push_back(entry.path().lexically_relative(ws_ / "dav/vault").string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files.size(), 3u) << testing::PrintToString(files);  // current, history, owner
    // Every file reads back with its sum, and the folders walked on the
    // server hold nothing else.
    const RunResult clean = Run({"verify", "--json"});
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_TRUE(clean.Json().empty()) << clean.out;

    // Damaged on the server: verify reads it and says so.
    for (const auto& entry : fs::recursive_directory_iterator(ws_ / "dav/vault"))
        if (entry.path().filename() == "图纸 1.prt")
            zub::testsupport::WriteFile(entry.path(), "damaged!");
    const RunResult found = Run({"verify", "--json"});
    EXPECT_NE(found.code, 0);
    EXPECT_NE(found.out.find("图纸 1.prt"), std::string::npos) << found.out;
}

}  // namespace zub::vault::test
