// Contract tests of DRM::Doc and DRM::Docs against the recording database and
// file server: statements, value orders, server paths and what a failure stops.
#include "docvault/doc.h"

#include "docvault/baseline.h"
#include "docvault/docrepo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <stdexcept>
#include "doc_contract_fixture.h"
#include "docvault/docs.h"
#include "docvault/errors.h"
#include "throwing_accessor.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ZUBDB::DBValue;

const std::wstring kAuditColumns =
    L"insert into ZUB_AuditTrail (EventTime, UserId, UserName, Action, DocRepoId, DocId, phyUrl, "
    L"Name, Ext, Version, Detail) ";
const std::wstring kAuditUser = L"coalesce((select UserName from QV_User where UserId = ?), '')";
const std::wstring kAuditInsert = L"ExecuteSql " + kAuditColumns + L"values (getdate(), ?, " +
                                  kAuditUser + L", ?, ?, ?, ?, ?, ?, ?, ?)";
const std::wstring kAuditDelete =
    L"ExecuteSql " + kAuditColumns + L"select getdate(), ?, " + kAuditUser +
    L", 'delete', DocRepoId, DocId, phyUrl, Name, Ext, CurrentVersion, '' from QV_DMDoc where "
    L"DocId = ? and PendingFile = ?";

class DocContract : public RecordingFixture {
public:
    // A checked-out document 12 of repository 3, as a caller sets it up.
    DRM::Doc MakeDoc(bool connect = true) {
        DRM::Doc doc;
        if (connect) doc.Connect(L"rec:", 0, L"QVData", L"tok");
        doc.set_docRepoId(3);
        doc.set_id(12);
        doc.set_fileName(L"a");
        doc.set_ext(L"prt");
        doc.set_phyUrl(L"\\sub");
        doc.set_currentVersion(L"1.4");
        doc.set_checkOutById(7);
        doc.set_checkOutByName(L"bob");
        doc.set_creById(7);
        doc.set_caxDocType(2);
        doc.set_modifyInfo(L"fix");
        return doc;
    }
    // The read-back finds `maxId`.
    void QueueAddAnswers(long long maxId) {
        db->OnSelect(L"QV_DMDoc", MakeRs({L"Max(DocId)"}, {{I(maxId)}}));
    }
    // The pending-work look-up of document 12 in \\sub finds `mark`.
    void QueueMark(const std::wstring& mark) {
        db->OnSelect(L"QV_DMDoc", MakeRs({L"PendingFile", L"Name", L"Ext", L"phyUrl"},
                                         {{DBValue(mark), T(L"a"), T(L"prt"), T(L"\\sub")}}));
    }
    // The row as read back after a conditional update (or before a check-in).
    void QueueHolder(long state, long holder, const wchar_t* name,
                     const wchar_t* version = L"1.4") {
        db->OnSelect(
            L"QV_DMDoc",
            MakeRs({L"CurrentState", L"CurrentOperatorId", L"CurrentVersion", L"Name", L"Ext",
                    L"phyUrl", L"ChangeStamp", L"ContentSha256", L"CurrentOperatorName",
                    L"PendingFile"},
                   {{I(state), I(holder), T(version), T(L"a"), T(L"prt"), T(L"\\sub"), I(5),
                     T((L"sum-of-" + std::wstring(version)).c_str()), T(name), T(L"")}}));
    }
    // The row's name and change stamp as an operation reads them first.
    void QueueStamp() {
        db->OnSelect(L"QV_DMDoc", MakeRs({L"Name", L"Ext", L"phyUrl", L"ChangeStamp"},
                                         {{T(L"a"), T(L"prt"), T(L"\\sub"), I(5)}}));
    }
    // The rename's mark as read back after its update, then by the publish.
    void QueueRenameMarks(const wchar_t* name) {
        const std::wstring mark = L"rename|\\trunk\\sub\\a.prt|.zub-stage-N";
        db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"}, {{DBValue(mark)}});
        db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile", L"Name", L"Ext", L"phyUrl"},
                           {{DBValue(mark), T(name), T(L"prt"), T(L"\\sub")}});
    }
    static std::wstring StampLookup(int id) {
        return L"SelectRows QV_DMDoc (Name,Ext,phyUrl,ChangeStamp) where 0:DocId=" +
               std::to_wstring(id);
    }
    static std::wstring MarkLookup(int id) {
        return L"SelectRows QV_DMDoc (PendingFile,Name,Ext,phyUrl) where 0:DocId=" +
               std::to_wstring(id);
    }
};

TEST_F(DocContract, AddStagesTheUploadCommitsTheRowThenMovesTheFileIntoPlace) {
    QueueRepo();
    QueueStrategy(2, 0, 1, 0);
    // One look-up serves creator and last operator; the add publishes
    // from the mark it wrote, without reading the row again.
    QueueUser(L"alice");
    QueueAddAnswers(41);
    DRM::Doc doc = MakeDoc();
    doc.set_currentVersion(L"");

    ASSERT_EQ(doc.Add(L"/tmp/in/a.prt"), 0) << doc.ErrDesc();

    EXPECT_EQ(doc.id(), 41);
    EXPECT_EQ(doc.currentVersion(), L"1.0");
    EXPECT_THAT(NfsLines(),
                ElementsAre(L"renameFile D:\\repo1\\trunk\\sub\\a.prt D:\\repo1\\trunk\\sub\\a.prt",
                            L"mk D:\\repo1\\.zub-staging\\.zub-stage-N",
                            L"hold D:\\repo1\\.zub-staging\\.zub-stage-N",
                            L"upload /tmp/in/a.prt D:\\repo1\\.zub-staging\\.zub-stage-N\\content",
                            L"mk D:\\repo1\\trunk\\sub",
                            L"renameFile D:\\repo1\\.zub-staging\\.zub-stage-N\\content "
                            L"D:\\repo1\\trunk\\sub\\a.prt"));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(RepoLookup(3),
                    L"ExecuteSql select SeriaNumStra,NewDocBeginNum,Begin_Main,Begin_Sub from "
                    L"QV_DMVerStrategy",
                    L"SelectRows QV_User (UserName) where 0:UserId=7",
                    L"InsertRow QV_DMDoc 0:DocRepoId=3 1:Name='a' 2:Ext='prt' 3:phyUrl='\\sub' "
                    L"4:CurrentVersion='1.0' 5:CurrentState=0 6:CreatorId=7 7:CreatorName='alice' "
                    L"8:DocCreateTime=getdate() 9:LastOperatorId=7 10:LastOperatorName='alice' "
                    L"11:LastOperateTime=getdate() 12:CurrentOperatorId=0 13:CaxDocType=2 "
                    L"14:PendingFile='add|\\.zub-staging\\.zub-stage-N\\content|' "
                    L"15:ContentSha256='' 16:ContentBytes=-1",
                    L"CommitTrans", L"SelectRows QV_DMDoc (Max(DocId))",
                    L"UpdateRows QV_DMDoc 0:PendingFile='' where 0:DocId=41 "
                    L"1:PendingFile='add|\\.zub-staging\\.zub-stage-N\\content|'",
                    L"CommitTrans"));
    EXPECT_EQ(doc.ErrNumber(), 0);
}

