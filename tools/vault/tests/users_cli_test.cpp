// vault user add|list|remove|rename, vault role add|list|remove|rename|add-user|remove-user.
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultrunner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::vault::test {

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

// Spellings that differ only in case name one user, for adding and for acting.
TEST_F(VaultCli, UserNamesIgnoreCase) {
    InitStore();
    Ok({"user", "add", "carol"});
    const struct {
        const char* name;
        const char* taken;
    } dups[] = {{"Carol", "carol"}, {"CAROL", "carol"}, {"System", "system"}};
    for (const auto& d : dups)
        EXPECT_EQ(Run({"user", "add", d.name}).err,
                  ErrorLine(49709, std::string("a user named ") + d.taken + " exists already"));
    EXPECT_EQ(Run({"user", "list", "--json"}).Json().size(), 2u);

    // The acting user is found in any case and acts under its stored name.
    const auto repo = Run({"repo", "create", "demo", "--json"}, {{"VAULT_USER", "CaRoL"}}).Json();
    EXPECT_EQ(repo["creator"], "carol");
    EXPECT_EQ(RunAs("SYSTEM", {"user", "add", "dave"}).code, 0);
}

// Many vaults adding one name at once (in different cases): one user, one
// winner, every loser told why.
TEST_F(VaultCli, ParallelAddsOfOneNameMakeOneUser) {
    InitStore();
    const std::vector<std::string> spellings = {"racer", "Racer", "RACER", "racer"};
    for (int round = 0; round < 6; ++round) {
        const std::string suffix = std::to_string(round);
        std::vector<Started> started;
        for (const auto& s : spellings) started.push_back(Start({"user", "add", s + suffix}));
        int winners = 0;
        for (const auto& st : started) {
            const RunResult r = Wait(st);
            if (r.code == 0) {
                ++winners;
            } else {
                EXPECT_NE(r.err.find("exists already"), std::string::npos) << r.err;
            }
        }
        EXPECT_EQ(winners, 1) << "round " << round;
    }
    EXPECT_EQ(Run({"user", "list", "--json"}).Json().size(), 7u);
}

// A store made before names were unique may hold two spellings of one name:
// it keeps working, and verify names them.
TEST_F(VaultCli, CaseDuplicatesOfAnOlderStoreOpenAndAreReported) {
    InitStore();
    Ok({"user", "add", "carol"});
    {
        zub::vaultschema::ProductStore::Register();
        auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(L"sqlite:" + zub::Utf8ToWide(store_.string()), 0, L"QVData", L""),
            L"");
        ASSERT_TRUE(db);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        for (const wchar_t* sql :
             {L"drop index QV_User_UserName", L"insert into QV_User (UserName) values ('Carol')"})
            ASSERT_EQ(db->ExecuteSql(rs, sql, ZUBDB::QVParams(false), L"", 0, 0), 0)
                << zub::WideToUtf8(db->errDescription());
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    EXPECT_EQ(Run({"user", "list", "--json"}).Json().size(), 3u);
    EXPECT_EQ(RunAs("CAROL", {"repo", "create", "mine", "--json"}).Json()["creator"], "carol");
    const RunResult found = Run({"verify", "--json"});
    EXPECT_EQ(found.code, 1);
    const auto findings = found.Json();
    ASSERT_EQ(findings.size(), 1u) << found.out;
    EXPECT_EQ(findings[0]["kind"], "user-duplicate");
    EXPECT_EQ(findings[0]["text"],
              "the users carol, Carol differ only in case; a login names any of them");
}

// Typos do not stay forever: users and roles are renamed, removed and
// regrouped; a user whom documents name stays on record, unable to act.
TEST_F(VaultCli, UsersAndRolesAreRenamedRemovedAndRegrouped) {
    InitWithUsers();
    Ok({"role", "add", "设计"});
    Ok({"rights", "grant", "demo", "role:设计", "rw"});
    Ok({"rights", "grant", "demo", "carol", "rw"});
    const auto rights = [&] { return Run({"rights", "list", "demo", "--json"}).Json().size(); };
    const std::size_t granted = rights();
    const struct {
        std::vector<std::string> args;
        const char* out;  // the start of what it says; empty: refused
    } rows[] = {
        {{"user", "rename", "alice", "Alicia"}, "Renamed user alice to Alicia"},
        {{"user", "rename", "bob", "ALICIA"}, ""},
        {{"role", "rename", "设计", "设计师"}, "Renamed role 设计 to 设计师"},
        {{"role", "add-user", "设计师", "Alicia", "bob"}, "Gave role 设计师 to 2 users"},
        {{"role", "add-user", "设计师", "bob"}, "Gave role 设计师 to 1 user"},
        {{"role", "remove-user", "设计师", "bob"}, "Took role 设计师 from 1 user"},
        {{"user", "remove", "carol"}, "Removed user carol"},
        {{"user", "remove", "system"}, ""},
    };
    for (const auto& r : rows) {
        const RunResult run = Run(r.args);
        if (*r.out == '\0') {
            EXPECT_EQ(run.code, 1) << r.args[2];
        } else {
            EXPECT_EQ(run.out.rfind(r.out, 0), 0u) << run.out << run.err;
        }
    }
    const auto roles = Run({"role", "list", "--json"}).Json();
    ASSERT_EQ(roles.size(), 1u);
    EXPECT_EQ(roles[0]["members"], nlohmann::json::array({"Alicia"}));
    EXPECT_EQ(rights(), granted - 1);
    EXPECT_EQ(RunAs("carol", {"repo", "list"}).err, ErrorLine(49704, "no user named carol"));

    // Alicia adds a document: removing her keeps her, unable to act.
    WriteFile("a.prt", "a\n");
    OkAs("Alicia", {"doc", "add", "demo", "a.prt"});
    EXPECT_EQ(RunAs("alice", {"user", "remove", "Alicia"}).code, 1);
    EXPECT_EQ(Ok({"user", "remove", "Alicia"}),
              "Deactivated user Alicia: documents name it as holder or creator, so it stays on "
              "record but may no longer act\n");
    EXPECT_EQ(RunAs("Alicia", {"doc", "list", "demo"}).err,
              ErrorLine(49711, "user Alicia is deactivated and may no longer act"));
    EXPECT_EQ(Run({"doc", "show", "1", "--json"}).Json()["creator"], "Alicia");
    for (const auto& u : Run({"user", "list", "--json"}).Json())
        EXPECT_EQ(u["active"], u["name"] != "Alicia") << u.dump();
    EXPECT_NE(Ok({"user", "list"}).find("Alicia (deactivated)"), std::string::npos);
    Ok({"role", "remove", "设计师"});
    EXPECT_EQ(Run({"role", "list", "--json"}).Json().size(), 0u);
    EXPECT_EQ(rights(), granted - 2);

    std::vector<std::string> actions;
    for (const auto& e : Run({"log", "--json"}).Json()) actions.push_back(e["action"]);
    // The two grants this test gave first, then the administration.
    EXPECT_EQ(actions, (std::vector<std::string>{"rights grant", "rights grant", "user rename",
                                                 "role rename", "role member add",
                                                 "role member add", "role member remove",
                                                 "user remove", "user deactivate", "role remove"}));
}

}  // namespace zub::vault::test
