// vault user add|list, vault role add|list.
#include "vaultrunner.h"

TEST_F(VaultCli, UsersAndRolesAreAddedAndListedWithTheirLinks) {
    InitStore();
    const auto role = Run({"role", "add", "designers", "--json"}).Json();
    EXPECT_EQ(role["name"], "designers");
    const auto alice = Run({"user", "add", "alice", "--role", "designers", "--json"}).Json();
    EXPECT_EQ(alice["name"], "alice");
    EXPECT_EQ(alice["roles"], nlohmann::json::array({"designers"}));
    Ok({"user", "add", "bob"});
    const auto checkers =
        Run({"role", "add", "checkers", "--member", "bob", "--member", "alice", "--json"}).Json();
    EXPECT_EQ(checkers["members"], nlohmann::json::array({"bob", "alice"}));

    const auto users = Run({"user", "list", "--json"}).Json();
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0]["name"], "system");
    EXPECT_EQ(users[1]["id"], alice["id"]);
    EXPECT_EQ(users[1]["roles"], nlohmann::json::array({"designers", "checkers"}));
    EXPECT_EQ(users[2]["roles"], nlohmann::json::array({"checkers"}));

    const auto roles = Run({"role", "list", "--json"}).Json();
    ASSERT_EQ(roles.size(), 2u);
    EXPECT_EQ(roles[0]["members"], nlohmann::json::array({"alice"}));
    EXPECT_EQ(roles[1]["members"], nlohmann::json::array({"alice", "bob"}));

    // The table says the same for people.
    const std::string table = Ok({"user", "list"});
    EXPECT_NE(table.find("alice   designers, checkers"), std::string::npos) << table;
}

TEST_F(VaultCli, UserAndRoleNamesAreUniqueAndChecked) {
    InitStore();
    Ok({"user", "add", "alice"});
    const RunResult dup = Run({"user", "add", "alice"});
    EXPECT_EQ(dup.code, 1);
    EXPECT_EQ(dup.err, ErrorLine(49709, "a user named alice exists already"));
    Ok({"role", "add", "ops"});
    EXPECT_EQ(Run({"role", "add", "ops"}).err, ErrorLine(49709, "a role named ops exists already"));

    const RunResult colon = Run({"user", "add", "role:x"});
    EXPECT_EQ(colon.code, 1);
    EXPECT_EQ(colon.err.substr(0, 19), "vault: error 49710:");
    EXPECT_EQ(Run({"user", "add", " padded"}).code, 1);
    EXPECT_EQ(Run({"user", "list", "--json"}).Json().size(), 2u);
}

TEST_F(VaultCli, AUserWithAnUnknownRoleIsNotAdded) {
    InitStore();
    const RunResult r = Run({"user", "add", "dave", "--role", "nosuch"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ErrorLine(49705, "no role named nosuch"));
    for (const auto& u : Run({"user", "list", "--json"}).Json()) EXPECT_NE(u["name"], "dave");
    EXPECT_EQ(Run({"role", "add", "r", "--member", "nobody"}).err,
              ErrorLine(49704, "no user named nobody"));
    EXPECT_EQ(Run({"role", "list", "--json"}).Json().size(), 0u);
}

TEST_F(VaultCli, OnlyTheAdministratorAddsUsersAndRoles) {
    InitStore();
    Ok({"user", "add", "alice"});
    const RunResult u = RunAs("alice", {"user", "add", "eve"});
    EXPECT_EQ(u.code, 1);
    EXPECT_EQ(u.err, ErrorLine(49711, "only the administrator \"system\" may add users"));
    EXPECT_EQ(RunAs("alice", {"role", "add", "admins"}).err,
              ErrorLine(49711, "only the administrator \"system\" may add roles"));
    // Listing is open to every user.
    EXPECT_EQ(RunAs("alice", {"user", "list", "--json"}).Json().size(), 2u);
}
