#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "testsupport.h"
#include "zub/text.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::Params;
using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;

namespace {

int InsertPerson(CDBAccessor& db, const std::wstring& name) {
    auto v = Params();
    Add(v, L"PersonName", name);
    return db.InsertRow(L"Person", v, L"", L"");
}

long CountPersons(CDBAccessor& db, const std::wstring& name = L"") {
    auto where = Params();
    if (!name.empty()) Add(where, L"PersonName", name);
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db.SelectRows(rs, L"Person", L"count(*)", where, L"", L"", L"", 0, 0), 0)
        << zub::WideToUtf8(db.errDescription());
    return rs ? rs->GetIntAt(0, -1) : -1;
}

using zub::dbcore::test::InTransaction;

class Transactions : public ::testing::TestWithParam<zub::dbcore::test::Backend> {
protected:
    const zub::dbcore::test::ErrorNumbers& Numbers() const {
        return zub::dbcore::test::NumbersOf(GetParam());
    }
};

}  // namespace

TEST_P(Transactions, WritesAreInvisibleToOthersUntilCommit) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    ASSERT_EQ(InsertPerson(*a, L"alice"), 0);
    EXPECT_TRUE(InTransaction(*a));
    EXPECT_EQ(CountPersons(*a, L"alice"), 1);  // own work is visible
    EXPECT_EQ(CountPersons(*b, L"alice"), 0);
    ASSERT_EQ(a->CommitTrans(), 0);
    EXPECT_FALSE(InTransaction(*a));
    EXPECT_EQ(CountPersons(*b, L"alice"), 1);
}

TEST_P(Transactions, RollbackDiscardsEveryStatementSinceTheLastCommit) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    ASSERT_EQ(InsertPerson(*a, L"kept"), 0);
    ASSERT_EQ(a->CommitTrans(), 0);
    ASSERT_EQ(InsertPerson(*a, L"gone1"), 0);
    auto set = Params();
    Add(set, L"PersonName", L"changed");
    auto where = Params();
    Add(where, L"PersonName", L"kept");
    ASSERT_EQ(a->UpdateRows(L"Person", set, where, L"", L""), 0);
    ASSERT_EQ(a->DeleteRows(L"Person", Params(), L"", L""), 0);
    EXPECT_EQ(CountPersons(*a), 0);
    ASSERT_EQ(a->RollbackTrans(), 0);
    EXPECT_FALSE(InTransaction(*a));
    EXPECT_EQ(CountPersons(*a), 2);  // system and kept
    EXPECT_EQ(CountPersons(*a, L"kept"), 1);
    EXPECT_EQ(CountPersons(*a, L"gone1"), 0);
}

TEST_P(Transactions, CommitAndRollbackWithoutAnOpenUnitSucceed) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    EXPECT_EQ(a->CommitTrans(), 0);
    EXPECT_EQ(a->RollbackTrans(), 0);
    EXPECT_EQ(a->BeginTrans(), 0);
    EXPECT_EQ(a->BeginTrans(), 0);  // joins the open unit
    EXPECT_TRUE(InTransaction(*a));
    EXPECT_EQ(a->CommitTrans(), 0);
    EXPECT_FALSE(InTransaction(*a));
    EXPECT_EQ(a->CommitTrans(), 0);
}

TEST_P(Transactions, ExplicitUnitGroupsReadsAndWrites) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    ASSERT_EQ(a->BeginTrans(), 0);
    EXPECT_EQ(CountPersons(*a), 1);
    ASSERT_EQ(InsertPerson(*a, L"u1"), 0);
    ASSERT_EQ(InsertPerson(*a, L"u2"), 0);
    EXPECT_EQ(CountPersons(*b), 1);
    ASSERT_EQ(a->CommitTrans(), 0);
    EXPECT_EQ(CountPersons(*b), 3);
}

