// Users and roles of a store through the library: names, memberships, and
// the refusals callers tell apart by number.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/errors.h"
#include "docvault/userdirectory.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

using DRM::RoleRecord;
using DRM::UserDirectory;
using DRM::UserRecord;

class Users : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_EQ(zub::vaultschema::ProductStore::Create(store_, "QVData", error), 0)
            << zub::WideToUtf8(error);
        ASSERT_EQ(dir_.Connect(ZUBDB::EmbeddedLocator(store_), 0, L"QVData", L""), 0);
    }

    int AddUser(const std::wstring& name, std::vector<int> roles = {}) {
        int id = 0;
        EXPECT_EQ(dir_.AddUser(name, roles, id), 0) << zub::WideToUtf8(dir_.ErrDesc());
        return id;
    }
    int AddRole(const std::wstring& name, std::vector<int> users = {}) {
        int id = 0;
        EXPECT_EQ(dir_.AddRole(name, users, id), 0) << zub::WideToUtf8(dir_.ErrDesc());
        return id;
    }
    std::vector<UserRecord> AllUsers() {
        std::vector<UserRecord> users;
        EXPECT_EQ(dir_.Users(users), 0);
        return users;
    }

    zub::testsupport::TempDir tmp_{"docvault-users", zub::testsupport::TempDir::Medium::Memory};
    std::string store_ = (tmp_.path() / "store").string();
    UserDirectory dir_;
};

TEST_F(Users, MembersAndRolesAreReadBothWays) {
    const int designers = AddRole(L"designers");
    const int alice = AddUser(L"alice", {designers});
    const int bob = AddUser(L"bob");
    const int checkers = AddRole(L"checkers", {bob, alice});

    const auto users = AllUsers();
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].name, L"system");
    EXPECT_EQ(users[1].id, alice);
    EXPECT_EQ(users[1].roles, (std::vector<std::wstring>{L"designers", L"checkers"}));
    EXPECT_EQ(users[2].roles, (std::vector<std::wstring>{L"checkers"}));

    std::vector<RoleRecord> roles;
    ASSERT_EQ(dir_.Roles(roles), 0);
    ASSERT_EQ(roles.size(), 2u);
    EXPECT_EQ(roles[1].id, checkers);
    EXPECT_EQ(roles[1].members, (std::vector<std::wstring>{L"alice", L"bob"}));

    // A user is found by its id or by its name in any case, under its own name.
    std::optional<UserRecord> found;
    for (const wchar_t* name : {L"alice", L"ALICE", L"Alice"}) {
        ASSERT_EQ(dir_.FindUser(name, found), 0);
        ASSERT_TRUE(found) << zub::WideToUtf8(name);
        EXPECT_EQ(found->id, alice);
        EXPECT_EQ(found->name, L"alice");
    }
    ASSERT_EQ(dir_.FindUser(bob, found), 0);
    EXPECT_EQ(found->name, L"bob");
    ASSERT_EQ(dir_.FindUser(L"nobody", found), 0);
    EXPECT_FALSE(found);
    ASSERT_EQ(dir_.FindUser(999, found), 0);
    EXPECT_FALSE(found);
    // Role names are exact.
    std::optional<RoleRecord> role;
    ASSERT_EQ(dir_.FindRole(L"designers", role), 0);
    EXPECT_EQ(role->id, designers);
    ASSERT_EQ(dir_.FindRole(designers, role), 0);
    EXPECT_EQ(role->name, L"designers");
    ASSERT_EQ(dir_.FindRole(L"Designers", role), 0);
    EXPECT_FALSE(role);
}

TEST_F(Users, TakenNamesAreRefusedWithTheHoldersName) {
    AddUser(L"carol");
    AddRole(L"ops");
    struct Case {
        bool user;
        const wchar_t* name;
        const wchar_t* holder;
    };
    const Case cases[] = {
        {true, L"carol", L"carol"},
        {true, L"CAROL", L"carol"},
        {true, L"System", L"system"},
        {false, L"ops", L"ops"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zub::WideToUtf8(c.name));
        int id = 0;
        const int rc = c.user ? dir_.AddUser(c.name, {}, id) : dir_.AddRole(c.name, {}, id);
        EXPECT_EQ(rc, DRM::Err::kNameTaken);
        EXPECT_EQ(dir_.ErrNumber(), DRM::Err::kNameTaken);
        EXPECT_NE(dir_.ErrDesc().find(c.holder), std::wstring::npos)
            << zub::WideToUtf8(dir_.ErrDesc());
    }
    EXPECT_EQ(AllUsers().size(), 2u);
}

// A membership that cannot be stored takes its user or role with it.
TEST_F(Users, ARowGoesWithItsMembershipsOrNotAtAll) {
    int id = 0;
    EXPECT_NE(dir_.AddUser(L"dave", {12345}, id), 0);
    EXPECT_NE(dir_.ErrNumber(), 0);
    EXPECT_NE(dir_.AddRole(L"ghosts", {12345}, id), 0);
    std::optional<UserRecord> user;
    ASSERT_EQ(dir_.FindUser(L"dave", user), 0);
    EXPECT_FALSE(user);
    std::optional<RoleRecord> role;
    ASSERT_EQ(dir_.FindRole(L"ghosts", role), 0);
    EXPECT_FALSE(role);
    // Nothing of it is left pending either: the names are free.
    AddUser(L"dave");
    AddRole(L"ghosts");
}

TEST_F(Users, CaseDuplicatesOfAnOlderStoreAreNamed) {
    std::vector<std::wstring> groups;
    ASSERT_EQ(dir_.CaseDuplicates(groups), 0);
    EXPECT_TRUE(groups.empty());
    AddUser(L"carol");
    {
        auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(store_), 0, L"QVData", L""), L"");
        ASSERT_TRUE(db);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        for (const wchar_t* sql :
             {L"drop index QV_User_UserName", L"insert into QV_User (UserName) values ('Carol')"})
            ASSERT_EQ(db->ExecuteSql(rs, sql, ZUBDB::QVParams(false), L"", 0, 0), 0);
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    ASSERT_EQ(dir_.CaseDuplicates(groups), 0);
    EXPECT_EQ(groups, (std::vector<std::wstring>{L"carol, Carol"}));
    // Either spelling finds the first one made.
    std::optional<UserRecord> user;
    ASSERT_EQ(dir_.FindUser(L"CAROL", user), 0);
    EXPECT_EQ(user->name, L"carol");
}

TEST(UsersUnconnected, EveryCallIsRefused) {
    UserDirectory dir;
    std::optional<UserRecord> user;
    int id = 0;
    EXPECT_EQ(dir.FindUser(L"x", user), DRM::Err::kNotConnected);
    EXPECT_EQ(dir.AddUser(L"x", {}, id), DRM::Err::kNotConnected);
}

}  // namespace

}  // namespace zub::docvault::test