// The emptied staging folder of a published upload waits, held, for the
// object's next one and goes with the object.
TEST_F(DocContract, AnObjectKeepsItsEmptiedStagingFolderForItsNextUpload) {
    const std::wstring staged = L"D:\\repo1\\.zub-staging\\.zub-stage-N";
    struct Case {
        const char* what;
        bool failKeptUpload;
        std::vector<std::wstring> second;  // the file-server calls of the second add
    };
    const Case cases[] = {
        {"the second add uploads into the kept folder",
         false,
         {L"renameFile D:\\repo1\\trunk\\sub\\b.prt D:\\repo1\\trunk\\sub\\b.prt",
          L"upload /tmp/b.prt " + staged + L"\\content", L"mk D:\\repo1\\trunk\\sub",
          L"renameFile " + staged + L"\\content D:\\repo1\\trunk\\sub\\b.prt"}},
        {"a kept folder that fails the upload is removed and a fresh one used",
         true,
         {L"renameFile D:\\repo1\\trunk\\sub\\b.prt D:\\repo1\\trunk\\sub\\b.prt",
          L"upload /tmp/b.prt " + staged + L"\\content", L"rm " + staged, L"mk " + staged,
          L"hold " + staged, L"upload /tmp/b.prt " + staged + L"\\content",
          L"mk D:\\repo1\\trunk\\sub",
          L"renameFile " + staged + L"\\content D:\\repo1\\trunk\\sub\\b.prt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        {
            DRM::Doc doc = MakeDoc();
            for (const wchar_t* name : {L"a", L"b"}) {
                QueueRepo();
                QueueStrategy(1);
                QueueAddAnswers(41);
                doc.set_fileName(name);
                if (std::wstring(name) == L"b") {
                    nfs->calls.clear();
                    if (c.failKeptUpload) nfs->FailOn(L"upload", 1, 50001, L"folder gone");
                }
                ASSERT_EQ(doc.Add(L"/tmp/" + std::wstring(name) + L".prt"), 0) << doc.ErrDesc();
            }
            EXPECT_THAT(NfsLines(), ElementsAreArray(c.second));
            nfs->calls.clear();
        }
        EXPECT_THAT(NfsLines(), ElementsAre(L"rm " + staged));
    }
}

TEST_F(DocContract, AddTakesTheIdOfItsOwnInsertNotTheTableMaximum) {
    QueueRepo();
    QueueStrategy(1);
    QueueAddAnswers(90);  // another client's row came in after ours
    db->lastInsertId = 57;
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.Add(L"/tmp/a.prt"), 0);
    EXPECT_EQ(doc.id(), 57);
}

TEST_F(DocContract, AddFailuresLeaveNoRowAndNoStagedFile) {
    {
        SCOPED_TRACE("upload fails: the database is not written");
        QueueRepo();
        QueueStrategy(1);
        nfs->FailOn(L"upload", 1, 50002, L"local file missing");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.Add(L"/nowhere.prt"), 50002);
        EXPECT_EQ(doc.ErrDesc(), L"upload: local file missing");
        EXPECT_FALSE(AnyDbOp(L"InsertRow"));
        EXPECT_FALSE(AnyDbOp(L"CommitTrans"));
    }
    {
        SCOPED_TRACE("insert fails after the upload: the staged file goes, nothing is committed");
        SetUp();
        QueueRepo();
        QueueStrategy(1);
        db->FailOn(L"InsertRow", 1, 2627, L"insert refused");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.Add(L"/tmp/a.prt"), 2627);
        EXPECT_EQ(doc.ErrDesc(), L"insert refused");
        EXPECT_THAT(
            NfsLines(),
            ElementsAre(L"renameFile D:\\repo1\\trunk\\sub\\a.prt D:\\repo1\\trunk\\sub\\a.prt",
                        L"mk D:\\repo1\\.zub-staging\\.zub-stage-N",
                        L"hold D:\\repo1\\.zub-staging\\.zub-stage-N",
                        L"upload /tmp/a.prt D:\\repo1\\.zub-staging\\.zub-stage-N\\content",
                        L"rm D:\\repo1\\.zub-staging\\.zub-stage-N"));
        EXPECT_FALSE(AnyDbOp(L"CommitTrans"));
        EXPECT_THAT(nfs->files, IsEmpty());
    }
    {
        SCOPED_TRACE("a unique index refuses the row: 49611, the staged file goes");
        SetUp();
        QueueRepo();
        QueueStrategy(1);
        db->FailOn(L"InsertRow", 1, 2067, L"UNIQUE constraint failed");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.Add(L"/tmp/a.prt"), DRM::Err::kDocExists);
        EXPECT_EQ(doc.ErrDesc(), L"文档 \\sub\\a.prt 已存在");
        EXPECT_THAT(nfs->files, IsEmpty());
        EXPECT_EQ(DbOps().back(), L"RollbackTrans");
    }
    {
        SCOPED_TRACE("the read-back finds no row");
        SetUp();
        QueueRepo();
        QueueStrategy(1);
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.Add(L"/tmp/a.prt"), 49604);
        EXPECT_EQ(doc.ErrDesc(), L"数据表 QV_DMDoc 为空");
    }
}

