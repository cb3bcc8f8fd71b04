// Documents, their history and baselines end to end on the embedded store and
// the local file server, on PostgreSQL and the local file server, and on
// PostgreSQL and a WebDAV server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "docvault/baseline.h"
#include "docvault/baselines.h"
#include "docvault/doc.h"
#include "docvault/dochistory.h"
#include "docvault/dochistorys.h"
#include "docvault/docs.h"
#include "docvault/errors.h"
#include "docvault/repocheck.h"
#include "embedded_store_fixture.h"
#include "pgconnection.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;

class DocLifeCycle : public EmbeddedStoreFixture, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        backend_ = GetParam();
        EmbeddedStoreFixture::SetUp();
    }

    template <class T>
    void Open(T& obj) {
        ASSERT_EQ(obj.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
    }

    // A connected document <name>.prt of the test's repository, to be added
    // by user 1 ("system").
    void NewDoc(DRM::Doc& doc, const std::wstring& name) {
        Open(doc);
        doc.set_docRepoId(repoId_);
        doc.set_fileName(name);
        doc.set_ext(L"prt");
        doc.set_creById(1);
    }

    // Adds <name>.prt with `content` below `folder` as user 1 ("system").
    int AddDoc(const std::wstring& name, const std::string& content,
               const std::wstring& folder = L"") {
        DRM::Doc doc;
        NewDoc(doc, name);
        doc.set_phyUrl(folder);
        doc.set_caxDocType(3);
        const std::string local = "in/" + std::string(name.begin(), name.end()) + ".prt";
        EXPECT_EQ(doc.Add(WriteLocal(local, content).wstring()), 0) << doc.ErrNumber();
        return doc.id();
    }

    DRM::Doc ReadDoc(int id) {
        DRM::Doc doc;
        Open(doc);
        EXPECT_EQ(doc.Read(id), 0);
        return doc;
    }

    int CheckIn(int id, const std::string& content, const std::wstring& rcId,
                const std::wstring& info) {
        DRM::Doc doc = ReadDoc(id);
        doc.set_checkOutById(1);
        doc.set_checkOutByName(L"system");
        doc.set_modifyInfo(info);
        // Only the holder may check in.
        if (int rc = doc.CheckOut(LocalDir("co").wstring())) return rc;
        return doc.CheckIn(WriteLocal("ci/" + doc_name(doc), content).wstring(), rcId);
    }

    // A statement of the store that fails on purpose: `event` is "UPDATE" or
    // "DELETE", and the trigger is called after the table.
    void Block(const std::wstring& event, const std::wstring& table) {
        if (OnPostgres()) {
            Sql(L"CREATE OR REPLACE FUNCTION block_row() RETURNS trigger LANGUAGE plpgsql AS "
                L"'BEGIN RAISE EXCEPTION ''blocked''; END'");
            Sql(L"CREATE TRIGGER block_" + table + L" BEFORE " + event + L" ON " + table +
                L" FOR EACH ROW EXECUTE FUNCTION block_row()");
            return;
        }
        Sql(L"CREATE TRIGGER block_" + table + L" BEFORE " + event + L" ON " + table +
            L" BEGIN SELECT RAISE(ABORT, 'blocked'); END");
    }
    void Unblock(const std::wstring& table) {
        Sql(L"DROP TRIGGER block_" + table + (OnPostgres() ? L" ON " + table : std::wstring()));
    }
    void Sql(const std::wstring& text) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ASSERT_EQ(raw_->ExecuteSql(rs, text, ZUBDB::QVParams(false), L"", 0, 0), 0)
            << zub::WideToUtf8(raw_->errDescription());
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }

    static std::string doc_name(const DRM::Doc& doc) {
        const std::wstring n = doc.fileName() + L"." + doc.ext();
        return std::string(n.begin(), n.end());
    }
};