TEST_P(Transactions, DestroyingAnAccessorRollsBackItsUncommittedWork) {
    zub::dbcore::test::TempStore store(GetParam());
    {
        auto a = store.Connect();
        ASSERT_EQ(InsertPerson(*a, L"committed"), 0);
        ASSERT_EQ(a->CommitTrans(), 0);
        ASSERT_EQ(InsertPerson(*a, L"pending"), 0);
    }
    auto b = store.Connect();
    EXPECT_EQ(CountPersons(*b, L"committed"), 1);
    EXPECT_EQ(CountPersons(*b, L"pending"), 0);
    // The lock went with it.
    EXPECT_EQ(InsertPerson(*b, L"next"), 0);
    EXPECT_EQ(b->CommitTrans(), 0);
}

TEST_P(Transactions, ReadsLeaveNoTransactionSoLaterReadsSeeOtherCommits) {
    zub::dbcore::test::TempStore store(GetParam());
    auto reader = store.Connect();
    auto writer = store.Connect();
    EXPECT_EQ(CountPersons(*reader), 1);
    EXPECT_FALSE(InTransaction(*reader));
    std::unique_ptr<CDBRecordset> rs;
    ASSERT_EQ(reader->ExecuteSql(rs, L"select PersonName from Person", Params(), L"", 0, 0), 0);
    EXPECT_FALSE(InTransaction(*reader));
    ASSERT_EQ(InsertPerson(*writer, L"late"), 0);
    ASSERT_EQ(writer->CommitTrans(), 0);
    EXPECT_EQ(CountPersons(*reader), 2);
}

TEST_P(Transactions, AFailedWriteThatOpenedTheUnitReleasesTheStore) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    auto dup = Params();
    Add(dup, L"PersonId", 1);
    Add(dup, L"PersonName", L"clash");
    EXPECT_EQ(a->InsertRow(L"Person", dup, L"", L""), Numbers().primaryKey);
    EXPECT_FALSE(InTransaction(*a));
    // Another client writes without waiting out the busy timeout.
    EXPECT_EQ(InsertPerson(*b, L"other"), 0) << zub::WideToUtf8(b->errDescription());
    EXPECT_EQ(b->CommitTrans(), 0);

    auto unknown = Params();
    Add(unknown, L"NoSuchColumn", 1);
    EXPECT_EQ(a->UpdateRows(L"Person", unknown, Params(), L"", L""), Numbers().unknownName);
    EXPECT_FALSE(InTransaction(*a));
    EXPECT_EQ(InsertPerson(*b, L"again"), 0) << zub::WideToUtf8(b->errDescription());
    EXPECT_EQ(b->CommitTrans(), 0);
}

TEST_P(Transactions, AFailureInsideAnOpenUnitKeepsItForTheCallersRollback) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    ASSERT_EQ(InsertPerson(*a, L"first"), 0);
    auto dup = Params();
    Add(dup, L"PersonId", 1);
    EXPECT_EQ(a->InsertRow(L"Person", dup, L"", L""), Numbers().primaryKey);
    EXPECT_TRUE(InTransaction(*a));
    EXPECT_EQ(CountPersons(*a, L"first"), 1);  // the earlier statement is still pending
    ASSERT_EQ(a->RollbackTrans(), 0);
    EXPECT_EQ(CountPersons(*b, L"first"), 0);

    // Committing instead keeps the statements that succeeded, not the failed one.
    ASSERT_EQ(a->BeginTrans(), 0);
    ASSERT_EQ(InsertPerson(*a, L"second"), 0);
    EXPECT_NE(a->InsertRow(L"Person", dup, L"", L""), 0);
    ASSERT_EQ(a->CommitTrans(), 0);
    EXPECT_EQ(CountPersons(*b, L"second"), 1);
    EXPECT_EQ(CountPersons(*b), 2);
}

TEST_P(Transactions, AWriterWaitsForAnotherWritersCommit) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    ASSERT_EQ(InsertPerson(*a, L"from-a"), 0);  // a holds the write lock
    std::atomic<int> rcB{-1};
    std::thread t([&] {
        int rc = InsertPerson(*b, L"from-b");
        if (rc == 0) rc = b->CommitTrans();
        rcB = rc;
    });
    // Gives b time to start waiting; the outcome does not depend on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(a->CommitTrans(), 0);
    t.join();
    EXPECT_EQ(rcB.load(), 0) << zub::WideToUtf8(b->errDescription());
    EXPECT_EQ(CountPersons(*a, L"from-a"), 1);
    EXPECT_EQ(CountPersons(*a, L"from-b"), 1);
}