TEST_F(DocContract, AddRefusesAPathWhereAFileIsKept) {
    QueueRepo();
    QueueStrategy(1);
    nfs->files.insert(L"D:\\repo1\\trunk\\sub\\a.prt");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Add(L"/tmp/a.prt"), DRM::Err::kDocExists);
    EXPECT_EQ(doc.ErrDesc(), L"文档 \\sub\\a.prt 已存在");
    // The file there is not overwritten.
    EXPECT_THAT(NfsLines(), ElementsAre(L"renameFile D:\\repo1\\trunk\\sub\\a.prt "
                                        L"D:\\repo1\\trunk\\sub\\a.prt"));
    EXPECT_FALSE(AnyDbOp(L"InsertRow"));
}

TEST_F(DocContract, AddWithoutAVersionStrategyStoresNothing) {
    QueueRepo();
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Add(L"/tmp/a.prt"), 49606);
    EXPECT_EQ(doc.ErrDesc(), L"表 QV_DMVerStrategy 为空");
    EXPECT_EQ(doc.currentVersion(), L"1.4");
    EXPECT_THAT(NfsLines(), IsEmpty());
    EXPECT_FALSE(AnyDbOp(L"InsertRow"));
}

TEST_F(DocContract, AddWithAnUnknownCreatorStoresAnEmptyNameAndKeepsTheError) {
    QueueRepo();
    QueueStrategy(1);
    QueueAddAnswers(8);
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Add(L"/tmp/a.prt"), 0);
    EXPECT_EQ(doc.ErrNumber(), 49604);
    EXPECT_EQ(doc.ErrDesc(), L"userId 无效");
    const auto lines = DbLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines[3].find(L"7:CreatorName='' "), std::wstring::npos) << lines[3];
}

TEST_F(DocContract, AFailingUserLookUpGivesAnEmptyNameAndRecordsTheException) {
    ThrowingAccessor::Register(L"QV_User");
    QueueRepo();
    QueueStrategy(1);
    QueueAddAnswers(8);
    DRM::Doc doc = MakeDoc();
    doc.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(doc.Add(L"/tmp/a.prt"), 0);
    EXPECT_EQ(doc.ErrNumber(), -1);
    EXPECT_EQ(doc.ErrDesc(), L"boom\n");
    const auto lines = DbLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[2].find(L"7:CreatorName='' "), std::wstring::npos) << lines[2];
}

TEST_F(DocContract, AnExceptionInsideAnOperationIsRecordedAsMinusOne) {
    ThrowingAccessor::Register(L"QV_DMRepo");
    DRM::Doc doc = MakeDoc();
    doc.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_EQ(doc.View(L"/tmp"), -1);
    EXPECT_EQ(doc.ErrDesc(), L"boom\n");
    EXPECT_THAT(NfsLines(), IsEmpty());
}

TEST_F(DocContract, CheckOutTakesTheRowOnlyWhileNobodyHoldsItThenDownloads) {
    QueueRepo();
    QueueMark(L"");
    QueueHolder(0, 0, L"");
    QueueHolder(1, 7, L"bob");
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.CheckOut(L"/tmp/out"), 0) << doc.ErrDesc();
    EXPECT_THAT(NfsLines(), ElementsAre(L"download D:\\repo1\\trunk\\sub\\a.prt /tmp/out a.prt"));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(RepoLookup(3), MarkLookup(12),
                    L"SelectRows QV_DMDoc (CurrentState,CurrentOperatorId) where 0:DocId=12",
                    L"BeginTrans",
                    L"UpdateRows QV_DMDoc 0:CurrentState=1 1:CurrentOperatorId=7 "
                    L"2:CurrentOperatorName='bob' 3:ChangeStamp=S where 0:DocId=12 "
                    L"1:CurrentOperatorId=0 2:PendingFile=''",
                    L"SelectRows QV_DMDoc () where 0:DocId=12", L"CommitTrans",
                    L"ExecuteSql select ContentSha256, ContentBytes from QV_DMDoc where DocId = ? "
                    L"0:DocId=12"));
    EXPECT_EQ(doc.state(), 0);  // members stay as they were
}

TEST_F(DocContract, CheckOutOfADocumentAnotherUserHoldsNamesTheHolder) {
    QueueRepo();
    QueueMark(L"");
    QueueHolder(1, 9, L"carol");
    QueueHolder(1, 9, L"carol");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.CheckOut(L"/tmp/out"), DRM::Err::kHeldByOther);
    EXPECT_EQ(doc.ErrDesc(), L"文档已被 carol 检出");
    EXPECT_THAT(NfsLines(), IsEmpty());  // the loser gets no copy
    EXPECT_EQ(DbOps().back(), L"RollbackTrans");
    EXPECT_FALSE(AnyDbOp(L"CommitTrans"));
}

TEST_F(DocContract, CheckOutWhoseDownloadFailsGivesTheDocumentBack) {
    QueueRepo();
    QueueMark(L"");
    QueueHolder(0, 0, L"");
    QueueHolder(1, 7, L"bob");
    nfs->FailOn(L"download", 1, 50002, L"gone");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.CheckOut(L"/tmp/out"), 50002);
    const auto lines = DbLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              L"UpdateRows QV_DMDoc 0:CurrentState=0 1:CurrentOperatorId=0 "
              L"2:CurrentOperatorName='' 3:ChangeStamp=S where 0:DocId=12 1:CurrentOperatorId=7 "
              L"2:PendingFile=''");
    EXPECT_EQ(lines.back(), L"CommitTrans");
}

