// The throwaway server must let tests log in, refuse a wrong password over
// TCP, and leave nothing running or on disk however its owner ends.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "zubtest/pgcluster.h"

namespace fs = std::filesystem;

namespace {

bool CanLogIn(const std::string& conninfo) {
    PGconn* conn = PQconnectdb(conninfo.c_str());
    const bool ok = PQstatus(conn) == CONNECTION_OK;
    PQfinish(conn);
    return ok;
}

TEST(PgCluster, LogsInOverTheSocketAndOverTcpOnlyWithThePassword) {
    auto& cluster = zub::testsupport::PgCluster::Shared();
    const std::string tcp = "host=127.0.0.1 port=" + std::to_string(cluster.port()) +
                            " user=" + cluster.user() + " dbname=postgres connect_timeout=10";
    EXPECT_TRUE(CanLogIn("host=" + cluster.socketDir() + " port=" + std::to_string(cluster.port()) +
                         " user=" + cluster.user() + " dbname=postgres"));
    EXPECT_TRUE(CanLogIn(tcp + " password=" + cluster.password()));
    EXPECT_FALSE(CanLogIn(tcp + " password=wrong"));
    cluster.RecreateDatabase("harness_db");
    EXPECT_NO_THROW(cluster.Exec("CREATE TABLE t (a int)", "harness_db"));
    EXPECT_THROW(cluster.Exec("SELECT nosuchcolumn FROM t", "harness_db"), std::runtime_error);
    cluster.DropDatabase("harness_db");
}

TEST(PgCluster, AKilledOwnerLeavesNoServerAndNoFolder) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        try {
            zub::testsupport::PgCluster cluster("zub-pgkill");
            std::string line = cluster.folder() + "\n";
            if (::write(report[1], line.data(), line.size()) < 0) ::_exit(2);
            ::pause();
        } catch (...) {}
        ::_exit(1);
    }
    ::close(report[1]);
    std::string folder;
    char c = 0;
    while (::read(report[0], &c, 1) == 1 && c != '\n') folder += c;
    ::close(report[0]);
    ASSERT_FALSE(folder.empty()) << "the child's cluster did not start";
    std::ifstream pidFile(folder + "/data/postmaster.pid");
    pid_t postmaster = 0;
    pidFile >> postmaster;
    ASSERT_GT(postmaster, 0);
    ASSERT_EQ(::kill(postmaster, 0), 0);

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((fs::exists(folder) || ::kill(postmaster, 0) == 0) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_NE(::kill(postmaster, 0), 0) << "the server outlived its test";
}

}  // namespace