TEST_P(Transactions, ConcurrentWritersOnTheirOwnConnectionsAllSucceed) {
    zub::dbcore::test::TempStore store(GetParam());
    constexpr int kRows = 40;
    std::atomic<int> failures{0};
    // User names are unique: each row gets its own.
    auto writer = [&](const std::wstring& tag) {
        auto db = store.Connect();
        for (int i = 0; i < kRows; ++i) {
            if (InsertPerson(*db, tag + std::to_wstring(i)) != 0 || db->CommitTrans() != 0)
                ++failures;
        }
    };
    std::thread t1(writer, L"t1-");
    std::thread t2(writer, L"t2-");
    t1.join();
    t2.join();
    EXPECT_EQ(failures.load(), 0);
    auto db = store.Connect();
    for (int i = 0; i < kRows; ++i) {
        EXPECT_EQ(CountPersons(*db, L"t1-" + std::to_wstring(i)), 1);
        EXPECT_EQ(CountPersons(*db, L"t2-" + std::to_wstring(i)), 1);
    }
}

TEST_P(Transactions, WritersInTwoProcessesShareTheStore) {
    zub::dbcore::test::TempStore store(GetParam());
    constexpr int kRows = 30;
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        int failed = 0;
        {
            auto db = store.Connect();
            for (int i = 0; i < kRows; ++i)
                if (InsertPerson(*db, L"child-" + std::to_wstring(i)) != 0 ||
                    db->CommitTrans() != 0)
                    ++failed;
        }
        _exit(failed == 0 ? 0 : 1);
    }
    int failed = 0;
    {
        auto db = store.Connect();
        for (int i = 0; i < kRows; ++i)
            if (InsertPerson(*db, L"parent-" + std::to_wstring(i)) != 0 || db->CommitTrans() != 0)
                ++failed;
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(failed, 0);
    auto db = store.Connect();
    for (int i = 0; i < kRows; ++i) {
        EXPECT_EQ(CountPersons(*db, L"child-" + std::to_wstring(i)), 1);
        EXPECT_EQ(CountPersons(*db, L"parent-" + std::to_wstring(i)), 1);
    }
}

TEST_P(Transactions, LastInsertIdIsThisConnectionsRowDespiteOtherInserts) {
    zub::dbcore::test::TempStore store(GetParam());
    auto a = store.Connect();
    auto b = store.Connect();
    ASSERT_EQ(InsertPerson(*a, L"a-row"), 0);
    ASSERT_EQ(a->CommitTrans(), 0);
    long long mine = a->LastInsertId();
    ASSERT_EQ(InsertPerson(*b, L"b-row"), 0);
    ASSERT_EQ(b->CommitTrans(), 0);
    EXPECT_EQ(a->LastInsertId(), mine);
    EXPECT_EQ(b->LastInsertId(), mine + 1);

    constexpr int kRows = 25;
    std::atomic<int> wrong{0};
    auto worker = [&](const std::wstring& tag) {
        auto db = store.Connect();
        for (int i = 0; i < kRows; ++i) {
            const std::wstring name = tag + std::to_wstring(i);
            if (InsertPerson(*db, name) != 0 || db->CommitTrans() != 0) {
                ++wrong;
                continue;
            }
            auto where = Params();
            Add(where, L"PersonId", db->LastInsertId());
            std::unique_ptr<CDBRecordset> rs;
            if (db->SelectRows(rs, L"Person", L"PersonName", where, L"", L"", L"", 0, 0) != 0 ||
                rs->GetStringAt(0) != name)
                ++wrong;
        }
    };
    std::thread t1(worker, L"x");
    std::thread t2(worker, L"y");
    t1.join();
    t2.join();
    EXPECT_EQ(wrong.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, Transactions,
                         ::testing::Values(zub::dbcore::test::Backend::Embedded,
                                           zub::dbcore::test::Backend::Server),
                         zub::dbcore::test::BackendName);
