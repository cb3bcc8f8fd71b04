// vault on a team's store: a PostgreSQL server named by a store file.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "vaultrunner.h"
#include "zubtest/pgcluster.h"
#include "zubtest/webdavserver.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

class VaultServerCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        const auto& cluster = zub::testsupport::PgCluster::Shared();
        cluster.DropDatabase("QVData");
        cluster.DropDatabase("QVSystem");
        store_ = ws_ / "team.store";
        server_ = cluster.socketDir() + ":" + std::to_string(cluster.port());
    }

    RunResult InitOn(const std::string& server, const fs::path& file,
                     const std::map<std::string, std::string>& env = {}) {
        return Run(
            {"init", "--server", server, "--user", zub::testsupport::PgCluster::Shared().user(),
             "--files", (ws_ / "team.store.files").string(), file.string()},
            env);
    }

    std::string server_;
};

// The team's store with its files on a WebDAV server: databases on
// PostgreSQL, files on Apache, the server's password in the system database.
class VaultTeamCli : public VaultServerCli {
protected:
    void SetUp() override {
        VaultServerCli::SetUp();
        // The server's user (when run as root) walks into the workspace.
        fs::permissions(ws_, fs::perms::others_exec, fs::perm_options::add);
        fs::create_directories(ws_ / "dav/vault");
        zub::testsupport::WebDavServer::Options options;
        options.password = "team-s3cret";
        options.documents = ws_ / "dav";
        dav_ = std::make_unique<zub::testsupport::WebDavServer>(options);
        url_ = "http://127.0.0.1:" + std::to_string(dav_->port()) + "/vault";
    }
    void TearDown() override {
        dav_.reset();
        VaultServerCli::TearDown();
    }

    RunResult InitTeam(const fs::path& file, const std::string& password) {
        return Run({"init", "--server", server_, "--user",
                    zub::testsupport::PgCluster::Shared().user(), "--files", url_, file.string()},
                   {{"VAULT_FILES_PASSWORD", password}});
    }

    std::unique_ptr<zub::testsupport::WebDavServer> dav_;
    std::string url_;
};

TEST_F(VaultTeamCli, ARefusedPasswordMakesNothingOnEitherServer) {
    for (const char* wrong : {"", "not-it"}) {
        const RunResult r = InitTeam(store_, wrong);
        EXPECT_EQ(r.code, 1) << wrong;
        EXPECT_EQ(r.err.find("not-it"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(store_)) << wrong;
        EXPECT_FALSE(fs::exists(ws_ / "dav/vault/.vaultfs-owner")) << wrong;
    }
    // Nothing was made on the database server either: this is a new store.
    const RunResult r = InitTeam(store_, "team-s3cret");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Initialised"), std::string::npos) << r.out;
}

TEST_F(VaultTeamCli, JoiningNeedsThePasswordTheStoreKeeps) {
    // Made with a shared folder, the store keeps a password of its own,
    // which the WebDAV server does not know.
    ASSERT_EQ(InitOn(server_, store_).code, 0);
    const RunResult r = InitTeam(ws_ / "second.store", "team-s3cret");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("keeps another file-server password"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(ws_ / "second.store"));
}

TEST_F(VaultTeamCli, TwoWorkstationsShareDocumentsOnTheServers) {
    const RunResult r = InitTeam(store_, "team-s3cret");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(url_), std::string::npos) << r.out;
    const std::string file = ReadFile(store_);
    EXPECT_NE(file.find("files=" + url_ + "\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("team-s3cret"), std::string::npos) << file;
    EXPECT_EQ(r.out.find("team-s3cret"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_regular_file(ws_ / "dav/vault/.vaultfs-owner"));

    // The second workstation joins with a store file of its own.
    const fs::path second = ws_ / "second.store";
    const RunResult join = InitTeam(second, "team-s3cret");
    ASSERT_EQ(join.code, 0) << join.err;
    EXPECT_NE(join.out.find("Joined"), std::string::npos) << join.out;

    Ok({"user", "add", "bob"});
    Ok({"repo", "create", "parts"});
    Ok({"rights", "grant", "parts", "bob", "rw"});
    WriteFile("a/bracket.prt", "v1");
    Ok({"doc", "add", "parts", Path("a/bracket.prt").string(), "--base", Path("a").string()});
    Ok({"doc", "checkout", "1", Path("a/co").string()});
    const std::map<std::string, std::string> bob = {{"VAULT_STORE", second.string()},
                                                    {"VAULT_USER", "bob"}};
    const RunResult refused = Run({"doc", "checkout", "1", Path("b/co").string()}, bob);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, ErrorLine(49712, "document bracket.prt is checked out by system"));
    EXPECT_FALSE(fs::exists(Path("b/co/bracket.prt")));

    WriteFile("a/co/bracket.prt", "v2, longer");
    Ok({"doc", "checkin", "1", Path("a/co/bracket.prt").string(), "-m", "second"});
    const auto history = Run({"doc", "history", "1", "--json"}, bob).Json();
    ASSERT_EQ(history.size(), 2u) << history.dump();
    EXPECT_EQ(history[0]["message"], "second");
    EXPECT_EQ(history[1]["version"], "1.0");
    const RunResult got = Run({"doc", "checkout", "1", Path("b/co").string()}, bob);
    ASSERT_EQ(got.code, 0) << got.err;
    EXPECT_EQ(ReadFile(Path("b/co/bracket.prt")), "v2, longer");

    // The files are on the WebDAV server, none beside either store file.
    std::size_t onServer = 0;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ / "dav/vault"))
        onServer += entry.is_regular_file() && entry.path().filename() == "bracket.prt";
    EXPECT_EQ(onServer, 2u);  // the current version and 1.0
    EXPECT_FALSE(fs::exists(ws_ / "team.store.files"));
    // Every file reads back with its sum, and the folders walked on the
    // server hold nothing else.
    const RunResult verify = Run({"verify", "--json"});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_TRUE(verify.Json().empty()) << verify.out;
}

