// vault rights list|grant|revoke|show, and the checks they drive.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace {

nlohmann::json Row(const nlohmann::json& rows, const std::string& name) {
    for (const auto& r : rows)
        if (r["name"] == name) return r;
    return nullptr;
}

}  // namespace

TEST_F(VaultCli, TheCreatorOfARepositoryMayDoEverythingWithIt) {
    InitStore();
    Ok({"user", "add", "alice"});
    OkAs("alice", {"repo", "create", "mine"});
    const auto rows = RunAs("alice", {"rights", "list", "mine", "--json"}).Json();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["kind"], "user");
    EXPECT_EQ(rows[0]["name"], "alice");
    EXPECT_EQ(rows[0]["rights"], "rwm");
    EXPECT_EQ(rows[0]["read"], true);
    EXPECT_EQ(rows[0]["manage"], true);
    OkAs("alice", {"repo", "rename", "mine", "ours"});
}

TEST_F(VaultCli, RightsDecideWhatAUserMayDo) {
    InitWithUsers();
    WriteFile("a.prt", "a\n");

    // No rights: not even reading.
    const RunResult none = RunAs("bob", {"doc", "list", "demo"});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, ErrorLine(49711, "user bob has no read right on repository demo"));

    Ok({"rights", "grant", "demo", "bob", "r"});
    EXPECT_EQ(RunAs("bob", {"doc", "list", "demo"}).code, 0);
    EXPECT_EQ(RunAs("bob", {"doc", "add", "demo", "a.prt"}).err,
              ErrorLine(49711, "user bob has no write right on repository demo"));

    Ok({"rights", "grant", "demo", "user:bob", "read,write"});
    OkAs("bob", {"doc", "add", "demo", "a.prt"});
    EXPECT_EQ(RunAs("bob", {"repo", "rename", "demo", "x"}).err,
              ErrorLine(49711, "user bob has no manage right on repository demo"));
    EXPECT_EQ(RunAs("bob", {"rights", "grant", "demo", "carol", "r"}).err,
              ErrorLine(49711, "user bob has no manage right on repository demo"));

    // Granting again replaces the user's rights instead of adding a row.
    Ok({"rights", "grant", "demo", "bob", "r"});
    const auto rows = Run({"rights", "list", "demo", "--json"}).Json();
    int bobs = 0;
    for (const auto& r : rows) bobs += r["name"] == "bob";
    EXPECT_EQ(bobs, 1);
    EXPECT_EQ(Row(rows, "bob")["rights"], "r--");
    EXPECT_EQ(Row(rows, "system")["rights"], "rwm");

    const std::string table = Ok({"rights", "list", "demo"});
    EXPECT_NE(table.find("user  bob     r--"), std::string::npos) << table;

    Ok({"rights", "revoke", "demo", "bob"});
    EXPECT_EQ(Row(Run({"rights", "list", "demo", "--json"}).Json(), "bob"), nullptr);
    EXPECT_EQ(RunAs("bob", {"doc", "list", "demo"}).code, 1);
    EXPECT_NE(Ok({"rights", "revoke", "demo", "bob"}).find("had no rights"), std::string::npos);
}

TEST_F(VaultCli, RolesPassTheirRightsToTheirMembers) {
    InitWithUsers();
    Ok({"role", "add", "designers", "--member", "carol"});
    Ok({"rights", "grant", "demo", "role:designers", "rw"});
    const auto row = Row(Run({"rights", "list", "demo", "--json"}).Json(), "designers");
    EXPECT_EQ(row["kind"], "role");
    EXPECT_EQ(row["rights"], "rw-");
    EXPECT_TRUE(row["user_id"].is_null());

    WriteFile("c.prt", "c\n");
    OkAs("carol", {"doc", "add", "demo", "c.prt"});

    // Effective rights combine a user's own rows and those of the roles.
    Ok({"rights", "grant", "demo", "carol", "m"});
    const auto effective = Run({"rights", "show", "carol", "--json"}).Json();
    ASSERT_EQ(effective.size(), 1u);
    EXPECT_EQ(effective[0]["repository"], "demo");
    EXPECT_EQ(effective[0]["rights"], "rwm");
    EXPECT_EQ(Run({"rights", "show", "alice", "--json"}).Json().size(), 0u);
}

TEST_F(VaultCli, GrantChecksItsArguments) {
    InitWithUsers();
    EXPECT_EQ(Run({"rights", "grant", "demo", "zed", "r"}).err,
              ErrorLine(49704, "no user named zed"));
    EXPECT_EQ(Run({"rights", "grant", "demo", "role:zed", "r"}).err,
              ErrorLine(49705, "no role named zed"));
    // A bare name that is a role's points there; user: asks for a user only.
    Ok({"role", "add", "查看者"});
    EXPECT_EQ(Run({"rights", "grant", "demo", "查看者", "r"}).err,
              ErrorLine(49704, "no user named 查看者; for the role, give role:查看者"));
    EXPECT_EQ(Run({"rights", "grant", "demo", "user:查看者", "r"}).err,
              ErrorLine(49704, "no user named 查看者"));
    for (const char* bad : {"x", "", "-", "read,delete"}) {
        const RunResult r = Run({"rights", "grant", "demo", "alice", bad});
        EXPECT_EQ(r.code, 1) << bad;
        EXPECT_EQ(r.err.substr(0, 19), "vault: error 49710:") << bad;
    }
    // Nothing of the refused grants was stored.
    EXPECT_EQ(Run({"rights", "list", "demo", "--json"}).Json().size(), 1u);
}

}  // namespace zub::vault::test
