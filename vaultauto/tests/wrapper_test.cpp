// The wrappers driven through their vtables against recording fakes of the
// database component: conversions, the member frame's HRESULTs and error
// records, borrowing from collections and ownership after Add.
#include <gtest/gtest.h>
#include <zub/com/automation.h>
#include <zub/com/comptr.h>
#include <zub/qv_exception.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "cobaseline.h"
#include "cobaselines.h"
#include "codoc.h"
#include "codochistorys.h"
#include "codocrepo.h"
#include "codocrepoauth.h"
#include "codocrepoauths.h"
#include "codocrepos.h"
#include "codocs.h"
#include "coversionstra.h"
#include "dbcore/cdbaccessorcreator.h"
#include "errorrecord.h"
#include "module.h"
#include "recording_db.h"

namespace {

using zub::com::Bstr;
using zub::com::ComPtr;
using zub::vaultauto::test::ErrorRecord;
using zub::vaultauto::test::TakeErrorRecord;

constexpr HRESULT kFailed = MakeHr(0x80040200);

template <class W, class Itf>
ComPtr<Itf> Make(const IID& iid) {
    ComPtr<Itf> p;
    EXPECT_EQ(zub::vaultauto::CreateComObject<W>(nullptr, iid, p.putVoid()), S_OK);
    return p;
}

// The wrapper behind an interface pointer this server handed out.
template <class W, class Itf>
W* Impl(const ComPtr<Itf>& p) {
    return static_cast<W*>(p.get());
}

std::wstring FileNameOf(ICoDoc* doc) {
    Bstr name;
    EXPECT_EQ(doc->get_FileName(name.out()), S_OK);
    return name.wide();
}

// What the throwing backend throws from SelectRows.
enum class Throw { Qv, Standard, Other };
Throw gThrow = Throw::Qv;

class ThrowingAccessor : public ZUBDB::CDBAccessor {
public:
    int InsertRow(const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                  const std::wstring&) override {
        return 0;
    }
    int UpdateRows(const std::wstring&, const ZUBDB::QVParams&, const ZUBDB::QVParams&,
                   const std::wstring&, const std::wstring&) override {
        return 0;
    }
    int DeleteRows(const std::wstring&, const ZUBDB::QVParams&, const std::wstring&,
                   const std::wstring&) override {
        return 0;
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>&, const std::wstring&, const std::wstring&,
                   const ZUBDB::QVParams&, const std::wstring&, const std::wstring&,
                   const std::wstring&, int, int) override {
        switch (gThrow) {
            case Throw::Qv:
                throw ZUBBASE::QV_Exception(L"component gave up", L"fake", L"Select", 1);
            case Throw::Standard:
                throw std::runtime_error("boom");
            case Throw::Other:
                throw 42;
        }
        return 0;
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>&, const std::wstring&,
                   const ZUBDB::QVParams&, const std::wstring&, int, int) override {
        return 0;
    }
    int BeginTrans() override { return 0; }
    int CommitTrans() override { return 0; }
    int RollbackTrans() override { return 0; }
    long long LastInsertId() const override { return 0; }
};

ZUBDB::CDBRecordset DocRows(int count) {
    std::vector<std::vector<ZUBDB::DBValue>> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({static_cast<long long>(i), 3LL, L"doc" + std::to_wstring(i), L"txt", L"1",
                        0LL, 0LL, L"", 1LL, L"system", 45000.5, 1LL, L"system", 45001.5, L""});
    }
    return zub::docvault::test::MakeRs(
        {L"DocId", L"DocRepoId", L"Name", L"ext", L"CurrentVersion", L"CurrentState",
         L"CurrentOperatorId", L"CurrentOperatorName", L"CreatorId", L"CreatorName",
         L"DocCreateTime", L"LastOperatorId", L"LastOperatorName", L"LastOperateTime", L"phyUrl"},
        rows);
}

