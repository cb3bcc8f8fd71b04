// Contract tests of the history save of a check-in (its one transaction and
// its rollback), of DRM::DocHistory and of DRM::DocHistorys.
#include "docvault/dochistory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_contract_fixture.h"
#include "docvault/doc.h"
#include "docvault/dochistorys.h"
#include "throwing_accessor.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HistoryContract : public RecordingFixture {
protected:
    DRM::Doc MakeDoc() {
        DRM::Doc doc;
        doc.Connect(L"rec:", 0, L"QVData", L"tok");
        doc.set_docRepoId(3);
        doc.set_id(12);
        doc.set_fileName(L"a");
        doc.set_ext(L"prt");
        doc.set_currentVersion(L"1.4");
        doc.set_checkOutById(7);
        doc.set_checkOutByName(L"bob");
        doc.set_modifyInfo(L"fix");
        return doc;
    }
    void QueueSave(long long existingRows) {
        QueueRepo();
        QueueStrategy(2);
        db->OnSelect(L"QV_DMDocVer", MakeRs({L"count(*)"}, {{I(existingRows)}}));
    }
};

TEST_F(HistoryContract, SaveCopiesOnTheServerAndWritesOneTransaction) {
    QueueSave(0);
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.SaveToHistory(L"RC-9"), 0) << doc.ErrDesc();

    EXPECT_THAT(NfsLines(),
                ElementsAre(L"copy D:\\repo1\\trunk\\a.prt D:\\repo1\\history\\12_1.4.prt"));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(
            RepoLookup(3),
            L"ExecuteSql select ContentSha256, ContentBytes from QV_DMDoc where DocId = ? "
            L"0:DocId=12",
            L"BeginTrans", L"SelectRows QV_DMDocVer (count(*)) where 0:DocId=12",
            L"InsertRow QV_DMDocVer 0:DocId=12 1:DocName='12_1.4.prt' 2:OperatorId=7 "
            L"3:OperatorName=" +
                std::wstring(kOperatorName) +
                L" 4:OperatorTime=getdate() 5:action=1 6:OperateInfo='fix' "
                L"7:phyUrl='\\history\\' 8:version_main=1 9:version_sub=4 10:Revision=1 "
                L"11:ContentSha256='' 12:ContentBytes=-1",
            L"InsertRow QV_CaxForm 0:rcId='RC-9' 1:revision=1 2:DocId=12 3:CaxDocType=1",
            L"ExecuteSql select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy",
            L"UpdateRows QV_DMDoc 0:Name='a' 1:ext='prt' 2:phyUrl='' 3:CurrentVersion='1.5' "
            L"4:CurrentState=1 5:CurrentOperatorId=0 6:CurrentOperatorName='' "
            L"7:LastOperatorId=7 8:LastOperatorName='bob' 9:LastOperatorTime=getdate() "
            L"10:ChangeStamp=S where 0:DocId=12",
            L"CommitTrans"));
    // The save itself leaves the member; the check-in's last step advances it.
    EXPECT_EQ(doc.currentVersion(), L"1.4");
}