TEST_F(VaultServerCli, InitMakesTheStoreOnTheServerAndEveryCommandWorksThroughTheFile) {
    const RunResult r = InitOn(server_, store_);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("export VAULT_STORE=" + store_.string()), std::string::npos) << r.out;
    const std::string file = ReadFile(store_);
    EXPECT_NE(file.find("server=" + zub::testsupport::PgCluster::Shared().socketDir()),
              std::string::npos);
    EXPECT_EQ(file.find(zub::testsupport::PgCluster::Shared().password()), std::string::npos);
    EXPECT_TRUE(fs::is_directory(ws_ / "team.store.files"));

    Ok({"repo", "create", "parts"});
    WriteFile("in/bracket.prt", "v1");
    Ok({"doc", "add", "parts", Path("in/bracket.prt").string()});
    Ok({"doc", "checkout", "1", Path("co").string()});
    WriteFile("co/bracket.prt", "v2");
    Ok({"doc", "checkin", "1", Path("co/bracket.prt").string(), "-m", "second"});
    // Every version, newest first, as on an embedded store.
    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 2u) << history.dump();
    struct Row {
        const char* version;
        const char* message;
        bool current;
    };
    const Row rows[] = {{"1.1", "second", true}, {"1.0", "(added)", false}};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(history[i]["version"], rows[i].version) << i;
        EXPECT_EQ(history[i]["user"], "system") << i;
        EXPECT_EQ(history[i]["message"], rows[i].message) << i;
        EXPECT_EQ(history[i]["current"], rows[i].current) << i;
        EXPECT_TRUE(history[i]["time"].is_string()) << i;
    }
    const RunResult verify = Run({"verify"});
    EXPECT_EQ(verify.code, 0) << verify.out << verify.err;

    // A second workstation joins with a store file of its own; the first
    // file is never overwritten.
    const RunResult join = InitOn(server_, ws_ / "second.store");
    ASSERT_EQ(join.code, 0) << join.err;
    EXPECT_NE(join.out.find("Joined"), std::string::npos) << join.out;
    EXPECT_EQ(Run({"repo", "list", "--json"}, {{"VAULT_STORE", (ws_ / "second.store").string()}})
                  .Json()
                  .size(),
              1u);
    EXPECT_EQ(InitOn(server_, store_).code, 1);

    // A deleted document keeps its saved versions.
    Ok({"doc", "delete", "1"});
    const auto saved = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(saved.size(), 1u) << saved.dump();
    EXPECT_EQ(saved[0]["version"], "1.0");
    EXPECT_EQ(saved[0]["message"], "(added)");
}