ZUBDB::CDBRecordset AuthRows(int count) {
    std::vector<std::vector<ZUBDB::DBValue>> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({static_cast<long long>(i), 3LL, static_cast<long long>(i), 0LL, 1LL, 1LL,
                        0LL, 0LL, L"user" + std::to_wstring(i)});
    }
    return zub::docvault::test::MakeRs({L"authId", L"DocRepoId", L"UserId", L"RoleId",
                                        L"UserOrRole", L"[Read]", L"Write", L"Manage", L"UserName"},
                                       rows);
}

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = &zub::docvault::test::RecordingDb::Install();
        ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
            L"boom", [](const ZUBDB::QVSvrInfo&, const std::wstring&) {
                return std::make_unique<ThrowingAccessor>();
            });
        zub::vaultauto::test::DropErrorRecord();
        baseline_ = zub::vaultauto::ModuleLockCount();
    }
    void TearDown() override {
        ZUBDB::CDBAccessorCreator::instance().UnregisterBackend(L"boom");
        EXPECT_EQ(zub::vaultauto::ModuleLockCount(), baseline_) << "an object outlived its test";
    }

    // A connected collection of `count` documents.
    ComPtr<ICoDocs> FilledDocs(int count) {
        auto docs = Make<zub::vaultauto::CCoDocs, ICoDocs>(IID_ICoDocs);
        Connect(docs.get());
        db_->OnSelect(L"QV_DMDoc", DocRows(count));
        LONG ret = -1;
        EXPECT_EQ(docs->GetAll(3, 0, &ret), S_OK);
        EXPECT_EQ(ret, 0);
        return docs;
    }
    template <class Itf>
    void Connect(Itf* itf, const wchar_t* server = L"rec:") {
        Bstr s(std::wstring_view{server}), d(L"QVData"), t(L"tok");
        LONG ret = -1;
        ASSERT_EQ(itf->connect(s.get(), 0, d.get(), t.get(), &ret), S_OK);
        ASSERT_EQ(ret, 0);
    }

    zub::docvault::test::RecordingDb* db_ = nullptr;
    LONG baseline_ = 0;
};

TEST_F(WrapperTest, PropertiesConvertBetweenAutomationAndLibraryTypes) {
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    auto* lib = Impl<zub::vaultauto::CCoDoc>(doc)->Wrapped();

    lib->set_state(70000);
    SHORT state = 0;
    EXPECT_EQ(doc->get_State(&state), S_OK);
    EXPECT_EQ(state, 4464) << "a short carries the low 16 bits";
    EXPECT_EQ(doc->put_CreById(-2), S_OK);
    EXPECT_EQ(lib->creById(), -2) << "a short is sign-extended";

    EXPECT_EQ(doc->put_CreTime(45123.75), S_OK);
    DATE when = 0;
    EXPECT_EQ(doc->get_CreTime(&when), S_OK);
    EXPECT_DOUBLE_EQ(when, 45123.75);

    Bstr name(L"图纸.dwg");
    EXPECT_EQ(doc->put_FileName(name.get()), S_OK);
    EXPECT_EQ(lib->fileName(), L"图纸.dwg");
    EXPECT_EQ(FileNameOf(doc.get()), L"图纸.dwg");

    // A null BSTR is the empty text to every automation client.
    EXPECT_EQ(doc->put_FileName(nullptr), S_OK);
    EXPECT_EQ(lib->fileName(), L"");
}

TEST_F(WrapperTest, BaseLineAndDocRepoIdShareOneField) {
    auto bl = Make<zub::vaultauto::CCoBaseLine, ICoBaseLine>(IID_ICoBaseLine);
    EXPECT_EQ(bl->put_BaseLine(12), S_OK);
    LONG repo = 0;
    EXPECT_EQ(bl->get_DocRepoId(&repo), S_OK);
    EXPECT_EQ(repo, 12);
    EXPECT_EQ(bl->put_DocRepoId(70001), S_OK);
    SHORT cut = 0;
    EXPECT_EQ(bl->get_BaseLine(&cut), S_OK);
    EXPECT_EQ(cut, 4465);
}

TEST_F(WrapperTest, RepositoryIdPutSetsTheIdentifier) {
    auto repo = Make<zub::vaultauto::CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo);
    EXPECT_EQ(repo->put_Id(42), S_OK);
    SHORT id = 0;
    EXPECT_EQ(repo->get_Id(&id), S_OK);
    EXPECT_EQ(id, 42);
}

TEST_F(WrapperTest, AReplacedRepositoryKeepsTheWrappersConnection) {
    auto repo = Make<zub::vaultauto::CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo);
    Connect(repo.get());
    auto* before = Impl<zub::vaultauto::CCoDocRepo>(repo)->Wrapped();
    db_->calls.clear();
    ASSERT_EQ(repo->setpDocRepo(5), S_OK);
    auto* after = Impl<zub::vaultauto::CCoDocRepo>(repo)->Wrapped();
    EXPECT_NE(after, before) << "a new library object";
    EXPECT_NE(after->ErrNumber(), 49600) << "the read reached the database";
    bool readRepo = false;
    for (const auto& line : db_->Lines())
        readRepo = readRepo || line.find(L"QV_DMRepo") != std::wstring::npos;
    EXPECT_TRUE(readRepo);

    // Without a connect there is nothing to keep.
    auto fresh = Make<zub::vaultauto::CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo);
    ASSERT_EQ(fresh->setpDocRepo(5), S_OK);
    EXPECT_EQ(Impl<zub::vaultauto::CCoDocRepo>(fresh)->Wrapped()->ErrNumber(), 49600);
}