// Without a form the insert counts the revision itself; a form row needs
// it beforehand, so then it is read and written as a number into both rows.
TEST_F(HistoryContract, RevisionCountsTheExistingRowsAndAnEmptyFormAddsNoFormRow) {
    struct Case {
        const char* name;
        const wchar_t* rcId;
        const wchar_t* revision;  // as the history insert carries it
        bool countRead, formRow;
    };
    const Case cases[] = {
        {"without a form", L"",
         L"10:Revision=(SELECT count(*) + 1 FROM QV_DMDocVer WHERE DocId = 12)", false, false},
        {"with a form", L"RC-1", L"10:Revision=5 ", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        QueueRepo();
        QueueStrategy(2);
        if (c.countRead) db->OnSelect(L"QV_DMDocVer", MakeRs({L"count(*)"}, {{I(4)}}));
        DRM::Doc doc = MakeDoc();
        ASSERT_EQ(doc.SaveToHistory(c.rcId), 0) << doc.ErrDesc();
        bool form = false, counted = false;
        std::wstring insert;
        for (const auto& line : DbLines()) {
            form = form || line.find(L"InsertRow QV_CaxForm 0:rcId='RC-1' 1:revision=5") == 0;
            counted = counted || line.rfind(L"SelectRows QV_DMDocVer (count(*))", 0) == 0;
            if (line.rfind(L"InsertRow QV_DMDocVer", 0) == 0) insert = line;
        }
        EXPECT_EQ(form, c.formRow);
        EXPECT_EQ(counted, c.countRead);
        EXPECT_NE(insert.find(c.revision), std::wstring::npos) << zub::WideToUtf8(insert);
        EXPECT_NE(insert.find(L"3:OperatorName=" + std::wstring(kOperatorName)),
                  std::wstring::npos);
    }
}

TEST_F(HistoryContract, AFailedSaveRollsBackAndKeepsTheCopy) {
    struct Case {
        const wchar_t* op;
        int nth;  // counted from the first call of the save
        const char* step;
    };
    // SelectRows 1 is the repository look-up, 2 the login's password, 3 the count.
    const std::vector<Case> cases = {
        {L"SelectRows", 3, "count"},        {L"InsertRow", 1, "history row"},
        {L"InsertRow", 2, "form row"},      {L"ExecuteSql", 2, "next version"},
        {L"UpdateRows", 1, "document row"}, {L"CommitTrans", 1, "commit"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        SetUp();
        QueueSave(1);
        db->FailOn(c.op, c.nth, 3621, L"statement failed");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.SaveToHistory(L"RC"), 3621);
        EXPECT_EQ(doc.ErrNumber(), 3621);
        EXPECT_EQ(doc.ErrDesc(), L"statement failed");
        const auto ops = DbOps();
        ASSERT_FALSE(ops.empty());
        EXPECT_EQ(ops.back(), L"RollbackTrans");
        int rollbacks = 0;
        bool committed = false;
        for (const auto& op : ops) {
            rollbacks += op == L"RollbackTrans";
            committed = committed || (op == L"CommitTrans" && std::wstring(c.op) != L"CommitTrans");
        }
        EXPECT_EQ(rollbacks, 1);
        EXPECT_FALSE(committed);
        // The copy stays on the server: nothing deletes it.
        EXPECT_THAT(NfsLines(),
                    ElementsAre(L"copy D:\\repo1\\trunk\\a.prt D:\\repo1\\history\\12_1.4.prt"));
        EXPECT_EQ(doc.currentVersion(), L"1.4");
    }
}

TEST_F(HistoryContract, ASchemeWithoutNextVersionRollsBackInsteadOfStoringAnEmptyVersion) {
    QueueRepo();
    QueueStrategy(3);
    db->OnSelect(L"QV_DMDocVer", MakeRs({L"count(*)"}, {{I(0)}}));
    QueueUser(L"alice");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.SaveToHistory(L""), 49605);
    EXPECT_EQ(doc.ErrDesc(), L"版本策略的编号方式无效");
    EXPECT_FALSE(AnyDbOp(L"UpdateRows"));
    EXPECT_EQ(DbOps().back(), L"RollbackTrans");
}

TEST_F(HistoryContract, FailuresBeforeTheTransactionTouchNoRow) {
    {
        SCOPED_TRACE("copy fails");
        QueueRepo();
        nfs->FailOn(L"copy", 1, 50002, L"no such file");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.SaveToHistory(L""), 50002);
        EXPECT_EQ(doc.ErrDesc(), L"copy: no such file");
        EXPECT_THAT(
            DbLines(),
            ElementsAre(
                RepoLookup(3),
                L"ExecuteSql select ContentSha256, ContentBytes from QV_DMDoc where DocId = ? "
                L"0:DocId=12"));
    }
    {
        SCOPED_TRACE("begin fails");
        SetUp();
        QueueRepo();
        db->FailOn(L"BeginTrans", 1, 9, L"busy");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.SaveToHistory(L""), 9);
        EXPECT_THAT(DbOps(), ElementsAre(L"SelectRows", L"ExecuteSql", L"BeginTrans"));
    }
}

TEST_F(HistoryContract, ReadFillsTheMembersByPosition) {
    db->OnSelect(L"QV_DMDocVer", MakeRs({L"c0", L"c1", L"c2", L"c3", L"c4", L"c5", L"c6", L"c7",
                                         L"c8", L"c9", L"c10", L"c11", L"c12"},
                                        {{I(31), I(12), I(2), T(L"12_1.4.prt"), I(7), T(L"alice"),
                                          ZUBDB::DBValue(45000.75), T(L"fix"), I(1),
                                          T(L"\\history\\"), I(1), I(4), I(3)}}));
    DRM::DocHistory h;
    h.Connect(L"rec:", 0, L"QVData", L"tok");
    ASSERT_EQ(h.Read(31), 0);
    EXPECT_THAT(DbLines(), ElementsAre(L"SelectRows QV_DMDocVer () where 0:DocVersionId=31"));
    EXPECT_EQ(h.id(), 31);
    EXPECT_EQ(h.docId(), 12);
    EXPECT_EQ(h.baseLineId(), 2);
    EXPECT_EQ(h.hisDocName(), L"12_1.4.prt");
    EXPECT_EQ(h.operatprId(), 7);
    EXPECT_EQ(h.operatorName(), L"alice");
    EXPECT_DOUBLE_EQ(h.operatorTime(), 45000.75);
    EXPECT_EQ(h.operateInfo(), L"fix");
    EXPECT_EQ(h.action(), 1);
    EXPECT_EQ(h.phyUrl(), L"\\history\\");
    EXPECT_EQ(h.version_Main(), 1);
    EXPECT_EQ(h.version_Sub(), 4);
    EXPECT_EQ(h.reVersion(), 3);
    EXPECT_EQ(h.GetKey(), L"31");
}