TEST_F(DocContract, CheckInStagesCommitsOnlyForTheHolderThenMovesBothFiles) {
    QueueRepo();
    QueueStrategy(2, 0, 1, 0);
    QueueHolder(1, 7, L"bob", L"1.4");
    const std::wstring mark =
        L"checkin|\\.zub-staging\\.zub-stage-N\\content|\\history\\12_1.4.prt";
    db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"}, {{DBValue(mark)}});
    nfs->files.insert(L"D:\\repo1\\trunk\\sub\\a.prt");
    DRM::Doc doc = MakeDoc();

    ASSERT_EQ(doc.CheckIn(L"/tmp/new.prt"), 0) << doc.ErrDesc();

    EXPECT_EQ(doc.currentVersion(), L"1.5");
    // One upload; the replaced file becomes the saved version by a rename.
    const std::wstring staged = L"D:\\repo1\\.zub-staging\\.zub-stage-N";
    EXPECT_THAT(NfsLines(),
                ElementsAre(L"mk " + staged, L"hold " + staged,
                            L"upload /tmp/new.prt " + staged + L"\\content",
                            L"renameFile " + staged + L"\\content " + staged + L"\\content",
                            L"renameFile D:\\repo1\\trunk\\sub\\a.prt "
                            L"D:\\repo1\\history\\12_1.4.prt",
                            L"renameFile " + staged + L"\\content D:\\repo1\\trunk\\sub\\a.prt"));
    const std::wstring strategy =
        L"ExecuteSql select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy";
    EXPECT_THAT(
        DbLines(),
        ElementsAre(
            RepoLookup(3),
            L"SelectRows QV_DMDoc (CurrentState,CurrentOperatorId,CurrentVersion,Name,Ext,phyUrl,"
            L"ChangeStamp,ContentSha256,ContentBytes,PendingFile) where 0:DocId=12",
            strategy, L"BeginTrans",
            L"UpdateRows QV_DMDoc 0:Name='a' 1:Ext='prt' 2:CurrentVersion='1.5' "
            L"3:CurrentState=0 4:LastOperatorId=7 5:LastOperatorName='bob' "
            L"6:LastOperateTime=getdate() 7:LastOperatorTime=getdate() 8:phyUrl='\\sub' "
            L"9:CurrentOperatorId=0 10:CurrentOperatorName='' 11:PendingFile='" +
                mark +
                L"' 12:ChangeStamp=S 13:ContentSha256='' 14:ContentBytes=-1 where 0:DocId=12 "
                L"1:CurrentState=1 "
                L"2:CurrentOperatorId=7 3:CurrentVersion='1.4' 4:PendingFile='' 5:ChangeStamp=S",
            L"SelectRows QV_DMDoc () where 0:DocId=12",
            L"InsertRow QV_DMDocVer 0:DocId=12 1:DocName='12_1.4.prt' 2:OperatorId=7 "
            L"3:OperatorName=" +
                std::wstring(kOperatorName) +
                L" 4:OperatorTime=getdate() 5:action=1 6:OperateInfo='fix' "
                L"7:phyUrl='\\history\\' 8:version_main=1 9:version_sub=4 "
                L"10:Revision=(SELECT count(*) + 1 FROM QV_DMDocVer WHERE DocId = 12) "
                L"11:ContentSha256='sum-of-1.4' 12:ContentBytes=-1",  // the replaced file's sum
                                                                      // goes with it
            L"CommitTrans",
            L"UpdateRows QV_DMDoc 0:PendingFile='' where 0:DocId=12 1:PendingFile='" + mark + L"'",
            L"CommitTrans"));
}

// The row read for the holder check also shows pending work; after that is
// finished the check uses the row as it is then, not as first read.
TEST_F(DocContract, CheckInAfterPendingWorkChecksTheRowReadAgain) {
    QueueRepo();
    db->OnSelect(L"QV_DMDoc", MakeRs({L"CurrentState", L"CurrentOperatorId", L"CurrentVersion",
                                      L"Name", L"Ext", L"phyUrl", L"ChangeStamp", L"ContentSha256",
                                      L"ContentBytes", L"PendingFile"},
                                     {{I(1), I(7), T(L"1.4"), T(L"a"), T(L"prt"), T(L"\\sub"), I(5),
                                       T(L""), I(4), T(L"checkin|elsewhere|")}}));
    QueueMark(L"");  // finished meanwhile by its own operation
    QueueHolder(1, 9, L"carol", L"1.4");
    QueueStrategy(1);
    DRM::Doc doc = MakeDoc();

    EXPECT_EQ(doc.CheckIn(L"/tmp/new.prt"), DRM::Err::kNotHolder);
    const std::wstring read =
        L"SelectRows QV_DMDoc (CurrentState,CurrentOperatorId,CurrentVersion,Name,Ext,phyUrl,"
        L"ChangeStamp,ContentSha256,ContentBytes,PendingFile) where 0:DocId=12";
    EXPECT_THAT(
        DbLines(),
        ElementsAre(RepoLookup(3), read, MarkLookup(12), read,
                    L"ExecuteSql select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy"));
    EXPECT_THAT(NfsLines(), IsEmpty());
}

TEST_F(DocContract, CheckInFailuresBeforeTheCommitLeaveTheDocumentAsItWas) {
    {
        SCOPED_TRACE("not the holder: nothing is uploaded");
        QueueRepo();
        QueueStrategy(1);
        QueueHolder(1, 9, L"carol", L"1.4");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.CheckIn(L"/tmp/new.prt"), DRM::Err::kNotHolder);
        EXPECT_EQ(doc.ErrDesc(), L"文档未被 bob 检出");
        EXPECT_THAT(NfsLines(), IsEmpty());
        EXPECT_FALSE(AnyDbOp(L"UpdateRows"));
    }
    {
        SCOPED_TRACE("upload fails: no row is written");
        SetUp();
        QueueRepo();
        QueueStrategy(1);
        QueueHolder(1, 7, L"bob", L"1.4");
        nfs->FailOn(L"upload", 1, 50004, L"disk full");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.CheckIn(L"/tmp/new.prt"), 50004);
        EXPECT_EQ(doc.ErrDesc(), L"upload: disk full");
        EXPECT_FALSE(AnyDbOp(L"UpdateRows"));
        EXPECT_EQ(doc.currentVersion(), L"1.4");
    }
    {
        SCOPED_TRACE("another check-in won the row: rolled back, the staged file goes");
        SetUp();
        QueueRepo();
        QueueStrategy(1);
        QueueHolder(1, 7, L"bob", L"1.4");
        db->OnSelect(L"QV_DMDoc", MakeRs({L"PendingFile"}, {{T(L"checkin|other|")}}));
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.CheckIn(L"/tmp/new.prt"), DRM::Err::kNotHolder);
        EXPECT_FALSE(AnyDbOp(L"InsertRow"));
        EXPECT_FALSE(AnyDbOp(L"CommitTrans"));
        EXPECT_EQ(NfsLines().back(), L"rm D:\\repo1\\.zub-staging\\.zub-stage-N");
        EXPECT_THAT(nfs->files, IsEmpty());
        EXPECT_EQ(doc.currentVersion(), L"1.4");
    }
}