TEST_F(WrapperTest, NullTextArgumentsSkipTheCall) {
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    Connect(doc.get());
    db_->calls.clear();
    LONG ret = 12345;
    Bstr dir(L"/tmp");
    EXPECT_EQ(doc->CheckOut(nullptr, &ret), S_OK);
    EXPECT_EQ(doc->GetHistory(nullptr, dir.get(), &ret), S_OK);
    EXPECT_EQ(doc->GetHistory(dir.get(), nullptr, &ret), S_OK);
    EXPECT_EQ(doc->CheckInWithForm(dir.get(), nullptr, &ret), S_OK);
    EXPECT_EQ(ret, 12345) << "the retval stays unwritten";
    EXPECT_TRUE(db_->calls.empty());
    EXPECT_FALSE(TakeErrorRecord().present);

    auto other = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    Bstr server(L"rec:"), database(L"QVData");
    const std::size_t before = db_->connections.size();
    EXPECT_EQ(other->connect(server.get(), 0, database.get(), nullptr, &ret), S_OK);
    EXPECT_EQ(ret, 12345);
    EXPECT_EQ(db_->connections.size(), before) << "a null token does not connect";
    EXPECT_FALSE(Impl<zub::vaultauto::CCoDoc>(other)->Wrapped()->IsConnected());
}

TEST_F(WrapperTest, MissingElementsAnswerObjectInstanceIsNothing) {
    auto docs = FilledDocs(2);
    ComPtr<ICoDoc> none;
    EXPECT_EQ(docs->item(2, none.put()), S_OK);
    ASSERT_TRUE(none);
    LONG id = 7;
    EXPECT_EQ(none->get_Id(&id), kFailed);
    EXPECT_EQ(id, 7);
    ErrorRecord rec = TakeErrorRecord();
    EXPECT_EQ(rec.description, L"Object instance is nothing.");
    EXPECT_EQ(rec.source, L"VaultAuto.CoDoc.1");
    EXPECT_TRUE(rec.iid == GUID_NULL);
    LONG ret = 0;
    Bstr dir(L"/tmp");
    EXPECT_EQ(none->CheckOut(dir.get(), &ret), kFailed) << "before the null-text rule";
    EXPECT_EQ(none->CheckOut(nullptr, &ret), kFailed);

    Bstr unknown(L"999");
    ComPtr<ICoDoc> byKey;
    EXPECT_EQ(docs->ItemByKey(unknown.get(), byKey.put()), S_OK);
    ASSERT_TRUE(byKey);
    EXPECT_EQ(byKey->put_Id(1), kFailed);

    auto repos = Make<zub::vaultauto::CCoDocRepos, ICoDocRepos>(IID_ICoDocRepos);
    ComPtr<ICoDocRepo> negative;
    EXPECT_EQ(repos->item(-1, negative.put()), S_OK);
    EXPECT_FALSE(negative);
}

TEST_F(WrapperTest, ErrorReportingMembersMapTheLibraryErrorNumber) {
    struct Case {
        long number;
        HRESULT expected;
    };
    for (const Case& c : {Case{7, MakeHr(0x80040007)}, Case{-1, MakeHr(0xFFFFFFFF)},
                          Case{-5, MakeHr(0xFFFFFFFB)}}) {
        SCOPED_TRACE(c.number);
        db_ = &zub::docvault::test::RecordingDb::Install();
        db_->FailOn(L"SelectRows", 1, c.number, L"failure " + std::to_wstring(c.number));
        auto repos = Make<zub::vaultauto::CCoDocRepos, ICoDocRepos>(IID_ICoDocRepos);
        Connect(repos.get());
        LONG ret = 0;
        EXPECT_EQ(repos->initDocRepos(&ret), c.expected);
        EXPECT_EQ(ret, c.number) << "the retval is written before the check";
        ErrorRecord rec = TakeErrorRecord();
        EXPECT_EQ(rec.description, L"failure " + std::to_wstring(c.number));
        EXPECT_EQ(rec.source, L"VaultAuto.CoDocRepos.1");

        // Count raises nothing: the fill's failure is not its own.
        LONG num = -1;
        EXPECT_EQ(repos->Count(&num), S_OK);
        EXPECT_EQ(num, 0);
        EXPECT_FALSE(TakeErrorRecord().present);
    }
}

// What one error-reporting member did: first on an object whose library call
// fails (the member itself, unconnected, or for Count and Clear the fill
// before them), then, connected, the member again on the same object.
struct Reported {
    HRESULT failedHr = S_OK;
    ErrorRecord failed;
    HRESULT laterHr = S_OK;
    ErrorRecord later;
};