TEST_F(HistoryContract, ReadWithoutRowAndWithoutConnection) {
    DRM::DocHistory h;
    EXPECT_EQ(h.Read(1), 49600);
    EXPECT_THAT(db->calls, IsEmpty());
    h.Connect(L"rec:", 0, L"QVData", L"tok");
    h.set_docId(5);
    EXPECT_EQ(h.Read(1), 49607);
    EXPECT_EQ(h.ErrDesc(), L"DocId 无效");
    EXPECT_EQ(h.docId(), 5);
}

TEST_F(HistoryContract, ListNewestFirstByColumnNameWithEmptyKeys) {
    const std::vector<std::wstring> cols = {
        L"DocVersionId", L"DocId",        L"BaseLineId",  L"DocName", L"OperatorId",
        L"OperatorName", L"OperatorTime", L"OperateInfo", L"Action",  L"PhyUrl",
        L"Version_Main", L"Version_Sub",  L"Revision"};
    db->OnSelect(
        L"QV_DMDocVer",
        MakeRs(cols, {{I(40), I(12), I(0), T(L"12_1.5.prt"), I(8), T(L"eve"), ZUBDB::DBValue(2.0),
                       T(L"second"), I(1), T(L"\\history\\"), I(1), I(5), I(2)},
                      {I(31), I(12), I(0), T(L"12_1.4.prt"), I(7), T(L"alice"), ZUBDB::DBValue(1.0),
                       T(L"first"), I(1), T(L"\\history\\"), I(1), I(4), I(1)}}));
    DRM::DocHistorys list;
    list.Connect(L"rec:", 0, L"QVData", L"tok");
    ASSERT_EQ(list.GetAll(DRM::filterForDocHistory{12, 99}), 0);
    EXPECT_THAT(DbLines(),
                ElementsAre(L"SelectRows QV_DMDocVer () where 0:DocId=12 order by  Revision desc"));
    ASSERT_EQ(list.Count(), 2);
    DRM::DocHistory* newest = list.History(0);
    EXPECT_EQ(newest->id(), 40);
    EXPECT_EQ(newest->reVersion(), 2);
    EXPECT_EQ(newest->version_Sub(), 5);
    EXPECT_EQ(newest->operatprId(), 8);
    EXPECT_EQ(newest->operatorName(), L"eve");
    EXPECT_EQ(newest->operateInfo(), L"second");
    EXPECT_EQ(newest->hisDocName(), L"12_1.5.prt");
    EXPECT_DOUBLE_EQ(newest->operatorTime(), 2.0);
    EXPECT_EQ(list.History(1)->reVersion(), 1);
    EXPECT_EQ(newest->GetKey(), L"");
    EXPECT_EQ(list.Item(L""), newest);  // a repeated key finds the first element
    EXPECT_FALSE(newest->IsConnected());
}

TEST_F(HistoryContract, ListOfADocumentWithoutHistory) {
    DRM::DocHistorys list;
    EXPECT_EQ(list.GetAll(DRM::filterForDocHistory{12, 0}), 49600);
    list.Connect(L"rec:", 0, L"QVData", L"tok");
    EXPECT_EQ(list.GetAll(DRM::filterForDocHistory{12, 0}), 49608);
    EXPECT_EQ(list.ErrDesc(), L"条件无效");
    EXPECT_EQ(list.Count(), 0);
}

TEST(DocHistoryObject, DefaultsAndFullConstructor) {
    DRM::DocHistory empty;
    EXPECT_EQ(empty.action(), -1);
    EXPECT_EQ(empty.reVersion(), 0);
    DRM::DocHistory full(1, 2, 3, L"n", 4, L"o", 5.0, L"i", 1, L"\\history\\", 6, 7, 8);
    EXPECT_EQ(full.GetKey(), L"");
    full.set_phyurl(L"\\x\\");
    full.set_operatorId(9);
    DRM::DocHistory copy = full;
    EXPECT_EQ(copy.phyUrl(), L"\\x\\");
    EXPECT_EQ(copy.operatprId(), 9);
    EXPECT_EQ(copy.version_Sub(), 7);
}

TEST_F(HistoryContract, ReadAndListingRecordAnExceptionAsMinusOne) {
    ThrowingAccessor::Register(L"QV_DMDocVer");
    DRM::DocHistory h;
    h.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(h.Read(1), -1);
    EXPECT_EQ(h.ErrDesc(), L"boom\n");
    DRM::DocHistorys list;
    list.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(list.GetAll(DRM::filterForDocHistory{12, 0}), -1);
    EXPECT_EQ(list.ErrDesc(), L"boom\n");

    // Inside the history save the transaction is rolled back.
    QueueRepo();
    DRM::Doc doc = MakeDoc();
    doc.Connect(L"recthrow:", 0, L"QVData", L"tok");
    // A form makes the save read the history table first.
    EXPECT_EQ(doc.SaveToHistory(L"RC"), -1);
    EXPECT_EQ(doc.ErrDesc(), L"boom\n");
    EXPECT_EQ(DbOps().back(), L"RollbackTrans");
    EXPECT_FALSE(AnyDbOp(L"CommitTrans"));
}

}  // namespace

}  // namespace zub::docvault::test