TEST_F(DocContract, ViewAndGetHistoryDownloadUnderTheCurrentName) {
    QueueRepo(2);
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.View(L"/tmp/v"), 0);
    ASSERT_EQ(doc.GetHistory(L"1.2", L"/tmp/h"), 0);
    EXPECT_THAT(NfsLines(), ElementsAre(L"download D:\\repo1\\trunk\\sub\\a.prt /tmp/v a.prt",
                                        L"download D:\\repo1\\history\\12_1.2.prt /tmp/h a.prt"));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(
            RepoLookup(3), MarkLookup(12),
            L"ExecuteSql select ContentSha256, ContentBytes from QV_DMDoc where DocId = ? "
            L"0:DocId=12",
            RepoLookup(3), MarkLookup(12),
            L"ExecuteSql select ContentSha256, ContentBytes from QV_DMDocVer where DocId = ? "
            L"and Version_Main = ? and Version_Sub = ? order by DocVersionId desc "
            L"limit 1 0:DocId=12 1:Version_Main=1 2:Version_Sub=2"));
}

TEST_F(DocContract, ReNameStoresTheNewNameMarkedThenRenamesTheFile) {
    QueueRepo();
    QueueMark(L"");
    QueueStamp();
    QueueRenameMarks(L"bracket.left");
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.ReName(L"bracket.left.prt"), 0) << doc.ErrDesc();
    EXPECT_THAT(NfsLines(), ElementsAre(L"renameFile D:\\repo1\\trunk\\sub\\bracket.left.prt "
                                        L"D:\\repo1\\trunk\\sub\\bracket.left.prt",
                                        L"mk D:\\repo1\\trunk\\sub",
                                        L"renameFile D:\\repo1\\trunk\\sub\\a.prt "
                                        L"D:\\repo1\\trunk\\sub\\bracket.left.prt"));
    // On condition that the row is as read: no pending work, the same stamp.
    EXPECT_THAT(DbLines(),
                ElementsAre(RepoLookup(3), MarkLookup(12), StampLookup(12), L"BeginTrans",
                            L"UpdateRows QV_DMDoc 0:Name='bracket.left' 1:Ext='prt' "
                            L"2:phyUrl='\\sub' "
                            L"3:PendingFile='rename|\\trunk\\sub\\a.prt|.zub-stage-N' "
                            L"4:ChangeStamp=S where 0:DocId=12 1:PendingFile='' 2:ChangeStamp=S",
                            L"SelectRows QV_DMDoc (PendingFile) where 0:DocId=12",
                            // The audit entry commits with the change it records.
                            kAuditInsert + L" 0:UserId=7 1:UserId=7 2:Action='rename' "
                                           L"3:DocRepoId=3 4:DocId=12 5:phyUrl='\\sub' "
                                           L"6:Name='bracket.left' 7:Ext='prt' 8:Version='1.4' "
                                           L"9:Detail='a.prt'",
                            L"CommitTrans", MarkLookup(12),
                            L"UpdateRows QV_DMDoc 0:PendingFile='' where 0:DocId=12 "
                            L"1:PendingFile='rename|\\trunk\\sub\\a.prt|.zub-stage-N'",
                            L"CommitTrans"));
    EXPECT_EQ(doc.fileName(), L"a");  // members keep the old name
    EXPECT_EQ(doc.ext(), L"prt");
}

TEST_F(DocContract, ReNameWithoutADotKeepsTheExtension) {
    QueueRepo();
    QueueMark(L"");
    QueueStamp();
    QueueRenameMarks(L"bracket");
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.ReName(L"bracket"), 0);
    EXPECT_EQ(DbLines().at(4),
              L"UpdateRows QV_DMDoc 0:Name='bracket' 1:Ext='prt' 2:phyUrl='\\sub' "
              L"3:PendingFile='rename|\\trunk\\sub\\a.prt|.zub-stage-N' 4:ChangeStamp=S "
              L"where 0:DocId=12 1:PendingFile='' 2:ChangeStamp=S");
}

TEST_F(DocContract, ReNameOntoAFileThatIsThereChangesNothing) {
    QueueRepo();
    QueueMark(L"");
    QueueStamp();
    nfs->files.insert(L"D:\\repo1\\trunk\\sub\\b.prt");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.ReName(L"b.prt"), DRM::Err::kDocExists);
    EXPECT_FALSE(AnyDbOp(L"UpdateRows"));
    EXPECT_EQ(NfsLines().size(), 1u);  // only the look
}

TEST_F(DocContract, ReNameWhoseRowCannotBeUpdatedLeavesTheFile) {
    const struct {
        const char* what;
        const wchar_t* op;
        long number;
        long status;
    } cases[] = {
        {"update fails", L"UpdateRows", 547, 547},
        {"commit fails", L"CommitTrans", 1205, 1205},
        {"another document has the name", L"UpdateRows", 2067, DRM::Err::kDocExists},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        QueueRepo();
        QueueMark(L"");
        QueueStamp();
        QueueRenameMarks(L"b");
        db->FailOn(c.op, 1, c.number, L"refused");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(doc.ReName(L"b.prt"), c.status);
        EXPECT_EQ(NfsLines().size(), 1u);  // the look only: the file is not moved
        EXPECT_EQ(DbOps().back(), L"RollbackTrans");
    }
}

TEST_F(DocContract, AFailedCommitIsRolledBackSoTheNextCommitCannotPickItUp) {
    const struct {
        const char* what;
        std::function<int(DRM::Doc&)> op;
        std::function<void()> queue;
    } cases[] = {
        {"add", [](DRM::Doc& d) { return d.Add(L"/tmp/a.prt"); },
         [this] {
             QueueRepo();
             QueueStrategy(1);
         }},
        {"check-out", [](DRM::Doc& d) { return d.CheckOut(L"/tmp/out"); },
         [this] {
             QueueRepo();
             QueueMark(L"");
             QueueHolder(0, 0, L"");
             QueueHolder(1, 7, L"bob");
         }},
        {"check-in", [](DRM::Doc& d) { return d.CheckIn(L"/tmp/new.prt"); },
         [this] {
             QueueRepo();
             QueueStrategy(1);
             QueueHolder(1, 7, L"bob", L"1.4");
             db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"},
                                {{T(L"checkin|\\.zub-staging\\.zub-stage-N\\content|"
                                    L"\\history\\12_1.4.prt")}});
         }},
        {"delete", [](DRM::Doc& d) { return d.Delete(); },
         [this] {
             QueueRepo();
             QueueMark(L"");
             QueueStamp();
             db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"},
                                {{T(L"delete|\\.zub-staging\\.zub-stage-N\\content|7")}});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.queue();
        db->FailOn(L"CommitTrans", 1, 1205, L"deadlock");
        DRM::Doc doc = MakeDoc();
        EXPECT_EQ(c.op(doc), 1205);
        EXPECT_EQ(doc.ErrDesc(), L"deadlock");
        const auto ops = DbOps();
        ASSERT_GE(ops.size(), 2u);
        EXPECT_EQ(ops[ops.size() - 2], L"CommitTrans");
        EXPECT_EQ(ops.back(), L"RollbackTrans");
    }
}