template <class W, class Itf, class Fail, class Call>
Reported RunReporting(const IID& iid, Fail fail, Call call) {
    Reported out;
    ComPtr<Itf> p;
    EXPECT_EQ(zub::vaultauto::CreateComObject<W>(nullptr, iid, p.putVoid()), S_OK);
    out.failedHr = fail(p.get());
    out.failed = TakeErrorRecord();
    Bstr s(L"rec:"), d(L"QVData"), t(L"tok");
    LONG ret = -1;
    EXPECT_EQ(p->connect(s.get(), 0, d.get(), t.get(), &ret), S_OK);
    out.laterHr = call(p.get());
    out.later = TakeErrorRecord();
    return out;
}

TEST_F(WrapperTest, ErrorReportingMembersReportOnlyTheErrorTheyRaised) {
    constexpr HRESULT kNotConnected = MakeHr(0x8004C1C0);
    using namespace zub::vaultauto;
    LONG l = 0;
    SHORT sh = 0;
    struct Case {
        const wchar_t* member;
        const wchar_t* source;
        // S_OK when the failing call is not itself error-reporting.
        HRESULT failedHr;
        std::function<Reported()> run;
        // S_OK, or where the fakes give the connected call no data to work
        // on, its own refusal (and not the earlier failure).
        HRESULT laterHr = S_OK;
        const wchar_t* laterText = L"";
    };
    constexpr HRESULT kInvalidName = MakeHr(0x8004C1CA);
    const wchar_t* const kInvalidNameText = L"名称无效: \"\"";
    constexpr HRESULT kRepoMissing = MakeHr(0x8004C1C9);
    const Case cases[] = {
        {L"CoDoc.Delete", L"VaultAuto.CoDoc.1", kNotConnected,
         [&] {
             auto del = [&](ICoDoc* o) { return o->Delete(&l); };
             return RunReporting<CCoDoc, ICoDoc>(IID_ICoDoc, del, del);
         },
         kInvalidName, L"名称无效: \".\""},
        {L"CoDocs.Count", L"VaultAuto.CoDocs.1", S_OK,
         [&] {
             return RunReporting<CCoDocs, ICoDocs>(
                 IID_ICoDocs, [&](ICoDocs* o) { return o->GetAll(3, 0, &l); },
                 [&](ICoDocs* o) { return o->Count(&l); });
         }},
        {L"CoDocs.Clear", L"VaultAuto.CoDocs.1", S_OK,
         [&] {
             return RunReporting<CCoDocs, ICoDocs>(
                 IID_ICoDocs, [&](ICoDocs* o) { return o->GetAll(3, 0, &l); },
                 [&](ICoDocs* o) { return o->Clear(); });
         }},
        {L"CoDocRepo.Delete", L"VaultAuto.CoDocRepo.1", kNotConnected,
         [&] {
             auto del = [&](ICoDocRepo* o) { return o->Delete(); };
             return RunReporting<CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo, del, del);
         },
         kRepoMissing, L"DocRepoId  无效"},
        {L"CoDocRepo.Create", L"VaultAuto.CoDocRepo.1", kNotConnected,
         [&] {
             auto create = [&](ICoDocRepo* o) { return o->Create(&l); };
             return RunReporting<CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo, create, create);
         },
         kInvalidName, kInvalidNameText},
        {L"CoDocRepo.UpdateBaseInfo", L"VaultAuto.CoDocRepo.1", kNotConnected,
         [&] {
             auto update = [&](ICoDocRepo* o) { return o->UpdateBaseInfo(&l); };
             return RunReporting<CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo, update, update);
         }},
        {L"CoDocRepos.initDocRepos", L"VaultAuto.CoDocRepos.1", kNotConnected,
         [&] {
             auto init = [&](ICoDocRepos* o) { return o->initDocRepos(&l); };
             return RunReporting<CCoDocRepos, ICoDocRepos>(IID_ICoDocRepos, init, init);
         }},
        {L"CoDocRepos.Count", L"VaultAuto.CoDocRepos.1", kNotConnected,
         [&] {
             return RunReporting<CCoDocRepos, ICoDocRepos>(
                 IID_ICoDocRepos, [&](ICoDocRepos* o) { return o->initDocRepos(&l); },
                 [&](ICoDocRepos* o) { return o->Count(&l); });
         }},
        {L"CoDocRepoAuths.Select", L"VaultAuto.CoDocRepoAuths.1", kNotConnected,
         [&] {
             auto select = [&](ICoDocRepoAuths* o) {
                 o->initDocRepoAuths(3);
                 return o->Select();
             };
             return RunReporting<CCoDocRepoAuths, ICoDocRepoAuths>(
                 IID_ICoDocRepoAuths, select, [&](ICoDocRepoAuths* o) {
                     db_->OnSelect(L"QV_v_DMAuthSet", AuthRows(1));
                     return select(o);
                 });
         }},
        {L"CoDocRepoAuths.save", L"VaultAuto.CoDocRepoAuths.1", kNotConnected,
         [&] {
             auto save = [&](ICoDocRepoAuths* o) {
                 o->initDocRepoAuths(3);
                 return o->save();
             };
             return RunReporting<CCoDocRepoAuths, ICoDocRepoAuths>(IID_ICoDocRepoAuths, save, save);
         }},
        {L"CoDocRepoAuths.Delete", L"VaultAuto.CoDocRepoAuths.1", kNotConnected,
         [&] {
             auto del = [&](ICoDocRepoAuths* o) {
                 o->initDocRepoAuths(3);
                 return o->Delete();
             };
             return RunReporting<CCoDocRepoAuths, ICoDocRepoAuths>(IID_ICoDocRepoAuths, del, del);
         }},
        {L"CoDocRepoAuths.Count", L"VaultAuto.CoDocRepoAuths.1", kNotConnected,
         [&] {
             return RunReporting<CCoDocRepoAuths, ICoDocRepoAuths>(
                 IID_ICoDocRepoAuths, [&](ICoDocRepoAuths* o) { return o->Select(); },
                 [&](ICoDocRepoAuths* o) { return o->Count(&sh); });
         }},
        {L"CoDocRepoAuths.Clear", L"VaultAuto.CoDocRepoAuths.1", kNotConnected,
         [&] {
             return RunReporting<CCoDocRepoAuths, ICoDocRepoAuths>(
                 IID_ICoDocRepoAuths, [&](ICoDocRepoAuths* o) { return o->Select(); },
                 [&](ICoDocRepoAuths* o) { return o->Clear(); });
         }},
        {L"CoVersionStra.Create", L"VaultAuto.CoVersionStra.1", kNotConnected,
         [&] {
             auto create = [&](ICoVersionStra* o) { return o->Create(&l); };
             return RunReporting<CCoVersionStra, ICoVersionStra>(IID_ICoVersionStra, create,
                                                                 create);
         }},
        {L"CoVersionStra.Update", L"VaultAuto.CoVersionStra.1", kNotConnected,
         [&] {
             auto update = [&](ICoVersionStra* o) { return o->Update(&l); };
             return RunReporting<CCoVersionStra, ICoVersionStra>(IID_ICoVersionStra, update,
                                                                 update);
         }},
        {L"CoVersionStra.save", L"VaultAuto.CoVersionStra.1", kNotConnected,
         [&] {
             auto save = [&](ICoVersionStra* o) { return o->save(&l); };
             return RunReporting<CCoVersionStra, ICoVersionStra>(IID_ICoVersionStra, save, save);
         }},
        {L"CoDocHistorys.Count", L"VaultAuto.CoDocHistorys.1", S_OK,
         [&] {
             return RunReporting<CCoDocHistorys, ICoDocHistorys>(
                 IID_ICoDocHistorys, [&](ICoDocHistorys* o) { return o->GetAll(1, 0); },
                 [&](ICoDocHistorys* o) { return o->Count(&l); });
         }},
        {L"CoBaseLine.Delete", L"VaultAuto.CoBaseLine.1", kNotConnected,
         [&] {
             auto del = [&](ICoBaseLine* o) { return o->Delete(); };
             return RunReporting<CCoBaseLine, ICoBaseLine>(IID_ICoBaseLine, del, del);
         },
         kInvalidName, kInvalidNameText},
        {L"CoBaseLine.Create", L"VaultAuto.CoBaseLine.1", kNotConnected,
         [&] {
             auto create = [&](ICoBaseLine* o) { return o->Create(&l); };
             return RunReporting<CCoBaseLine, ICoBaseLine>(IID_ICoBaseLine, create, create);
         },
         kInvalidName, kInvalidNameText},
        {L"CoBaseLines.Count", L"VaultAuto.CoBaseLines.1", S_OK,
         [&] {
             return RunReporting<CCoBaseLines, ICoBaseLines>(
                 IID_ICoBaseLines, [&](ICoBaseLines* o) { return o->GetAll(3); },
                 [&](ICoBaseLines* o) { return o->Count(&l); });
         }},
        {L"CoBaseLines.Clear", L"VaultAuto.CoBaseLines.1", S_OK,
         [&] {
             return RunReporting<CCoBaseLines, ICoBaseLines>(
                 IID_ICoBaseLines, [&](ICoBaseLines* o) { return o->GetAll(3); },
                 [&](ICoBaseLines* o) { return o->Clear(); });
         }},
    };
    static_assert(std::size(cases) == 21, "every error-reporting member");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.member, c.member + std::wcslen(c.member)));
        db_ = &zub::docvault::test::RecordingDb::Install();
        const Reported r = c.run();
        EXPECT_EQ(r.failedHr, c.failedHr);
        EXPECT_EQ(r.failed.present, c.failedHr != S_OK);
        if (c.failedHr != S_OK) {
            EXPECT_EQ(r.failed.description, L"远程数据库未连接");
            EXPECT_EQ(r.failed.source, c.source);
        }
        EXPECT_EQ(r.laterHr, c.laterHr) << "not the earlier failure";
        EXPECT_EQ(r.later.present, c.laterHr != S_OK);
        EXPECT_EQ(r.later.description, c.laterText);
    }
}