TEST_P(DocLifeCycle, AddReadCheckOutCheckInViewAndOlderVersions) {
    const int id = AddDoc(L"gear", "v1", L"\\parts");
    ASSERT_GT(id, 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/parts/gear.prt")), "v1");

    DRM::Doc doc = ReadDoc(id);
    EXPECT_EQ(doc.fileName(), L"gear");
    EXPECT_EQ(doc.ext(), L"prt");
    EXPECT_EQ(doc.phyUrl(), L"\\parts");
    EXPECT_EQ(doc.currentVersion(), L"1.0");  // the store's default strategy
    EXPECT_EQ(doc.state(), 0);
    EXPECT_EQ(doc.creById(), 1);
    EXPECT_EQ(doc.creByName(), L"system");
    EXPECT_EQ(doc.lstUptByName(), L"system");
    EXPECT_EQ(doc.caxDocType(), 3);
    EXPECT_GT(doc.creTime(), 40000.0);  // server time as an automation date

    // Check out into a local folder.
    doc.set_checkOutById(1);
    doc.set_checkOutByName(L"system");
    const auto work = LocalDir("work");
    ASSERT_EQ(doc.CheckOut(work.wstring()), 0) << doc.ErrNumber();
    EXPECT_EQ(ReadFile(work / "gear.prt"), "v1");
    EXPECT_EQ(doc.getState(id), 1);
    EXPECT_EQ(ReadDoc(id).checkOutByName(), L"system");

    // Check in with a CAD form, then without.
    ASSERT_EQ(CheckIn(id, "v2", L"RC-1", L"first change"), 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/parts/gear.prt")), "v2");
    EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1.0.prt")), "v1");
    DRM::Doc after = ReadDoc(id);
    EXPECT_EQ(after.currentVersion(), L"1.1");
    EXPECT_EQ(after.state(), 0);
    EXPECT_EQ(after.checkOutById(), 0);
    EXPECT_EQ(after.checkOutByName(), L"");
    EXPECT_EQ(after.lstUptById(), 1);
    EXPECT_EQ(after.GetRevision(), 1);

    ASSERT_EQ(CheckIn(id, "v3", L"", L"second change"), 0);
    EXPECT_EQ(ReadDoc(id).currentVersion(), L"1.2");
    EXPECT_EQ(ReadDoc(id).GetRevision(), 2);
    EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1.1.prt")), "v2");

    // One form row, carrying the revision of its history row.
    auto forms = Query(L"QV_CaxForm", L"rcId,revision,DocId,CaxDocType");
    ASSERT_EQ(forms->GetRecordCount(), 1);
    EXPECT_EQ(forms->GetStringAt(0), L"RC-1");
    EXPECT_EQ(forms->GetIntAt(1), 1);
    EXPECT_EQ(forms->GetIntAt(2), id);
    EXPECT_EQ(forms->GetIntAt(3), 1);

    // View, and the saved versions under the current name.
    DRM::Doc viewer = ReadDoc(id);
    const auto seen = LocalDir("view");
    ASSERT_EQ(viewer.View(seen.wstring()), 0);
    EXPECT_EQ(ReadFile(seen / "gear.prt"), "v3");
    const auto old1 = LocalDir("old1");
    ASSERT_EQ(viewer.GetHistory(L"1.0", old1.wstring()), 0);
    EXPECT_EQ(ReadFile(old1 / "gear.prt"), "v1");
    const auto old2 = LocalDir("old2");
    ASSERT_EQ(viewer.GetHistory(L"1.1", old2.wstring()), 0);
    EXPECT_EQ(ReadFile(old2 / "gear.prt"), "v2");
    EXPECT_EQ(viewer.GetHistory(L"9.9", old2.wstring()), NFS::NFS_E_NOT_FOUND);

    // The history, newest first.
    DRM::DocHistorys list;
    Open(list);
    ASSERT_EQ(list.GetAll(DRM::filterForDocHistory{id, 0}), 0);
    ASSERT_EQ(list.Count(), 2);
    DRM::DocHistory* newest = list.History(0);
    EXPECT_EQ(newest->reVersion(), 2);
    EXPECT_EQ(newest->hisDocName(), std::to_wstring(id) + L"_1.1.prt");
    EXPECT_EQ(newest->operateInfo(), L"second change");
    EXPECT_EQ(newest->operatorName(), L"system");
    EXPECT_EQ(newest->action(), 1);
    EXPECT_EQ(newest->phyUrl(), L"\\history\\");
    EXPECT_GT(newest->operatorTime(), 40000.0);
    EXPECT_EQ(list.History(1)->reVersion(), 1);

    DRM::DocHistory first;
    Open(first);
    ASSERT_EQ(first.Read(list.History(1)->id()), 0);
    EXPECT_EQ(first.docId(), id);
    EXPECT_EQ(first.hisDocName(), std::to_wstring(id) + L"_1.0.prt");
    EXPECT_EQ(first.version_Main(), 1);
    EXPECT_EQ(first.version_Sub(), 0);
    EXPECT_EQ(first.operateInfo(), L"first change");
}

TEST_P(DocLifeCycle, HistoryNamesOfDocumentTwelve) {
    // Make the next document id 12.
    AddDoc(L"seed", "x");
    {
        if (OnPostgres()) {
            Sql(L"select setval(pg_get_serial_sequence('qv_dmdoc', 'docid'), 11)");
        } else {
            ZUBDB::QVParams v(false);
            v.AddParam(0, L"seq", 11, false, L"=");
            ZUBDB::QVParams c(false);
            c.AddParam(0, L"name", std::wstring(L"QV_DMDoc"), false, false, L"=");
            ASSERT_EQ(raw_->UpdateRows(L"sqlite_sequence", v, c, L"", L""), 0);
            ASSERT_EQ(raw_->CommitTrans(), 0);
        }
    }
    const int id = AddDoc(L"bolt", "1.4 content");
    ASSERT_EQ(id, 12);
    {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"CurrentVersion", std::wstring(L"1.4"), false, false, L"=");
        ZUBDB::QVParams c(false);
        c.AddParam(0, L"DocId", 12, false, L"=");
        ASSERT_EQ(raw_->UpdateRows(L"QV_DMDoc", v, c, L"", L""), 0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
    ASSERT_EQ(CheckIn(12, "1.5 content", L"", L""), 0);
    EXPECT_EQ(ReadFile(OnServer("history/12_1.4.prt")), "1.4 content");
    // The revision and the operator's name are filled in by the insert itself.
    auto row = Query(L"QV_DMDocVer",
                     L"DocName,Version_Main,Version_Sub,Revision,Action,PhyUrl,OperatorName",
                     L"DocId", 12);
    ASSERT_EQ(row->GetRecordCount(), 1);
    EXPECT_EQ(row->GetStringAt(0), L"12_1.4.prt");
    EXPECT_EQ(row->GetIntAt(1), 1);
    EXPECT_EQ(row->GetIntAt(2), 4);
    EXPECT_EQ(row->GetIntAt(3), 1);
    EXPECT_EQ(row->GetIntAt(4), 1);
    EXPECT_EQ(row->GetStringAt(5), L"\\history\\");
    EXPECT_EQ(row->GetStringAt(6), L"system");

    // A whole-number version: the file is 12_2.prt, the row says 12_2.2.prt.
    Exec(L"QV_DMVerStrategy", L"SeriaNumStra", 1, L"VersionStraId", 1);
    {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"CurrentVersion", std::wstring(L"2"), false, false, L"=");
        ZUBDB::QVParams c(false);
        c.AddParam(0, L"DocId", 12, false, L"=");
        ASSERT_EQ(raw_->UpdateRows(L"QV_DMDoc", v, c, L"", L""), 0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
    ASSERT_EQ(CheckIn(12, "3 content", L"", L""), 0);
    EXPECT_EQ(ReadFile(OnServer("history/12_2.prt")), "1.5 content");
    auto rows = Query(L"QV_DMDocVer", L"DocName,Version_Main,Version_Sub,Revision", L"DocId", 12,
                      L"Revision desc");
    ASSERT_EQ(rows->GetRecordCount(), 2);
    EXPECT_EQ(rows->GetStringAt(0), L"12_2.2.prt");
    EXPECT_EQ(rows->GetIntAt(1), 2);
    EXPECT_EQ(rows->GetIntAt(2), 2);
    EXPECT_EQ(rows->GetIntAt(3), 2);
    EXPECT_EQ(ReadDoc(12).currentVersion(), L"3");
}

TEST_P(DocLifeCycle, ACheckInWhoseUploadBreaksOffKeepsTheCurrentFile) {
    const int id = AddDoc(L"big", std::string(3u << 20, 'a'));
    // The upload fails after its first chunk has been written; the history
    // copy before it goes through.
    NFS::CNFS_Cmd::Instance()->SetOperationProgress(
        [](std::wstring_view operation, std::uint64_t done, std::uint64_t) {
            if (operation == L"upload" && done > 0) throw std::runtime_error("connection lost");
        });
    auto stopProgress = [](NFS::CNFS_Cmd* cmd) { cmd->SetOperationProgress({}); };
    std::unique_ptr<NFS::CNFS_Cmd, decltype(stopProgress)> guard(NFS::CNFS_Cmd::Instance(),
                                                                 stopProgress);
    EXPECT_NE(CheckIn(id, std::string(3u << 20, 'b'), L"", L""), 0);
    guard.reset();

    EXPECT_EQ(ReadFile(OnServer("trunk/big.prt")), std::string(3u << 20, 'a'));
    const std::set<std::string> trunk = NamesOnServer("trunk");
    EXPECT_THAT(trunk, ElementsAre("big.prt"));  // no partial file left beside it
    // Nothing was saved or advanced: the holder still holds version 1.0.
    const std::set<std::string> history = NamesOnServer("history");
    EXPECT_THAT(history, ::testing::IsEmpty());
    DRM::Doc doc = ReadDoc(id);
    EXPECT_EQ(doc.state(), 1);
    EXPECT_EQ(doc.currentVersion(), L"1.0");
    EXPECT_EQ(doc.checkOutById(), 1);
    EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", id), 0);
}

TEST_P(DocLifeCycle, RenameDeleteAndListing) {
    const int a = AddDoc(L"a", "A", L"\\z");
    const int b = AddDoc(L"b", "B");
    const int c = AddDoc(L"c", "C", L"\\m");
    ASSERT_EQ(CheckIn(b, "B2", L"", L""), 0);

    DRM::Docs docs;
    Open(docs);
    ASSERT_EQ(docs.GetAll(DRM::filterForDoc{repoId_, 0}), 0);
    ASSERT_EQ(docs.Count(), 3);
    EXPECT_EQ(docs.GetDoc(0)->id(), b);  // sorted by phyUrl: "", "\m", "\z"
    EXPECT_EQ(docs.GetDoc(1)->id(), c);
    EXPECT_EQ(docs.GetDoc(2)->id(), a);
    ASSERT_NE(docs.GetDoc(std::to_wstring(c)), nullptr);
    EXPECT_EQ(docs.GetDoc(std::to_wstring(c))->phyUrl(), L"\\m");
    EXPECT_EQ(docs.GetDoc(std::to_wstring(b))->currentVersion(), L"1.1");

    DRM::Docs none;
    Open(none);
    EXPECT_EQ(none.GetAll(DRM::filterForDoc{repoId_ + 50, 0}), 0);
    EXPECT_EQ(none.Count(), 0);

    // Rename, with and without an extension in the new name.
    DRM::Doc doc = ReadDoc(c);
    ASSERT_EQ(doc.ReName(L"bracket.left.prt"), 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/m/bracket.left.prt")), "C");
    EXPECT_FALSE(fs::exists(OnServer("trunk/m/c.prt")));
    EXPECT_EQ(ReadDoc(c).fileName(), L"bracket.left");
    EXPECT_EQ(ReadDoc(c).ext(), L"prt");
    DRM::Doc renamed = ReadDoc(c);
    ASSERT_EQ(renamed.ReName(L"bracket"), 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/m/bracket.prt")), "C");
    EXPECT_EQ(ReadDoc(c).fileName(), L"bracket");
    EXPECT_EQ(ReadDoc(c).ext(), L"prt");
    // Onto another document's name: refused, nothing changes.
    const int d = AddDoc(L"d", "D", L"\\m");
    DRM::Doc clash = ReadDoc(c);
    EXPECT_EQ(clash.ReName(L"d.prt"), DRM::Err::kDocExists);
    EXPECT_EQ(ReadFile(OnServer("trunk/m/d.prt")), "D");
    EXPECT_EQ(ReadFile(OnServer("trunk/m/bracket.prt")), "C");
    EXPECT_EQ(ReadDoc(c).fileName(), L"bracket");
    EXPECT_EQ(ReadDoc(d).fileName(), L"d");

    // Delete keeps the history rows and saved files.
    DRM::Doc gone = ReadDoc(b);
    ASSERT_EQ(gone.Delete(), 0);
    EXPECT_FALSE(fs::exists(OnServer("trunk/b.prt")));
    EXPECT_EQ(Count(L"QV_DMDoc", L"DocId", b), 0);
    EXPECT_EQ(Count(L"QV_DMDocVer", L"DocId", b), 1);
    EXPECT_TRUE(fs::exists(OnServer("history/" + std::to_string(b) + "_1.0.prt")));
}

TEST_P(DocLifeCycle, ARenameTheStoreRefusesLeavesFileAndRowAgreeing) {
    const int id = AddDoc(L"gear", "G", L"\\p");
    Block(L"UPDATE", L"QV_DMDoc");
    DRM::Doc doc = ReadDoc(id);
    EXPECT_NE(doc.ReName(L"wheel.prt"), 0);
    EXPECT_NE(doc.ErrDesc().find(L"blocked"), std::wstring::npos);
    EXPECT_EQ(ReadFile(OnServer("trunk/p/gear.prt")), "G");
    EXPECT_FALSE(fs::exists(OnServer("trunk/p/wheel.prt")));
    EXPECT_EQ(ReadDoc(id).fileName(), L"gear");

    // So the same rename works once the store takes it.
    Unblock(L"QV_DMDoc");
    DRM::Doc again = ReadDoc(id);
    ASSERT_EQ(again.ReName(L"wheel.prt"), 0);
    EXPECT_EQ(ReadFile(OnServer("trunk/p/wheel.prt")), "G");
    EXPECT_EQ(ReadDoc(id).fileName(), L"wheel");
}

TEST_P(DocLifeCycle, EdgeCasesThatMustNotLoseData) {
    const int id = AddDoc(L"part", "original");

    {
        SCOPED_TRACE("adding the same name again");
        DRM::Doc dup;
        NewDoc(dup, L"part");
        EXPECT_EQ(dup.Add(WriteLocal("other.prt", "intruder").wstring()), DRM::Err::kDocExists);
        EXPECT_EQ(ReadFile(OnServer("trunk/part.prt")), "original");
        EXPECT_EQ(Count(L"QV_DMDoc"), 1);
    }
    {
        SCOPED_TRACE("reading a missing id");
        DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(doc.Read(4711), 49501);
        EXPECT_EQ(doc.ErrDesc(), L"文档号 4711 不存在");
        EXPECT_EQ(doc.id(), id);
        EXPECT_EQ(doc.fileName(), L"part");
    }
    {
        SCOPED_TRACE("deleting a document whose file is gone");
        fs::remove(OnServer("trunk/part.prt"));
        DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(doc.Delete(), NFS::NFS_E_NOT_FOUND);
        EXPECT_EQ(Count(L"QV_DMDoc", L"DocId", id), 1);
    }
    {
        SCOPED_TRACE("a document of a repository that no longer exists");
        DRM::Doc doc = ReadDoc(id);
        doc.set_docRepoId(repoId_ + 99);
        EXPECT_EQ(doc.View(LocalDir("nowhere").wstring()), 49609);
    }
    {
        SCOPED_TRACE("state and revision of unknown documents");
        DRM::Doc doc = ReadDoc(id);
        EXPECT_EQ(doc.getState(4711), 49602);
        EXPECT_EQ(doc.GetRevision(), 49603);
        DRM::DocHistorys list;
        Open(list);
        EXPECT_EQ(list.GetAll(DRM::filterForDocHistory{id, 0}), 49608);
        DRM::DocHistory h;
        Open(h);
        EXPECT_EQ(h.Read(4711), 49607);
    }
}

TEST_P(DocLifeCycle, NewDocumentsContinueFromTheHighestVersion) {
    Exec(L"QV_DMVerStrategy", L"NewDocBeginNum", 1, L"VersionStraId", 1);
    const int a = AddDoc(L"a", "a");
    EXPECT_EQ(ReadDoc(a).currentVersion(), L"0.0");  // empty repository
    ASSERT_EQ(CheckIn(a, "a2", L"", L""), 0);        // 0.0 -> 0.1
    ASSERT_EQ(CheckIn(a, "a3", L"", L""), 0);        // 0.1 -> 0.2
    {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"CurrentVersion", std::wstring(L"3.4"), false, false, L"=");
        ZUBDB::QVParams c(false);
        c.AddParam(0, L"DocId", a, false, L"=");
        ASSERT_EQ(raw_->UpdateRows(L"QV_DMDoc", v, c, L"", L""), 0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }
    const int b = AddDoc(L"b", "b");
    const std::wstring started = ReadDoc(b).currentVersion();
    EXPECT_EQ(started, L"3.0");
    ASSERT_EQ(CheckIn(b, "b2", L"", L""), 0);
    EXPECT_EQ(ReadDoc(b).currentVersion(), L"3.1");

    Exec(L"QV_DMVerStrategy", L"SeriaNumStra", 1, L"VersionStraId", 1);
    const int c = AddDoc(L"c", "c");
    EXPECT_EQ(ReadDoc(c).currentVersion(), L"3");
}

class BaseLineLifeCycle : public DocLifeCycle {};

TEST_P(BaseLineLifeCycle, CreateDownloadListAndDelete) {
    AddDoc(L"a", "A");
    const int b = AddDoc(L"b", "B", L"\\sub");

    DRM::BaseLine rel;
    Open(rel);
    rel.set_docRepoId(repoId_);
    rel.set_name(L"rel1");
    rel.set_desc(L"first release");
    ASSERT_EQ(rel.Create(), 0) << rel.ErrNumber();
    EXPECT_GT(rel.id(), 0);
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/a.prt")), "A");
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/sub/b.prt")), "B");
    EXPECT_FALSE(fs::exists(OnServer("baseline/trunk")));
    auto row = Query(L"QV_DMBaseline", L"DocRepoId,name,BaseLineInfo,BaseLineCreateTime",
                     L"BaseLineId", rel.id());
    ASSERT_EQ(row->GetRecordCount(), 1);
    EXPECT_EQ(row->GetIntAt(0), repoId_);
    EXPECT_EQ(row->GetStringAt(1), L"rel1");
    EXPECT_EQ(row->GetStringAt(2), L"first release");
    EXPECT_GT(row->GetDoubleAt(3), 40000.0);

    // A later check-in changes only the trunk.
    ASSERT_EQ(CheckIn(b, "B2", L"", L""), 0);
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/sub/b.prt")), "B");

    const auto out = LocalDir("bl");
    ASSERT_EQ(rel.DownLoad(out.wstring()), 0);
    EXPECT_EQ(ReadFile(out / "a.prt"), "A");
    EXPECT_EQ(ReadFile(out / "sub" / "b.prt"), "B");

    // The same name again fails and leaves neither a staged copy nor a row.
    DRM::BaseLine again;
    Open(again);
    again.set_docRepoId(repoId_);
    again.set_name(L"rel1");
    EXPECT_EQ(again.Create(), DRM::Err::kNameTaken);
    const std::set<std::string> folders = NamesOnServer("baseline");
    EXPECT_THAT(folders, ElementsAre("rel1"));
    EXPECT_EQ(ReadFile(OnServer("baseline/rel1/sub/b.prt")), "B");
    EXPECT_EQ(Count(L"QV_DMBaseline"), 1);

    // So a further baseline can still be made.
    DRM::BaseLine rel2;
    Open(rel2);
    rel2.set_docRepoId(repoId_);
    rel2.set_name(L"rel2");
    ASSERT_EQ(rel2.Create(), 0);
    EXPECT_EQ(ReadFile(OnServer("baseline/rel2/sub/b.prt")), "B2");

    DRM::BaseLines list;
    Open(list);
    ASSERT_EQ(list.GetAll(DRM::filterForBaseLine{repoId_}), 0);
    ASSERT_EQ(list.Count(), 2);
    std::set<std::wstring> names{list.GetBaseLine(0)->name(), list.GetBaseLine(1)->name()};
    EXPECT_THAT(names, ElementsAre(L"rel1", L"rel2"));

    // Delete with a wrong repository removes nothing.
    DRM::BaseLine wrong = rel;
    wrong.set_docRepoId(repoId_ + 99);
    EXPECT_EQ(wrong.Delete(), 49609);
    EXPECT_EQ(wrong.ErrDesc(), L"DocRepoId  无效");
    EXPECT_TRUE(fs::exists(OnServer("baseline/rel1/a.prt")));
    EXPECT_EQ(Count(L"QV_DMBaseline"), 2);

    ASSERT_EQ(rel.Delete(), 0);
    EXPECT_FALSE(fs::exists(OnServer("baseline/rel1")));
    EXPECT_TRUE(fs::exists(OnServer("baseline/rel2")));
    EXPECT_EQ(Count(L"QV_DMBaseline", L"BaseLineId", rel.id()), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline"), 1);
}

TEST_P(BaseLineLifeCycle, ADeleteWhoseRowFailedCanBeFinishedLater) {
    AddDoc(L"a", "A");
    DRM::BaseLine rel;
    Open(rel);
    rel.set_docRepoId(repoId_);
    rel.set_name(L"rel1");
    ASSERT_EQ(rel.Create(), 0);
    DRM::BaseLine keep;
    Open(keep);
    keep.set_docRepoId(repoId_);
    keep.set_name(L"rel2");
    ASSERT_EQ(keep.Create(), 0);

    Block(L"DELETE", L"QV_DMBaseline");
    EXPECT_NE(rel.Delete(), 0);
    EXPECT_FALSE(fs::exists(OnServer("baseline/rel1")));
    EXPECT_EQ(Count(L"QV_DMBaseline", L"BaseLineId", rel.id()), 1);

    Unblock(L"QV_DMBaseline");
    // Another baseline of the repository whose folder is gone is not this row.
    DRM::BaseLine stranger = keep;
    stranger.set_name(L"rel1");
    EXPECT_EQ(stranger.Delete(), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(Count(L"QV_DMBaseline", L"BaseLineId", keep.id()), 1);

    DRM::BaseLine again = rel;
    EXPECT_EQ(again.Delete(), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline", L"BaseLineId", rel.id()), 0);
    EXPECT_EQ(Count(L"QV_DMBaseline"), 1);
    EXPECT_TRUE(fs::exists(OnServer("baseline/rel2/a.prt")));
}

TEST_P(BaseLineLifeCycle, ARepositoryWithoutBaselinesListsNone) {
    const int other = MakeRepo(L"r2", L"D:\\repo2");
    DRM::BaseLines list;
    Open(list);
    EXPECT_EQ(list.GetAll(DRM::filterForBaseLine{other}), 0);
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace

namespace {

// The recorded sums tell an unchanged check-in from a change; refused, it
// leaves the document held at its version with nothing staged.
TEST_P(DocLifeCycle, ACheckInOfTheSameContentIsRefusedUnlessAllowed) {
    const int id = AddDoc(L"same", "v1");
    const struct {
        const char* content;
        bool allow;
        int status;
        const wchar_t* version;
        bool setFlag;
    } rows[] = {{"v1", false, DRM::Err::kUnchanged, L"1.0", true},
                {"v1", false, 0, L"1.1", false},  // the library's own default
                {"v1", true, 0, L"1.2", true},
                {"v2", false, 0, L"1.3", true},
                {"v2", false, DRM::Err::kUnchanged, L"1.3", true}};
    for (const auto& r : rows) {
        DRM::Doc doc = ReadDoc(id);
        doc.set_checkOutById(1);
        doc.set_checkOutByName(L"system");
        ASSERT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0);
        if (r.setFlag) doc.set_allowUnchanged(r.allow);
        EXPECT_EQ(doc.CheckIn(WriteLocal("ci/same.prt", r.content).wstring()), r.status)
            << r.content;
        const DRM::Doc now = ReadDoc(id);
        EXPECT_EQ(now.currentVersion(), r.version) << r.content;
        EXPECT_EQ(now.state(), r.status == 0 ? 0 : 1) << r.content;
        if (r.status == 0) continue;
        EXPECT_NE(zub::WideToUtf8(doc.ErrDesc()).find(zub::WideToUtf8(r.version)),
                  std::string::npos);
        ASSERT_EQ(doc.EndCheckOut(), 0);
    }
    EXPECT_EQ(ReadFile(OnServer("trunk/same.prt")), "v2");
}

}  // namespace

namespace {

// A move keeps the id, the version and the saved versions; the row and the
// file change place together, and a taken or invalid place changes nothing.
TEST_P(DocLifeCycle, AMoveKeepsTheDocumentItsIdAndItsHistory) {
    const int id = AddDoc(L"frame", "v1", L"\\parts");
    ASSERT_EQ(CheckIn(id, "v2", L"", L"second"), 0);
    AddDoc(L"frame", "other", L"\\asm");
    const struct {
        const wchar_t* folder;
        int status;
        const wchar_t* after;  // the document's folder afterwards
    } rows[] = {{L"\\asm", DRM::Err::kDocExists, L"\\parts"},
                {L"\\..\\x", DRM::Err::kInvalidName, L"\\parts"},
                {L"\\frame\\部件", 0, L"\\frame\\部件"},
                {L"", 0, L""}};
    for (const auto& r : rows) {
        DRM::Doc doc = ReadDoc(id);
        doc.set_checkOutById(1);
        EXPECT_EQ(doc.Move(r.folder), r.status) << zub::WideToUtf8(r.folder);
        const DRM::Doc now = ReadDoc(id);
        EXPECT_EQ(now.phyUrl(), r.after);
        EXPECT_EQ(now.currentVersion(), L"1.1");
    }
    EXPECT_EQ(ReadFile(OnServer("trunk/frame.prt")), "v2");
    EXPECT_FALSE(std::filesystem::exists(OnServer("trunk/parts/frame.prt")));
    EXPECT_FALSE(std::filesystem::exists(OnServer("trunk/frame/部件/frame.prt")));
    DRM::Doc doc = ReadDoc(id);
    ASSERT_EQ(doc.GetHistory(L"1.0", LocalDir("old").wstring()), 0) << doc.ErrNumber();
    EXPECT_EQ(ReadFile(LocalDir("old") / "frame.prt"), "v1");
    auto moves = Query(L"ZUB_AuditTrail", L"Action,phyUrl,Detail");
    ASSERT_EQ(moves->GetRecordCount(), 2);
    EXPECT_EQ(moves->GetStringAt(0), L"move");
    EXPECT_EQ(moves->GetStringAt(1), L"\\frame\\部件");
    EXPECT_EQ(moves->GetStringAt(2), L"\\parts");
}

// What only a walk of the repository's folders finds, planted through the
// file server so that every store gets the same: found, then repaired where
// that is safe, and a user's file or a document's file never removed.
TEST_P(DocLifeCycle, VerifyFindsWhatTheFoldersHoldAndRepairsOnlyDebris) {
    using Kind = DRM::RepoFinding::Kind;
    const int id = AddDoc(L"kept", "K");
    ASSERT_EQ(CheckIn(id, "K2", L"", L""), 0);
    struct Plant {
        const char* what;
        bool folder;
        std::wstring path;  // below the repository
        std::string onDisk;
        Kind kind;
        bool repaired;
    };
    const std::vector<Plant> plants = {
        {"a file no document owns", false, L"\\trunk\\sub\\loose.prt", "trunk/sub/loose.prt",
         Kind::UntrackedTrunkFile, false},
        {"an interrupted rename's copy", false, L"\\history\\.zub-stage-00000000000000ff",
         "history/.zub-stage-00000000000000ff", Kind::StagingDebris, true},
        {"an interrupted baseline's folder", true, L"\\baseline\\.zub-stage-00000000000000ee",
         "baseline/.zub-stage-00000000000000ee", Kind::StagingDebris, true},
        {"a folder no baseline owns", true, L"\\baseline\\orphan", "baseline/orphan",
         Kind::BaselineFolderWithoutRow, true},
    };
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    const std::wstring upload = WriteLocal("planted.prt", "planted").wstring();
    for (const Plant& p : plants) {
        const std::wstring path = L"D:\\repo1" + p.path;
        std::uint64_t count = 0;
        ASSERT_EQ(p.folder ? cmd->mk(FileServer(), 0, path, false)
                           : cmd->upload(FileServer(), 0, upload, path, count, false),
                  0)
            << p.what;
    }

    auto examine = [&](bool repair) {
        DRM::RepoCheck check;
        Open(check);
        std::vector<DRM::RepoFinding> found;
        EXPECT_EQ(check.Examine(repoId_, repair, found, 0), 0) << zub::WideToUtf8(check.ErrDesc());
        return found;
    };
    auto findingOf = [](const std::vector<DRM::RepoFinding>& found, const Plant& p) {
        const DRM::RepoFinding* match = nullptr;
        int matches = 0;
        for (const DRM::RepoFinding& f : found)
            if (f.kind == p.kind && f.path.size() >= p.path.size() &&
                f.path.compare(f.path.size() - p.path.size(), p.path.size(), p.path) == 0) {
                match = &f;
                ++matches;
            }
        EXPECT_EQ(matches, 1) << p.what;
        return match;
    };

    const auto reported = examine(false);
    EXPECT_EQ(reported.size(), plants.size());
    for (const auto& f : reported) EXPECT_FALSE(f.repaired) << zub::WideToUtf8(f.text);
    for (const Plant& p : plants) findingOf(reported, p);

    const auto repaired = examine(true);
    EXPECT_EQ(repaired.size(), plants.size());
    for (const Plant& p : plants) {
        SCOPED_TRACE(p.what);
        if (const DRM::RepoFinding* f = findingOf(repaired, p)) {
            EXPECT_EQ(f->repaired, p.repaired);
        }
        EXPECT_EQ(fs::exists(OnServer(p.onDisk)), !p.repaired);
    }
    EXPECT_EQ(ReadFile(OnServer("trunk/kept.prt")), "K2");
    EXPECT_EQ(ReadFile(OnServer("history/" + std::to_string(id) + "_1.0.prt")), "K");
    // What stays is the user's file alone.
    const auto after = examine(false);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].kind, Kind::UntrackedTrunkFile);
}

// An object keeps the staging folder of its last upload for its next one:
// held, so a check in the meantime leaves it alone, and removed with the
// object.
TEST_P(DocLifeCycle, AKeptStagingFolderIsInUseUntilItsObjectGoes) {
    {
        DRM::Doc doc;
        NewDoc(doc, L"first");
        ASSERT_EQ(doc.Add(WriteLocal("in/first.prt", "1").wstring()), 0) << doc.ErrNumber();
        const std::set<std::string> kept = NamesOnServer(".zub-staging");
        ASSERT_EQ(kept.size(), 1u);
        doc.set_fileName(L"second");
        ASSERT_EQ(doc.Add(WriteLocal("in/second.prt", "2").wstring()), 0) << doc.ErrNumber();
        EXPECT_EQ(NamesOnServer(".zub-staging"), kept);

        DRM::RepoCheck check;
        Open(check);
        std::vector<DRM::RepoFinding> found;
        ASSERT_EQ(check.Examine(repoId_, true, found, 0), 0) << zub::WideToUtf8(check.ErrDesc());
        EXPECT_TRUE(found.empty()) << zub::WideToUtf8(found.front().text);
        EXPECT_EQ(NamesOnServer(".zub-staging"), kept);
        EXPECT_EQ(ReadFile(OnServer("trunk/second.prt")), "2");
    }
    EXPECT_TRUE(NamesOnServer(".zub-staging").empty());
}

// A forked child shares its parent's holds: letting go of its copy of an
// object must leave the parent's kept folder where it is.
TEST_P(DocLifeCycle, AForkedChildLeavesItsParentsKeptFolder) {
    // A child closing a server connection would end the parent's too.
    if (backend_ != Backend::Embedded) GTEST_SKIP() << "the embedded store alone forks safely";
    auto doc = std::make_unique<DRM::Doc>();
    NewDoc(*doc, L"parent");
    ASSERT_EQ(doc->Add(WriteLocal("in/parent.prt", "1").wstring()), 0) << doc->ErrNumber();
    const std::set<std::string> kept = NamesOnServer(".zub-staging");
    ASSERT_EQ(kept.size(), 1u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        doc.reset();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(NamesOnServer(".zub-staging"), kept);
    doc->set_fileName(L"after");
    ASSERT_EQ(doc->Add(WriteLocal("in/after.prt", "2").wstring()), 0) << doc->ErrNumber();
    EXPECT_EQ(NamesOnServer(".zub-staging"), kept);
}

// What a server's client waits for: the round trips of an add and a
// check-in, each statement that can go with another sent with it.
TEST_P(DocLifeCycle, AnAddAndACheckInMakeFewRoundTripsToTheServer) {
    if (backend_ != Backend::Server) GTEST_SKIP() << "only the server has round trips";
    const auto trips = [](const std::function<int()>& work, int& rc) {
        const long long before = ZUBDB::PgConnection::Traffic().roundTrips;
        rc = work();
        return ZUBDB::PgConnection::Traffic().roundTrips - before;
    };
    // The process's first use of the file server reads its login once.
    ASSERT_GT(AddDoc(L"first", "w"), 0);
    DRM::Doc doc;
    NewDoc(doc, L"counted");
    int rc = -1;
    // The place, the strategy and the creator's name at once, the insert
    // with its commit, the mark cleared with its commit.
    EXPECT_EQ(trips([&] { return doc.Add(WriteLocal("in/counted.prt", "v1").wstring()); }, rc), 3);
    ASSERT_EQ(rc, 0) << zub::WideToUtf8(doc.ErrDesc());
    doc.set_checkOutById(1);
    doc.set_checkOutByName(L"system");
    doc.set_modifyInfo(L"counted");
    ASSERT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0);
    struct Case {
        const char* name;
        std::wstring rcId;
        long long trips;
    };
    // The place, the row and the strategy at once, the update with its
    // unit's start, the history row (which reads the revision and the
    // operator's name itself) with the commit, the mark cleared with its
    // commit. A form needs the revision first, then takes the commit itself.
    const Case cases[] = {{"without a form", L"", 4}, {"with a form", L"RC-9", 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string content = std::string("new ") + c.name;
        EXPECT_EQ(trips(
                      [&] {
                          return doc.CheckIn(WriteLocal("ci/counted.prt", content).wstring(),
                                             c.rcId);
                      },
                      rc),
                  c.trips);
        ASSERT_EQ(rc, 0) << zub::WideToUtf8(doc.ErrDesc());
        EXPECT_EQ(ReadFile(OnServer("trunk/counted.prt")), content);
        ASSERT_EQ(doc.CheckOut(LocalDir("co").wstring()), 0);
    }
    EXPECT_EQ(ReadDoc(doc.id()).GetRevision(), 2);
    EXPECT_EQ(Query(L"QV_CaxForm", L"rcId")->GetRecordCount(), 1);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Backends, DocLifeCycle,
                         ::testing::Values(Backend::Embedded, Backend::Server,
                                           Backend::ServerWebDav),
                         BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, BaseLineLifeCycle,
                         ::testing::Values(Backend::Embedded, Backend::Server,
                                           Backend::ServerWebDav),
                         BackendName);

}  // namespace zub::docvault::test