TEST_F(DocContract, NamesThatLeaveTheirFolderAreRefusedBeforeAnyCall) {
    struct Case {
        const char* what;
        std::function<int(DRM::Doc&)> op;
        std::function<void(DRM::Doc&)> prepare;
    };
    const std::vector<Case> cases = {
        {"rename into a parent", [](DRM::Doc& d) { return d.ReName(L"..\\x.prt"); }, nullptr},
        {"rename to an empty name", [](DRM::Doc& d) { return d.ReName(L".prt"); }, nullptr},
        {"history version with a separator",
         [](DRM::Doc& d) { return d.GetHistory(L"1\\..\\..\\x", L"/tmp"); }, nullptr},
        {"file name with a separator", [](DRM::Doc& d) { return d.Delete(); },
         [](DRM::Doc& d) { d.set_fileName(L"..\\..\\repo2\\trunk\\b"); }},
        {"empty file name", [](DRM::Doc& d) { return d.Add(L"/tmp/a"); },
         [](DRM::Doc& d) {
             d.set_fileName(L"");
             d.set_ext(L"");
         }},
        {"folder climbing out of trunk", [](DRM::Doc& d) { return d.View(L"/tmp"); },
         [](DRM::Doc& d) { d.set_phyUrl(L"\\..\\history"); }},
        {"folder without leading separator", [](DRM::Doc& d) { return d.UpLoadDoc(L"/tmp/a"); },
         [](DRM::Doc& d) { d.set_phyUrl(L"sub"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        QueueRepo();
        DRM::Doc doc = MakeDoc();
        if (c.prepare) c.prepare(doc);
        EXPECT_EQ(c.op(doc), DRM::Err::kInvalidName);
        EXPECT_EQ(doc.ErrDesc().rfind(L"名称无效", 0), 0u) << doc.ErrDesc();
        EXPECT_THAT(DbLines(), IsEmpty());
        EXPECT_THAT(NfsLines(), IsEmpty());
    }
}

TEST_F(DocContract, DeleteMarksTheRowRemovesTheFileThenTheRow) {
    QueueRepo();
    QueueMark(L"");
    QueueStamp();
    const std::wstring mark = L"delete|\\.zub-staging\\.zub-stage-N\\content|7";
    db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"}, {{DBValue(mark)}});
    DRM::Doc doc = MakeDoc();
    ASSERT_EQ(doc.Delete(), 0) << doc.ErrDesc();
    // The held folder keeps other processes from finishing it meanwhile.
    EXPECT_THAT(NfsLines(), ElementsAre(L"mk D:\\repo1\\.zub-staging\\.zub-stage-N",
                                        L"hold D:\\repo1\\.zub-staging\\.zub-stage-N",
                                        L"delFile D:\\repo1\\trunk\\sub\\a.prt",
                                        L"rm D:\\repo1\\.zub-staging\\.zub-stage-N"));
    EXPECT_THAT(
        DbLines(),
        ElementsAre(
            RepoLookup(3), MarkLookup(12), StampLookup(12), L"BeginTrans",
            L"UpdateRows QV_DMDoc 0:PendingFile='" + mark +
                L"' 1:ChangeStamp=S where 0:DocId=12 1:PendingFile='' "
                L"2:ChangeStamp=S",
            L"SelectRows QV_DMDoc () where 0:DocId=12", L"CommitTrans",
            kAuditDelete + L" 0:UserId=7 1:UserId=7 2:DocId=12 3:PendingFile='" + mark + L"'",
            L"DeleteRows QV_DMDoc where 0:DocId=12 1:PendingFile='" + mark + L"'", L"CommitTrans"));
}

TEST_F(DocContract, DeleteWhoseFileIsGoneKeepsTheRowUnmarked) {
    QueueRepo();
    QueueMark(L"");
    QueueStamp();
    const std::wstring mark = L"delete|\\.zub-staging\\.zub-stage-N\\content|7";
    db->OnSelectStaged(L"QV_DMDoc", {L"PendingFile"}, {{DBValue(mark)}});
    nfs->FailOn(L"delFile", 1, 50002, L"not found");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Delete(), 50002);
    EXPECT_EQ(doc.ErrDesc(), L"delFile: not found");
    EXPECT_FALSE(AnyDbOp(L"DeleteRows"));
    const auto lines = DbLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(
        lines[lines.size() - 2],
        L"UpdateRows QV_DMDoc 0:PendingFile='' where 0:DocId=12 1:PendingFile='" + mark + L"'");
}

TEST_F(DocContract, AMissingRepositoryRowStopsBeforeTheFileServer) {
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.View(L"/tmp"), 49609);
    EXPECT_EQ(doc.ErrDesc(), L"DocRepoId  无效");
    EXPECT_THAT(NfsLines(), IsEmpty());
}

TEST_F(DocContract, ReadFillsEveryMemberByColumnName) {
    db->OnSelect(L"QV_DMDoc",
                 MakeRs({L"DocId", L"DocRepoId", L"Name", L"Ext", L"CurrentVersion",
                         L"CurrentState", L"CurrentOperatorId", L"CurrentOperatorName",
                         L"CreatorId", L"CreatorName", L"DocCreateTime", L"LastOperatorId",
                         L"LastOperatorName", L"LastOperateTime", L"phyUrl", L"CaxDocType"},
                        {{I(12), I(3), T(L"gear"), T(L"asm"), T(L"2.3"), I(1), I(8), T(L"eve"),
                          I(5), T(L"carl"), DBValue(45000.5), I(6), T(L"dan"), DBValue(45001.25),
                          T(L"\\p"), I(4)}}));
    DRM::Doc doc;
    doc.Connect(L"rec:", 0, L"QVData", L"tok");
    doc.set_modifyInfo(L"kept");
    ASSERT_EQ(doc.Read(12), 0);
    EXPECT_THAT(DbLines(), ElementsAre(L"SelectRows QV_DMDoc () where 0:DocId=12"));
    EXPECT_EQ(doc.id(), 12);
    EXPECT_EQ(doc.docRepoId(), 3);
    EXPECT_EQ(doc.fileName(), L"gear");
    EXPECT_EQ(doc.ext(), L"asm");
    EXPECT_EQ(doc.currentVersion(), L"2.3");
    EXPECT_EQ(doc.state(), 1);
    EXPECT_EQ(doc.checkOutById(), 8);
    EXPECT_EQ(doc.checkOutByName(), L"eve");
    EXPECT_EQ(doc.creById(), 5);
    EXPECT_EQ(doc.creByName(), L"carl");
    EXPECT_DOUBLE_EQ(doc.creTime(), 45000.5);
    EXPECT_EQ(doc.lstUptById(), 6);
    EXPECT_EQ(doc.lstUptByName(), L"dan");
    EXPECT_DOUBLE_EQ(doc.lstUptTime(), 45001.25);
    EXPECT_EQ(doc.phyUrl(), L"\\p");
    EXPECT_EQ(doc.caxDocType(), 4);
    EXPECT_EQ(doc.modifyInfo(), L"kept");
    EXPECT_EQ(doc.GetKey(), L"12");
}

TEST_F(DocContract, ReadOfAMissingIdNamesItAndKeepsTheMembers) {
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Read(99), 49501);
    EXPECT_EQ(doc.ErrDesc(), L"文档号 99 不存在");
    EXPECT_EQ(doc.id(), 12);
    EXPECT_EQ(doc.fileName(), L"a");
}