TEST_F(WrapperTest, OtherMembersReportLibraryFailuresOnlyThroughTheirResult) {
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);  // not connected
    Bstr dir(L"/tmp");
    LONG ret = 0;
    EXPECT_EQ(doc->CheckOut(dir.get(), &ret), S_OK);
    EXPECT_EQ(ret, 49600);
    EXPECT_FALSE(TakeErrorRecord().present);

    EXPECT_EQ(doc->Delete(&ret), MakeHr(0x8004C1C0)) << "Delete is error-reporting";
    EXPECT_EQ(ret, 49600);
    EXPECT_EQ(TakeErrorRecord().description, L"远程数据库未连接");
}

TEST_F(WrapperTest, ExceptionsBecomeFailuresWithTheirText) {
    struct Case {
        Throw what;
        const wchar_t* text;
    };
    for (const Case& c : {Case{Throw::Qv, L"component gave up\n"}, Case{Throw::Standard, L"boom\n"},
                          Case{Throw::Other, L"Unexpected error.\n"}}) {
        SCOPED_TRACE(c.text);
        gThrow = c.what;
        auto docs = Make<zub::vaultauto::CCoDocs, ICoDocs>(IID_ICoDocs);
        Connect(docs.get(), L"boom:");
        LONG ret = 12345;
        EXPECT_EQ(docs->GetAll(3, 0, &ret), kFailed);
        EXPECT_EQ(ret, 12345);
        ErrorRecord rec = TakeErrorRecord();
        EXPECT_EQ(rec.description, c.text);
        EXPECT_EQ(rec.source, L"VaultAuto.CoDocs.1");
        zub::vaultauto::MemberFault fault = zub::vaultauto::LastMemberFault();
        EXPECT_EQ(fault.file, L"codocs");
        EXPECT_EQ(fault.function, L"CCoDocs::GetAll");
        EXPECT_GT(fault.line, 0);
    }
}

