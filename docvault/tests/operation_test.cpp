#include "internal/operation.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "dbcore/cdbaccessorcreator.h"
#include "docvault/errors.h"
#include "probe_bo.h"
#include "recording_db.h"
#include "zub/qv_exception.h"

namespace zub::docvault::test {

namespace {

// Sanitizers would stop the process at the bad store before the processor
// faults; the envelope is what is under test here.
__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteThroughNull() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) int DivideByZero() {
    volatile int zero = 0;
    volatile int n = 7;
    return n / zero;
}

class OperationTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = &RecordingDb::Install();
        ASSERT_EQ(bo_.Connect(L"rec:", 0, L"QVData", L"tok"), 0);
    }

    int Run(const std::function<int()>& body) {
        return OperationScope::Run(bo_, L"src/probe", L"DRM::Probe::Op", body);
    }

    RecordingDb* db_ = nullptr;
    ProbeBo bo_;
};

TEST_F(OperationTest, WithoutAccessorRecords49600AndTouchesNothing) {
    ProbeBo idle;
    bool ran = false;
    EXPECT_EQ(OperationScope::Run(idle, L"src/probe", L"DRM::Probe::Op",
                                  [&] {
                                      ran = true;
                                      return 0;
                                  }),
              49600);
    EXPECT_FALSE(ran);
    EXPECT_EQ(idle.ErrNumber(), 49600);
    EXPECT_EQ(idle.ErrDesc(), L"远程数据库未连接");
    EXPECT_TRUE(db_->calls.empty());

    EXPECT_EQ(OperationScope::RunUnguarded(idle,
                                           [&] {
                                               ran = true;
                                               return 0;
                                           }),
              49600);
    EXPECT_FALSE(ran);
    EXPECT_EQ(idle.ErrorLog().size(), 2u);
}

TEST_F(OperationTest, ComponentFailureIsRecordedAndReturned) {
    db_->FailOn(L"CommitTrans", 1, 1205, L"deadlock victim");
    int status = Run([&] {
        if (bo_.Accessor()->CommitTrans() != 0) return bo_.RecordDbError();
        return 0;
    });
    EXPECT_EQ(status, 1205);
    EXPECT_EQ(bo_.ErrNumber(), 1205);
    EXPECT_EQ(bo_.ErrDesc(), L"deadlock victim");
    EXPECT_EQ(db_->Ops(), std::vector<std::wstring>{L"CommitTrans"});
}

TEST_F(OperationTest, ThrownExceptionsBecomeMinusOneWithTheirFullText) {
    EXPECT_EQ(Run([]() -> int { throw ZUBBASE::QV_Exception(L"库错误", L"src/x", L"X::Y", 3); }),
              -1);
    EXPECT_EQ(bo_.ErrNumber(), -1);
    EXPECT_EQ(bo_.ErrDesc(), L"库错误\n");

    EXPECT_EQ(Run([]() -> int { throw std::runtime_error("disk on fire"); }), -1);
    EXPECT_EQ(bo_.ErrDesc(), L"disk on fire\n");

    EXPECT_EQ(Run([]() -> int { throw 17; }), -1);
    EXPECT_EQ(bo_.ErrDesc(), L"unknown exception\n");

    EXPECT_EQ(bo_.ErrorLog().size(), 3u);
}

TEST_F(OperationTest, UnguardedBodyLetsTheExceptionThrough) {
    EXPECT_THROW(OperationScope::RunUnguarded(bo_, []() -> int { throw std::logic_error("x"); }),
                 std::logic_error);
    EXPECT_EQ(bo_.ErrNumber(), 0);
}

TEST_F(OperationTest, TheEntryKeepsWhereTheExceptionWasCaughtOnce) {
    // What was raised elsewhere and what only the catch place can stand for.
    const std::function<int()> bodies[] = {
        []() -> int { throw ZUBBASE::QV_Exception(L"m", L"raise.cpp", L"Raise", 7); },
        []() -> int { throw std::runtime_error("m"); },
        []() -> int { throw 17; },
    };
    for (const auto& body : bodies) {
        const unsigned long line = __LINE__ + 1;
        EXPECT_EQ(OperationScope::Guard(bo_, L"src/docrepo", L"DRM::DocRepo::Save", body), -1);
        const BOErrorEntry& entry = bo_.ErrorLog().back();
        EXPECT_EQ(entry.number, -1);
        EXPECT_EQ(entry.text2, L"src/docrepo");
        EXPECT_EQ(entry.text3, L"DRM::DocRepo::Save");
        EXPECT_EQ(entry.n, line);
    }
    EXPECT_EQ(bo_.ErrorLog().size(), 3u);
}

TEST_F(OperationTest, NullPointerWriteEndsAsAccessViolationAndTheObjectStaysUsable) {
    EXPECT_EQ(Run([] {
                  WriteThroughNull();
                  return 0;
              }),
              -1);
    EXPECT_EQ(bo_.ErrNumber(), -1);
    const std::wstring text = bo_.ErrDesc();
    EXPECT_EQ(text.rfind(L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x", 0), 0u) << text;
    EXPECT_NE(text.find(L" code:\t\t3221225477\n"), std::wstring::npos) << text;

    // The same object and thread go on working.
    EXPECT_EQ(Run([&] { return bo_.Accessor()->BeginTrans(); }), 0);
    EXPECT_EQ(db_->Ops(), std::vector<std::wstring>{L"BeginTrans"});
}

TEST_F(OperationTest, IntegerDivisionByZeroEndsAsMinusOneAndTheNextOperationRuns) {
    EXPECT_EQ(Run([] { return DivideByZero(); }), -1);
    EXPECT_EQ(bo_.ErrNumber(), -1);
    const std::wstring text = bo_.ErrDesc();
    EXPECT_EQ(text.rfind(L"EXCEPTION_INT_DIVIDE_BY_ZERO\n address:\t0x", 0), 0u) << text;
    EXPECT_NE(text.find(L" code:\t\t3221225620\n"), std::wstring::npos) << text;

    // A second fault on the same thread is translated too.
    EXPECT_EQ(Run([] { return DivideByZero(); }), -1);
    EXPECT_EQ(Run([&] { return bo_.Accessor()->CommitTrans(); }), 0);
    EXPECT_EQ(db_->Ops(), std::vector<std::wstring>{L"CommitTrans"});
}

TEST_F(OperationTest, ConnectWithAThrowingComponentIsRecordedNotThrown) {
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"boom",
        [](const ZUBDB::QVSvrInfo&, const std::wstring&) -> std::unique_ptr<ZUBDB::CDBAccessor> {
            throw 5;
        });
    ProbeBo bo;
    EXPECT_EQ(bo.Connect(L"boom:", 0, L"QVData", L""), -1);
    EXPECT_EQ(bo.ErrDesc(), L"unknown exception\n");
    EXPECT_FALSE(bo.IsConnected());
    ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"boom");
}

}  // namespace

}  // namespace zub::docvault::test