TEST_F(DocContract, StateAndRevisionLookups) {
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.getState(12), 49602);
    EXPECT_EQ(doc.ErrDesc(), L"文档Id不存在");

    db->OnSelect(L"QV_DMDocVer", MakeRs({L"max(Revision)"}, {{DBValue()}}));
    EXPECT_EQ(doc.GetRevision(), 49603);  // no history: the aggregate is NULL
    EXPECT_EQ(doc.ErrDesc(), L"文档还没有历史版本");

    db->OnSelect(L"QV_DMDoc", MakeRs({L"CurrentState"}, {{I(1)}}));
    db->OnSelect(L"QV_DMDocVer", MakeRs({L"max(Revision)"}, {{I(4)}}));
    EXPECT_EQ(doc.getState(12), 1);
    EXPECT_EQ(doc.GetRevision(), 4);
    const auto lines = DbLines();
    EXPECT_EQ(lines.front(), L"SelectRows QV_DMDoc (CurrentState) where 0:DocId=12");
    EXPECT_EQ(lines.back(), L"SelectRows QV_DMDocVer (max(Revision)) where 0:DocId=12");
}

TEST_F(DocContract, DatabaseFailuresAreRecordedWithTheAccessorsText) {
    db->FailOn(L"SelectRows", 1, 1205, L"deadlock victim");
    DRM::Doc doc = MakeDoc();
    EXPECT_EQ(doc.Read(12), 1205);
    EXPECT_EQ(doc.ErrNumber(), 1205);
    EXPECT_EQ(doc.ErrDesc(), L"deadlock victim");
}

TEST_F(DocContract, WithoutAConnectionNothingIsCalled) {
    const std::vector<std::function<int(DRM::Doc&)>> ops = {
        [](DRM::Doc& d) { return d.Read(1); },
        [](DRM::Doc& d) { return d.Add(L"/tmp/a"); },
        [](DRM::Doc& d) { return d.CheckOut(L"/tmp"); },
        [](DRM::Doc& d) { return d.CheckIn(L"/tmp/a"); },
        [](DRM::Doc& d) { return d.CheckIn(L"/tmp/a", L"rc"); },
        [](DRM::Doc& d) { return d.UpLoadDoc(L"/tmp/a"); },
        [](DRM::Doc& d) { return d.View(L"/tmp"); },
        [](DRM::Doc& d) { return d.GetHistory(L"1", L"/tmp"); },
        [](DRM::Doc& d) { return d.ReName(L"b.prt"); },
        [](DRM::Doc& d) { return d.Delete(); },
        [](DRM::Doc& d) { return d.getState(1); },
        [](DRM::Doc& d) { return static_cast<int>(d.GetRevision()); },
        [](DRM::Doc& d) { return d.SaveToHistory(L""); },
    };
    for (std::size_t i = 0; i < ops.size(); ++i) {
        SCOPED_TRACE(i);
        DRM::Doc doc = MakeDoc(false);
        EXPECT_EQ(ops[i](doc), 49600);
        EXPECT_EQ(doc.ErrDesc(), L"远程数据库未连接");
    }
    DRM::Doc doc = MakeDoc(false);
    EXPECT_EQ(doc.GetNextVersion(), L"");
    EXPECT_EQ(doc.ErrNumber(), 49600);
    DRM::Docs docs;
    EXPECT_EQ(docs.GetAll(DRM::filterForDoc{3, 0}), 49600);
    EXPECT_THAT(db->calls, IsEmpty());
    EXPECT_THAT(nfs->calls, IsEmpty());
}