TEST_F(WrapperTest, AProcessorFaultInsideAMemberIsReported) {
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    // A BSTR pointing at no memory: reading its length faults.
    auto bad = reinterpret_cast<BSTR>(static_cast<std::uintptr_t>(0x40));
    EXPECT_EQ(doc->put_FileName(bad), kFailed);
    ErrorRecord rec = TakeErrorRecord();
    EXPECT_EQ(rec.description.rfind(L"EXCEPTION_ACCESS_VIOLATION\n address:\t0x", 0), 0u)
        << std::string(rec.description.begin(), rec.description.end());
    EXPECT_NE(rec.description.find(L"code:\t\t3221225477\n"), std::wstring::npos);
    EXPECT_EQ(zub::vaultauto::LastMemberFault().function, L"CCoDoc::put_FileName");

    // The object is still usable afterwards.
    Bstr name(L"a");
    EXPECT_EQ(doc->put_FileName(name.get()), S_OK);
    EXPECT_EQ(FileNameOf(doc.get()), L"a");
}

TEST_F(WrapperTest, BorrowedWrappersOutliveTheirCollection) {
    ComPtr<ICoDoc> first, second, third;
    {
        auto docs = FilledDocs(3);
        ASSERT_EQ(docs->item(0, first.put()), S_OK);
        ASSERT_EQ(docs->item(1, second.put()), S_OK);
        Bstr key(L"3");
        ASSERT_EQ(docs->ItemByKey(key.get(), third.put()), S_OK);
        EXPECT_EQ(FileNameOf(third.get()), L"doc3");

        // Removed and cleared elements stay alive for their borrowers.
        ASSERT_EQ(docs->RemoveByKey(key.get()), S_OK);
        LONG num = 0;
        ASSERT_EQ(docs->Count(&num), S_OK);
        EXPECT_EQ(num, 2);
        EXPECT_EQ(FileNameOf(third.get()), L"doc3");
        ASSERT_EQ(docs->Clear(), S_OK);
        ASSERT_EQ(docs->Count(&num), S_OK);
        EXPECT_EQ(num, 0);
        EXPECT_EQ(FileNameOf(first.get()), L"doc1");
    }
    // The collection wrapper is gone; its elements are still readable.
    EXPECT_EQ(FileNameOf(second.get()), L"doc2");
    Bstr renamed(L"changed");
    EXPECT_EQ(first->put_FileName(renamed.get()), S_OK);
    EXPECT_EQ(FileNameOf(first.get()), L"changed");
}