// The records of check-outs live with the user, keyed by the store, not beside
// the store file: status knows the local copy on a server store too.
TEST_F(VaultServerCli, StatusShowsTheLocalCopysStateOnAServerStore) {
    ASSERT_EQ(InitOn(server_, store_).code, 0);
    Ok({"repo", "create", "parts"});
    WriteFile("in/bracket.prt", "v1");
    Ok({"doc", "add", "parts", Path("in/bracket.prt").string()});
    Ok({"doc", "checkout", "1", Path("co").string()});
    const fs::path copy = Path("co/bracket.prt");
    const struct {
        const char* step;  // what happens to the local copy
        const char* local;
    } rows[] = {
        {"", "unchanged"}, {"edit", "changed"}, {"undo", "unchanged"}, {"remove", "missing"}};
    for (const auto& r : rows) {
        const std::string step = r.step;
        if (step == "edit") WriteFile("co/bracket.prt", "v2");
        if (step == "undo") WriteFile("co/bracket.prt", "v1");
        if (step == "remove") fs::remove(copy);
        const auto mine = Run({"status", "--json"}).Json();
        ASSERT_EQ(mine.size(), 1u) << mine;
        EXPECT_EQ(mine[0]["file"], copy.string()) << step;
        EXPECT_EQ(mine[0]["local"], r.local) << step;
        EXPECT_TRUE(mine[0]["held_for"].is_string()) << step;
    }
    WriteFile("co/bracket.prt", "v1");
    // Another store file naming the same store finds the records; another
    // user account keeps its own and knows nothing of this copy.
    ASSERT_EQ(InitOn(server_, ws_ / "second.store").code, 0);
    const struct {
        std::map<std::string, std::string> env;
        nlohmann::json local;
    } places[] = {
        {{{"VAULT_STORE", (ws_ / "second.store").string()}}, "unchanged"},
        {{{"XDG_STATE_HOME", (ws_ / "other-account").string()}}, nullptr},
    };
    for (const auto& p : places) {
        const auto mine = Run({"status", "--json"}, p.env).Json();
        ASSERT_EQ(mine.size(), 1u) << mine;
        EXPECT_EQ(mine[0]["local"], p.local) << p.env.begin()->first;
    }
    // One record per held document, in the user's state folder; a check-in
    // ends it with the hold.
    auto records = [&] {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(Path(".state/vault")))
            if (e.is_regular_file())
                found.push_back(e.path().parent_path().filename().string() + "/" +
                                e.path().filename().string());
        return found;
    };
    EXPECT_EQ(records(), std::vector<std::string>{"checkouts/1"});
    WriteFile("co/bracket.prt", "v2");
    Ok({"doc", "checkin", "1", copy.string(), "-m", "second"});
    EXPECT_EQ(records(), std::vector<std::string>{});
}

TEST_F(VaultServerCli, RefusedLoginsAndStrangeServersSayWhatHappened) {
    const auto& cluster = zub::testsupport::PgCluster::Shared();
    const std::string tcp = "127.0.0.1:" + std::to_string(cluster.port());
    const RunResult wrong = InitOn(tcp, store_, {{"PGPASSWORD", "wrong"}});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_NE(wrong.err.find("password authentication failed"), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.err.find("127.0.0.1:" + std::to_string(cluster.port())), std::string::npos)
        << wrong.err;
    EXPECT_FALSE(fs::exists(store_));

    // A port where something else answers: it speaks, but not PostgreSQL.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    const int port = ntohs(addr.sin_port);
    std::thread answer([listener] {
        for (int i = 0; i < 2; ++i) {
            int c = ::accept(listener, nullptr, nullptr);
            if (c < 0) return;
            const char reply[] = "HTTP/1.0 400 Bad Request\r\n\r\n";
            (void)::write(c, reply, sizeof reply - 1);
            ::close(c);
        }
    });
    const RunResult other = InitOn("127.0.0.1:" + std::to_string(port), store_);
    ::shutdown(listener, SHUT_RDWR);
    ::close(listener);
    answer.join();
    EXPECT_EQ(other.code, 1);
    EXPECT_NE(
        other.err.find("cannot connect to the PostgreSQL server 127.0.0.1:" + std::to_string(port)),
        std::string::npos)
        << other.err;
    EXPECT_FALSE(fs::exists(store_));
}

TEST_F(VaultServerCli, TwoWorkstationsRacingForOneThingHaveExactlyOneWinner) {
    ASSERT_EQ(InitOn(server_, store_).code, 0);
    ASSERT_EQ(InitOn(server_, ws_ / "second.store").code, 0);
    const std::map<std::string, std::string> second = {
        {"VAULT_STORE", (ws_ / "second.store").string()}};
    Ok({"repo", "create", "parts"});
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        const std::string n = std::to_string(round);
        // Adds of one name.
        WriteFile("a/same" + n + ".prt", "from a");
        WriteFile("b/same" + n + ".prt", "from b");
        auto a = Start({"doc", "add", "parts", Path("a/same" + n + ".prt").string(), "--base",
                        Path("a").string()});
        auto b = Start({"doc", "add", "parts", Path("b/same" + n + ".prt").string(), "--base",
                        Path("b").string()},
                       second);
        const int adds = (Wait(a).code == 0) + (Wait(b).code == 0);
        EXPECT_EQ(adds, 1) << "round " << round;
        // Repositories of one name.
        a = Start({"repo", "create", "r" + n});
        b = Start({"repo", "create", "r" + n}, second);
        EXPECT_EQ((Wait(a).code == 0) + (Wait(b).code == 0), 1) << "round " << round;
    }
    const auto docs = Run({"doc", "list", "parts", "--json"}).Json();
    EXPECT_EQ(docs.size(), static_cast<std::size_t>(kRounds));
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), static_cast<std::size_t>(kRounds + 1));
}

}  // namespace

}  // namespace zub::vault::test