TEST_F(DocContract, DocsListsSortedByFolderKeyedById) {
    const std::vector<std::wstring> cols = {L"DocId",
                                            L"DocRepoId",
                                            L"Name",
                                            L"ext",
                                            L"CurrentVersion",
                                            L"CurrentState",
                                            L"CurrentOperatorId",
                                            L"CurrentOperatorName",
                                            L"CreatorId",
                                            L"CreatorName",
                                            L"DocCreateTime",
                                            L"LastOperatorId",
                                            L"LastOperatorName",
                                            L"LastOperateTime",
                                            L"phyUrl"};
    db->OnSelect(
        L"QV_DMDoc",
        MakeRs(cols, {{I(5), I(3), T(L"a"), T(L"prt"), T(L"1.0"), I(0), I(0), T(L""), I(1),
                       T(L"sys"), DBValue(45000.0), I(1), T(L"sys"), DBValue(45002.0), T(L"")},
                      {I(9), I(3), T(L"b"), T(L"drw"), T(L"2.1"), I(1), I(4), T(L"eve"), I(2),
                       T(L"x"), DBValue(1.5), I(3), T(L"y"), DBValue(2.5), T(L"\\s")}}));
    db->OnSelect(L"QV_DMDoc", MakeRs(cols, {}));
    DRM::Docs docs;
    docs.Connect(L"rec:", 0, L"QVData", L"tok");
    ASSERT_EQ(docs.GetAll(DRM::filterForDoc{3, 77}), 0);
    EXPECT_THAT(DbLines(),
                ElementsAre(L"SelectRows QV_DMDoc (DocId,DocRepoId,Name,ext,CurrentVersion,"
                            L"CurrentState,\t\t\t\t\t  CurrentOperatorId,CurrentOperatorName,"
                            L"CreatorId,CreatorName,\t\t\t\t\t  DocCreateTime,LastOperatorId,"
                            L"LastOperatorName,LastOperateTime,phyUrl) where 0:DocRepoId=3 "
                            L"order by phyurl asc"));
    ASSERT_EQ(docs.Count(), 2);
    DRM::Doc* b = docs.GetDoc(L"9");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b, docs.GetDoc(1));
    EXPECT_EQ(b->fileName(), L"b");
    EXPECT_EQ(b->ext(), L"drw");
    EXPECT_EQ(b->currentVersion(), L"2.1");
    EXPECT_EQ(b->state(), 1);
    EXPECT_EQ(b->checkOutById(), 4);
    EXPECT_EQ(b->checkOutByName(), L"eve");
    EXPECT_EQ(b->creById(), 2);
    EXPECT_EQ(b->creByName(), L"x");
    EXPECT_DOUBLE_EQ(b->creTime(), 1.5);
    EXPECT_EQ(b->lstUptById(), 3);
    EXPECT_EQ(b->lstUptByName(), L"y");
    EXPECT_DOUBLE_EQ(b->lstUptTime(), 2.5);
    EXPECT_EQ(b->phyUrl(), L"\\s");
    EXPECT_FALSE(b->IsConnected());

    // A second listing appends; an empty one still succeeds.
    EXPECT_EQ(docs.GetAll(DRM::filterForDoc{3, 0}), 0);
    EXPECT_EQ(docs.Count(), 2);
}

TEST(DocObject, ConstructorsAndCopies) {
    DRM::Doc empty;
    EXPECT_EQ(empty.id(), 0);
    EXPECT_EQ(empty.GetKey(), L"");
    EXPECT_EQ(empty.currentVersion(), L"");

    DRM::Doc full(12, 3, L"a", L"prt", L"1.4", 1, 7, L"bob", 5, L"carl", 1.0, 6, L"dan", 2.0,
                  L"\\s");
    EXPECT_EQ(full.GetKey(), L"12");
    EXPECT_EQ(full.modifyInfo(), L"");
    EXPECT_EQ(full.caxDocType(), 0);
    full.set_modifyInfo(L"m");
    DRM::Doc copy(full);
    EXPECT_EQ(copy.GetKey(), L"12");
    EXPECT_EQ(copy.modifyInfo(), L"m");
    EXPECT_EQ(copy.lstUptByName(), L"dan");
    empty = full;
    EXPECT_EQ(empty.phyUrl(), L"\\s");
}

TEST_F(DocContract, ExceptionsInsideAddAndInTheListing) {
    // Add's boundary records an exception of its numbering; nothing is
    // uploaded.
    ThrowingAccessor::Register(L"QV_DM");
    QueueRepo();
    DRM::Doc doc = MakeDoc();
    doc.Connect(L"recthrow:", 0, L"QVData", L"tok");
    doc.set_currentVersion(L"kept");
    EXPECT_EQ(doc.Add(L"/tmp/a.prt"), -1);
    EXPECT_EQ(doc.ErrDesc(), L"boom\n");
    EXPECT_EQ(doc.currentVersion(), L"kept");
    EXPECT_FALSE(AnyDbOp(L"InsertRow"));
    EXPECT_THAT(NfsLines(), IsEmpty());

    // The listing has no boundary: the exception reaches its caller.
    DRM::Docs docs;
    docs.Connect(L"recthrow:", 0, L"QVData", L"tok");
    EXPECT_THROW(docs.GetAll(DRM::filterForDoc{3, 0}), std::runtime_error);
    EXPECT_EQ(docs.ErrNumber(), 0);
}

}  // namespace

namespace {

// A file server that serves only after a login with the store's password:
// every operation logs in first, and to the repository's own server.
TEST_F(DocContract, EveryOperationLogsInToTheRepositorysFileServerFirst) {
    const struct {
        const char* what;
        std::function<int(DocContract&)> op;
        const wchar_t* server;
    } cases[] = {
        {"view", [](DocContract& t) { return t.MakeDoc().View(L"/tmp/v"); }, L"recfs:"},
        {"history", [](DocContract& t) { return t.MakeDoc().GetHistory(L"1.2", L"/tmp/h"); },
         L"recfs:"},
        {"baseline download",
         [](DocContract&) {
             DRM::BaseLine b;
             b.Connect(L"rec:", 0, L"QVData", L"tok");
             b.set_docRepoId(3);
             b.set_name(L"rel1");
             return b.DownLoad(L"/tmp/b");
         },
         L"recfs:"},
        {"repository delete",
         [](DocContract&) {
             DRM::DocRepo repo;
             repo.Connect(L"rec:", 0, L"QVData", L"tok");
             repo.set_id(3);
             repo.set_nfsServer(L"recfs:other");
             repo.set_nfsRootDir(L"D:\\repo1");
             return repo.Delete();
         },
         L"recfs:other"},
    };
    for (const auto& c : cases) {
        for (const wchar_t* password : {L"pw", L"wrong"}) {
            SCOPED_TRACE(std::string(c.what) + (password[0] == L'p' ? " accepted" : " refused"));
            SetUp();
            QueueRepo();
            nfs->requireLogin = true;
            nfs->password = password;
            const int rc = c.op(*this);
            EXPECT_THAT(nfs->logins, ElementsAre(c.server));
            if (password[0] == L'p')
                EXPECT_EQ(rc, 0);
            else
                EXPECT_EQ(rc, 50006);  // the refused login shows in the next operation
        }
    }
}

}  // namespace

}  // namespace zub::docvault::test