TEST_F(WrapperTest, BorrowedWrappersWriteIntoTheCollectionsElement) {
    auto docs = FilledDocs(1);
    ComPtr<ICoDoc> a, b;
    ASSERT_EQ(docs->item(0, a.put()), S_OK);
    ASSERT_EQ(docs->item(0, b.put()), S_OK);
    Bstr name(L"shared");
    ASSERT_EQ(a->put_FileName(name.get()), S_OK);
    EXPECT_EQ(FileNameOf(b.get()), L"shared");
}

TEST_F(WrapperTest, SavingPermissionsKeepsBorrowedRowsAlive) {
    auto auths = Make<zub::vaultauto::CCoDocRepoAuths, ICoDocRepoAuths>(IID_ICoDocRepoAuths);
    Connect(auths.get());
    ASSERT_EQ(auths->initDocRepoAuths(3), S_OK);
    db_->OnSelect(L"QV_v_DMAuthSet", AuthRows(2));
    ASSERT_EQ(auths->Select(), S_OK);
    ComPtr<ICoDocRepoAuth> row;
    ASSERT_EQ(auths->item(1, row.put()), S_OK);
    ASSERT_EQ(row->put_Write(1), S_OK) << "the change goes into the saved row";

    ASSERT_EQ(auths->save(), S_OK);
    int inserts = 0;
    bool sawWrite = false;
    for (const auto& line : db_->Lines()) {
        if (line.rfind(L"InsertRow QV_DMAuth", 0) != 0) continue;
        ++inserts;
        sawWrite = sawWrite || (line.find(L"UserId=2") != std::wstring::npos &&
                                line.find(L"Write=1") != std::wstring::npos);
    }
    EXPECT_EQ(inserts, 2);
    EXPECT_TRUE(sawWrite);
    SHORT num = -1;
    ASSERT_EQ(auths->Count(&num), S_OK);
    EXPECT_EQ(num, 0) << "the library empties the collection after saving";
    LONG user = 0;
    EXPECT_EQ(row->get_UserId(&user), S_OK);
    EXPECT_EQ(user, 2);
}

TEST_F(WrapperTest, AddLeavesOneOwner) {
    auto docs = Make<zub::vaultauto::CCoDocs, ICoDocs>(IID_ICoDocs);
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    Bstr name(L"added");
    ASSERT_EQ(doc->put_FileName(name.get()), S_OK);
    ASSERT_EQ(docs->Add(doc.get()), S_OK);
    ASSERT_EQ(docs->Add(doc.get()), S_OK) << "the same object is held once";
    LONG num = 0;
    ASSERT_EQ(docs->Count(&num), S_OK);
    EXPECT_EQ(num, 1);

    // The wrapper now borrows the collection's element.
    ComPtr<ICoDoc> fromCollection;
    ASSERT_EQ(docs->item(0, fromCollection.put()), S_OK);
    Bstr renamed(L"renamed");
    ASSERT_EQ(doc->put_FileName(renamed.get()), S_OK);
    EXPECT_EQ(FileNameOf(fromCollection.get()), L"renamed");

    // Clearing and releasing in either order frees the object exactly once.
    ASSERT_EQ(docs->Clear(), S_OK);
    EXPECT_EQ(FileNameOf(doc.get()), L"renamed");
    docs.reset();
    EXPECT_EQ(FileNameOf(doc.get()), L"renamed");
}

TEST_F(WrapperTest, AddOfAnotherCollectionsElementAddsACopy) {
    auto source = FilledDocs(1);
    ComPtr<ICoDoc> element;
    ASSERT_EQ(source->item(0, element.put()), S_OK);
    auto target = Make<zub::vaultauto::CCoDocs, ICoDocs>(IID_ICoDocs);
    ASSERT_EQ(target->Add(element.get()), S_OK);
    source.reset();

    ComPtr<ICoDoc> copy;
    ASSERT_EQ(target->item(0, copy.put()), S_OK);
    EXPECT_EQ(FileNameOf(copy.get()), L"doc1");
    Bstr name(L"only the copy");
    ASSERT_EQ(copy->put_FileName(name.get()), S_OK);
    EXPECT_EQ(FileNameOf(element.get()), L"doc1");
}

