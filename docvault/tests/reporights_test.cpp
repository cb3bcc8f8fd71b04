// Rights changes of one user or role on a repository and their audit entries,
// on both stores: each change leaves exactly its entry, a refused or failed
// one leaves neither the change nor an entry.
#include "docvault/reporights.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "docvault/errors.h"
#include "embedded_store_fixture.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RepoRightsTest : public EmbeddedStoreFixture, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        backend_ = GetParam();
        EmbeddedStoreFixture::SetUp();
        for (const wchar_t* name : {L"alice", L"bob", L"carol"})
            users_[name] = Insert(L"QV_User", L"UserName", L"UserId", name);
        users_[L"system"] = 1;
        for (const wchar_t* name : {L"managers", L"viewers"})
            roles_[name] = Insert(L"QV_Role", L"RoleName", L"RoleId", name);
        // alice manages through her role, bob and the viewers only read,
        // carol has no rights.
        Sql(L"insert into QV_UserRole (UserId, RoleId) values (" + Id(users_[L"alice"]) + L", " +
            Id(roles_[L"managers"]) + L")");
        Grant(users_[L"system"], 0, L"1, 1, 1");
        Grant(users_[L"bob"], 0, L"1, 0, 0");
        Grant(0, roles_[L"managers"], L"1, 1, 1");
        Grant(0, roles_[L"viewers"], L"1, 0, 0");
    }

    static std::wstring Id(int id) { return std::to_wstring(id); }

    void Sql(const std::wstring& text) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ASSERT_EQ(raw_->ExecuteSql(rs, text, ZUBDB::QVParams(false), L"", 0, 0), 0)
            << zub::WideToUtf8(raw_->errDescription());
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
    int Insert(const std::wstring& table, const std::wstring& nameColumn,
               const std::wstring& idColumn, const std::wstring& name) {
        Sql(L"insert into " + table + L" (" + nameColumn + L") values ('" + name + L"')");
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        EXPECT_EQ(raw_->ExecuteSql(rs,
                                   L"select " + idColumn + L" from " + table + L" where " +
                                       nameColumn + L" = '" + name + L"'",
                                   ZUBDB::QVParams(false), L"", 0, 0),
                  0);
        return rs && !rs->IsEOF() ? static_cast<int>(rs->GetIntAt(0)) : -1;
    }
    void Grant(int userId, int roleId, const std::wstring& rights) {
        Sql(L"insert into QV_DMAuth (DocRepoId, UserId, RoleId, UserOrRole, [Read], Write, "
            L"Manage) values (" +
            Id(repoId_) + L", " + Id(userId) + L", " + Id(roleId) + L", " +
            (roleId != 0 ? L"1" : L"0") + L", " + rights + L")");
    }

    // Every rights row of the repository, as "user:bob r--", sorted.
    std::vector<std::string> Rows() {
        std::map<int, std::wstring> userNames, roleNames;
        for (const auto& [name, id] : users_) userNames[id] = name;
        for (const auto& [name, id] : roles_) roleNames[id] = name;
        auto rs = Query(L"QV_DMAuth", L"UserId,RoleId,[Read],Write,Manage", L"DocRepoId", repoId_);
        std::vector<std::string> rows;
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            const bool role = rs->GetIntAt(1) != 0;
            const std::wstring who = role ? L"role:" + roleNames[static_cast<int>(rs->GetIntAt(1))]
                                          : L"user:" + userNames[static_cast<int>(rs->GetIntAt(0))];
            rows.push_back(zub::WideToUtf8(who) + " " + (rs->GetIntAt(2) ? "r" : "-") +
                           (rs->GetIntAt(3) ? "w" : "-") + (rs->GetIntAt(4) ? "m" : "-"));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // The audit trail as "actor|action|repository|detail".
    std::vector<std::string> Trail() {
        auto rs =
            Query(L"ZUB_AuditTrail", L"UserName,Action,DocRepoId,DocId,Detail", L"", 0, L"AuditId");
        std::vector<std::string> rows;
        for (; rs && !rs->IsEOF(); rs->MoveNext())
            rows.push_back(zub::WideToUtf8(rs->GetStringAt(0)) + "|" +
                           zub::WideToUtf8(rs->GetStringAt(1)) + "|" +
                           std::to_string(rs->GetIntAt(2)) + "|" + std::to_string(rs->GetIntAt(3)) +
                           "|" + zub::WideToUtf8(rs->GetStringAt(4)));
        return rows;
    }
    std::string Entry(const char* actor, const char* action, const char* detail) const {
        return std::string(actor) + "|" + action + "|" + std::to_string(repoId_) + "|0|" + detail;
    }

    // Rows as SetUp leaves them, with `holder`'s replaced by `now` ("" drops it).
    static std::vector<std::string> RowsWith(const std::string& holder, const std::string& now) {
        std::vector<std::string> rows;
        for (std::string row :
             {"role:managers rwm", "role:viewers r--", "user:bob r--", "user:system rwm"})
            if (row.rfind(holder + " ", 0) != 0) rows.push_back(row);
        if (!now.empty()) rows.push_back(holder + " " + now);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::map<std::wstring, int> users_;
    std::map<std::wstring, int> roles_;
};

TEST_P(RepoRightsTest, EachChangeLeavesItsEntryAndEachRefusalNothing) {
    const struct {
        const char* what;
        const wchar_t* actor;
        bool role;
        const wchar_t* holder;  // an unknown name stands for an id no row has
        const char* rights;     // "rw-": the rights to set
        bool unknownRepo;
        int status;
        bool changed;
        const char* detail;  // the entry's, "" for none
        const char* after;   // the holder's row afterwards, "" for none
    } cases[] = {
        {"a first grant", L"system", false, L"carol", "rw-", false, 0, true,
         "user carol: --- -> rw-", "rw-"},
        {"a change of a user's rights", L"system", false, L"bob", "rwm", false, 0, true,
         "user bob: r-- -> rwm", "rwm"},
        {"a user's revoke keeps the roles' rows", L"system", false, L"bob", "---", false, 0, true,
         "user bob: r-- -> ---", ""},
        {"a change of a role's rights", L"system", true, L"viewers", "rw-", false, 0, true,
         "role viewers: r-- -> rw-", "rw-"},
        {"a role's revoke", L"system", true, L"viewers", "---", false, 0, true,
         "role viewers: r-- -> ---", ""},
        {"a manager through a role may", L"alice", false, L"carol", "r--", false, 0, true,
         "user carol: --- -> r--", "r--"},
        {"rights already so", L"system", false, L"bob", "r--", false, 0, false, "", "r--"},
        {"a revoke of no rights", L"system", false, L"carol", "---", false, 0, false, "", ""},
        {"an actor without rights", L"carol", false, L"bob", "rw-", false, DRM::Err::kNotAllowed,
         false, "", "r--"},
        {"a reader may not give himself more", L"bob", false, L"bob", "rwm", false,
         DRM::Err::kNotAllowed, false, "", "r--"},
        {"an unknown user", L"system", false, L"nobody", "rw-", false, DRM::Err::kUserOrDocTable,
         false, "", ""},
        {"an unknown role", L"system", true, L"nobody", "rw-", false, DRM::Err::kIdInvalid, false,
         "", ""},
        {"an unknown repository", L"system", false, L"bob", "rw-", true, DRM::Err::kRepoMissing,
         false, "", "r--"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        const auto& ids = c.role ? roles_ : users_;
        const int id = ids.count(c.holder) ? ids.at(c.holder) : 999;
        const std::string r = c.rights;
        DRM::RepoRights rights;
        ASSERT_EQ(rights.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
        bool changed = !c.changed;
        EXPECT_EQ(rights.Set(c.unknownRepo ? repoId_ + 100 : repoId_, c.role, id, r[0] == 'r',
                             r[1] == 'w', r[2] == 'm', users_.at(c.actor), changed),
                  c.status);
        EXPECT_EQ(changed, c.changed);
        const std::string actor = zub::WideToUtf8(c.actor);
        if (*c.detail)
            EXPECT_THAT(Trail(), ElementsAre(Entry(actor.c_str(),
                                                   r == "---" ? "rights revoke" : "rights grant",
                                                   c.detail)));
        else
            EXPECT_THAT(Trail(), IsEmpty());
        const std::string holder = (c.role ? "role:" : "user:") + zub::WideToUtf8(c.holder);
        EXPECT_EQ(Rows(), RowsWith(holder, c.after));
    }
}

// The store's administrator may hold no manage row: its caller says so, and
// the entry still names it.
TEST_P(RepoRightsTest, TheAdministratorNeedsNoManageRow) {
    DRM::RepoRights rights;
    ASSERT_EQ(rights.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
    rights.set_administrator(true);
    bool changed = false;
    EXPECT_EQ(rights.Set(repoId_, false, users_[L"bob"], 1, 1, 0, users_[L"carol"], changed), 0);
    EXPECT_TRUE(changed);
    EXPECT_THAT(Trail(), ElementsAre(Entry("carol", "rights grant", "user bob: r-- -> rw-")));
    EXPECT_EQ(Rows(), RowsWith("user:bob", "rw-"));
}

// The change and its entry commit together: when either statement fails,
// neither stays.
TEST_P(RepoRightsTest, AFailedChangeOrEntryLeavesNeither) {
    for (const wchar_t* table : {L"QV_DMAuth", L"ZUB_AuditTrail"}) {
        SCOPED_TRACE(zub::WideToUtf8(table));
        TearDown();
        SetUp();
        if (backend_ == Backend::Server) {
            Sql(L"CREATE OR REPLACE FUNCTION block_row() RETURNS trigger LANGUAGE plpgsql AS "
                L"'BEGIN RAISE EXCEPTION ''blocked''; END'");
            Sql(std::wstring(L"CREATE TRIGGER block BEFORE INSERT ON ") + table +
                L" FOR EACH ROW EXECUTE FUNCTION block_row()");
        } else {
            Sql(std::wstring(L"CREATE TRIGGER block BEFORE INSERT ON ") + table +
                L" BEGIN SELECT RAISE(ABORT, 'blocked'); END");
        }
        DRM::RepoRights rights;
        ASSERT_EQ(rights.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
        bool changed = true;
        EXPECT_NE(rights.Set(repoId_, false, users_[L"bob"], 1, 1, 0, 1, changed), 0);
        EXPECT_FALSE(changed);
        EXPECT_THAT(Trail(), IsEmpty());
        EXPECT_EQ(Rows(), RowsWith("user:bob", "r--"));
    }
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Backends, RepoRightsTest,
                         ::testing::Values(Backend::Embedded, Backend::Server), BackendName);

}  // namespace zub::docvault::test