// An ICoDoc that is not one of the server's wrappers.
struct ForeignDoc final : ICoDoc {
    virtual ~ForeignDoc() = default;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
#define FOREIGN_PROP(name, type)                             \
    HRESULT get_##name(type*) override { return E_NOTIMPL; } \
    HRESULT put_##name(type) override { return E_NOTIMPL; }
    FOREIGN_PROP(Id, LONG)
    FOREIGN_PROP(DocRepoId, LONG)
    FOREIGN_PROP(FileName, BSTR)
    FOREIGN_PROP(Ext, BSTR)
    FOREIGN_PROP(CurrentVersion, BSTR)
    FOREIGN_PROP(State, SHORT)
    FOREIGN_PROP(CheckOutById, SHORT)
    FOREIGN_PROP(CheckOutByName, BSTR)
    FOREIGN_PROP(CreById, SHORT)
    FOREIGN_PROP(CreByName, BSTR)
    FOREIGN_PROP(LstUptById, SHORT)
    FOREIGN_PROP(LstUptByName, BSTR)
    FOREIGN_PROP(PhyUrl, BSTR)
    FOREIGN_PROP(CreTime, DATE)
    FOREIGN_PROP(LstUptTime, DATE)
    FOREIGN_PROP(CaxDocType, LONG)
    FOREIGN_PROP(ModifyInfo, BSTR)
#undef FOREIGN_PROP
    HRESULT setForDoc(LONG) override { return E_NOTIMPL; }
    HRESULT CheckOut(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT ReName(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT CheckIn(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT Delete(LONG*) override { return E_NOTIMPL; }
    HRESULT Add(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT GetHistory(BSTR, BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT View(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT connect(BSTR, LONG, BSTR, BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT GetRevision(LONG*) override { return E_NOTIMPL; }
    HRESULT CheckInWithForm(BSTR, BSTR, LONG*) override { return E_NOTIMPL; }
};

TEST_F(WrapperTest, AddRefusesObjectsOfOtherServers) {
    auto docs = Make<zub::vaultauto::CCoDocs, ICoDocs>(IID_ICoDocs);
    ForeignDoc foreign;
    EXPECT_EQ(docs->Add(&foreign), E_INVALIDARG);
    EXPECT_EQ(TakeErrorRecord().source, L"VaultAuto.CoDocs.1");
    EXPECT_EQ(docs->Add(nullptr), E_INVALIDARG);
    // One of this server's objects, but of another class (a late-bound
    // client can hand over any IDispatch).
    auto repo = Make<zub::vaultauto::CCoDocRepo, ICoDocRepo>(IID_ICoDocRepo);
    EXPECT_EQ(docs->Add(reinterpret_cast<ICoDoc*>(repo.get())), E_INVALIDARG);
    LONG num = -1;
    ASSERT_EQ(docs->Count(&num), S_OK);
    EXPECT_EQ(num, 0);
}

TEST_F(WrapperTest, QueryInterfaceAnswersOnlyItsOwnInterfaces) {
    auto doc = Make<zub::vaultauto::CCoDoc, ICoDoc>(IID_ICoDoc);
    ComPtr<IUnknown> unk1, unk2;
    ASSERT_EQ(doc->QueryInterface(IID_IUnknown, unk1.putVoid()), S_OK);
    ComPtr<IDispatch> disp;
    ASSERT_EQ(doc->QueryInterface(IID_IDispatch, disp.putVoid()), S_OK);
    ASSERT_EQ(disp->QueryInterface(IID_IUnknown, unk2.putVoid()), S_OK);
    EXPECT_EQ(unk1.get(), unk2.get()) << "one identity";

    for (const IID& foreign :
         {IID_ICoDocs, IID_ISupportErrorInfo, IID_IClassFactory, IID_ITypeInfo}) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(doc->QueryInterface(foreign, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(doc->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// A controlling unknown that counts the references given to it.
struct Outer final : IUnknown {
    virtual ~Outer() = default;
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
};

TEST_F(WrapperTest, AggregatedObjectsDelegateToTheirOuterObject) {
    Outer outer;
    void* p = nullptr;
    EXPECT_EQ(zub::vaultauto::CreateComObject<zub::vaultauto::CCoDoc>(&outer, IID_ICoDoc, &p),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(zub::vaultauto::CreateComObject<zub::vaultauto::CCoDoc>(&outer, IID_IUnknown, &p),
              S_OK);
    outer.inner = static_cast<IUnknown*>(p);

    ICoDoc* doc = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ICoDoc, reinterpret_cast<void**>(&doc)), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "the inner object's interface counts on the outer object";
    IUnknown* viaDoc = nullptr;
    ASSERT_EQ(doc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaDoc)), S_OK);
    EXPECT_EQ(viaDoc, static_cast<IUnknown*>(&outer));
    viaDoc->Release();
    doc->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST_F(WrapperTest, ObjectsMadeInsideCollectionMembersHoldTheModule) {
    auto docs = FilledDocs(1);
    const LONG withCollection = zub::vaultauto::ModuleLockCount();
    ComPtr<ICoDoc> element;
    ASSERT_EQ(docs->item(0, element.put()), S_OK);
    EXPECT_EQ(zub::vaultauto::ModuleLockCount(), withCollection + 1);
    element.reset();
    EXPECT_EQ(zub::vaultauto::ModuleLockCount(), withCollection);
}

}  // namespace
