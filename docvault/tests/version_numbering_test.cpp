// Version numbering of documents: the next version under both schemes and a
// new document's first version, against the recording database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "doc_contract_fixture.h"
#include "docvault/doc.h"
#include "throwing_accessor.h"

namespace zub::docvault::test {

namespace {

using ::testing::ElementsAre;

class VersionNumbering : public RecordingFixture {
protected:
    std::wstring Next(int scheme, const std::wstring& current) {
        SetUp();
        QueueStrategy(scheme);
        DRM::Doc doc;
        doc.Connect(L"rec:", 0, L"QVData", L"tok");
        doc.set_currentVersion(current);
        return doc.GetNextVersion();
    }

    // The version Add gives a new document of repository 3.
    std::wstring FirstVersion(int scheme, int newDocBeginNum, int beginMain, int beginSub,
                              ZUBDB::DBValue repoMax = ZUBDB::DBValue()) {
        SetUp();
        QueueRepo();
        QueueStrategy(scheme, newDocBeginNum, beginMain, beginSub);
        if (newDocBeginNum != 0) db->OnSelect(L"QV_DMDoc", MakeRs({L"maxVersion"}, {{repoMax}}));
        db->OnSelect(L"QV_DMDoc", MakeRs({L"Max(DocId)"}, {{I(1)}}));
        DRM::Doc doc;
        doc.Connect(L"rec:", 0, L"QVData", L"tok");
        doc.set_docRepoId(3);
        doc.set_fileName(L"n");
        doc.set_ext(L"prt");
        doc.set_currentVersion(L"untouched");
        EXPECT_EQ(doc.Add(L"/tmp/n.prt"), 0) << doc.ErrDesc();
        return doc.currentVersion();
    }
};

TEST_F(VersionNumbering, WholeNumbersAdvanceTheLeadingInteger) {
    EXPECT_EQ(Next(1, L"3"), L"4");
    EXPECT_EQ(Next(1, L"1.4"), L"2");
    EXPECT_EQ(Next(1, L""), L"1");
    EXPECT_EQ(Next(1, L" 9x"), L"10");
    EXPECT_EQ(Next(1, L"-3"), L"-2");
}

TEST_F(VersionNumbering, MainAndSubAdvanceTheSubNumber) {
    EXPECT_EQ(Next(2, L"1.4"), L"1.5");
    EXPECT_EQ(Next(2, L"1.9"), L"1.10");
    EXPECT_EQ(Next(2, L"1.10"), L"1.11");
    EXPECT_EQ(Next(2, L"2"), L"3");
    EXPECT_EQ(Next(2, L""), L"1");
    EXPECT_EQ(Next(2, L"1."), L"1.1");
    EXPECT_EQ(Next(2, L"1.2.3"), L"1.3");  // only the text after the first dot counts
}

TEST_F(VersionNumbering, HugeNumbersDoNotOverflow) {
    EXPECT_EQ(Next(1, L"99999999999999999999"), L"2147483648");
    EXPECT_EQ(Next(2, L"1.2147483647"), L"1.2147483648");
}

TEST_F(VersionNumbering, AnUnknownSchemeGivesAnEmptyText) {
    EXPECT_EQ(Next(3, L"1.4"), L"");
    EXPECT_EQ(Next(0, L"1"), L"");
}

TEST_F(VersionNumbering, NextVersionReadsTheFirstStrategyRow) {
    QueueStrategy(2);
    DRM::Doc doc;
    doc.Connect(L"rec:", 0, L"QVData", L"tok");
    doc.set_currentVersion(L"1.4");
    EXPECT_EQ(doc.GetNextVersion(), L"1.5");
    EXPECT_THAT(
        DbLines(),
        ElementsAre(L"ExecuteSql select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy"));
    EXPECT_EQ(doc.currentVersion(), L"1.4");  // asking does not advance
}

TEST_F(VersionNumbering, NextVersionFailures) {
    DRM::Doc doc;
    doc.Connect(L"rec:", 0, L"QVData", L"tok");
    doc.set_currentVersion(L"1.4");
    EXPECT_EQ(doc.GetNextVersion(), L"");
    EXPECT_EQ(doc.ErrNumber(), 49605);
    EXPECT_EQ(doc.ErrDesc(), L"表 QV_DMVerStrategy 为空");

    db->FailOn(L"ExecuteSql", 2, 208, L"Invalid object name");
    EXPECT_EQ(doc.GetNextVersion(), L"");
    EXPECT_EQ(doc.ErrNumber(), 208);
    EXPECT_EQ(doc.ErrDesc(), L"Invalid object name");
}

TEST_F(VersionNumbering, AnExceptionGivesAnEmptyTextAndRecordsMinusOne) {
    ThrowingAccessor::Register(L"QV_DMVerStrategy");
    DRM::Doc doc;
    doc.Connect(L"recthrow:", 0, L"QVData", L"tok");
    doc.set_currentVersion(L"1.4");
    EXPECT_EQ(doc.GetNextVersion(), L"");
    EXPECT_EQ(doc.ErrNumber(), -1);
    EXPECT_EQ(doc.ErrDesc(), L"boom\n");
}

TEST_F(VersionNumbering, NewDocumentsStartAfresh) {
    EXPECT_EQ(FirstVersion(1, 0, 5, 5), L"1");
    EXPECT_EQ(FirstVersion(2, 0, 1, 0), L"1.0");
    EXPECT_EQ(FirstVersion(2, 0, 3, 2), L"3.2");
    EXPECT_EQ(FirstVersion(7, 0, 0, 1), L"0.1");  // any scheme but 1 uses the begin numbers
}

TEST_F(VersionNumbering, NewDocumentsContinueFromTheRepositoryMaximum) {
    EXPECT_EQ(FirstVersion(1, 1, 0, 0, ZUBDB::DBValue(7.0)), L"7");
    EXPECT_EQ(FirstVersion(1, 1, 0, 0, ZUBDB::DBValue(7.6)), L"7");
    EXPECT_EQ(FirstVersion(1, 1, 0, 0), L"0");  // no documents: the maximum is NULL
    // The main-and-sub scheme starts at the highest main number's first sub,
    // a text the next check-in can advance.
    EXPECT_EQ(FirstVersion(2, 1, 0, 0, ZUBDB::DBValue(3.0)), L"3.0");
    EXPECT_EQ(FirstVersion(2, 1, 0, 0, ZUBDB::DBValue(10.0)), L"10.0");
    EXPECT_EQ(FirstVersion(2, 1, 0, 0), L"0.0");
}

TEST_F(VersionNumbering, InitialVersionStatements) {
    FirstVersion(1, 1, 0, 0, ZUBDB::DBValue(7.0));
    const auto lines = DbLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              L"ExecuteSql select SeriaNumStra,NewDocBeginNum,Begin_Main,Begin_Sub from "
              L"QV_DMVerStrategy");
    EXPECT_EQ(lines[2],
              L"SelectRows QV_DMDoc (max(cast(CurrentVersion as numeric)) as maxVersion) where "
              L"0:DocRepoId=3");
}

TEST_F(VersionNumbering, InitialVersionFailureStopsAddAndKeepsTheVersion) {
    QueueRepo();
    QueueStrategy(1, 1, 0, 0);
    db->FailOn(L"SelectRows", 3, 4060, L"cannot open");  // the maximum look-up
    DRM::Doc doc;
    doc.Connect(L"rec:", 0, L"QVData", L"tok");
    doc.set_docRepoId(3);
    doc.set_fileName(L"n");
    doc.set_ext(L"prt");
    doc.set_currentVersion(L"old");
    EXPECT_EQ(doc.Add(L"/tmp/n.prt"), 4060);
    EXPECT_EQ(doc.currentVersion(), L"old");
    EXPECT_TRUE(NfsLines().empty());
    EXPECT_FALSE(AnyDbOp(L"InsertRow"));
}

TEST_F(VersionNumbering, MainAndSubNumbersOfTheReplacedVersionGoIntoTheHistoryRow) {
    struct Case {
        const wchar_t* version;
        const wchar_t* docName;
        int main;
        int sub;
    };
    for (const Case& c : {Case{L"1.4", L"12_1.4.prt", 1, 4}, Case{L"2", L"12_2.2.prt", 2, 2},
                          Case{L"", L"12_0.0.prt", 0, 0}, Case{L"3.10", L"12_3.10.prt", 3, 10}}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.version)));
        SetUp();
        QueueRepo();
        QueueStrategy(2);
        DRM::Doc doc;
        doc.Connect(L"rec:", 0, L"QVData", L"tok");
        doc.set_docRepoId(3);
        doc.set_id(12);
        doc.set_fileName(L"a");
        doc.set_ext(L"prt");
        doc.set_currentVersion(c.version);
        ASSERT_EQ(doc.SaveToHistory(L""), 0) << doc.ErrDesc();
        std::wstring insert;
        for (const auto& line : DbLines())
            if (line.rfind(L"InsertRow QV_DMDocVer", 0) == 0) insert = line;
        EXPECT_NE(insert.find(L"1:DocName='" + std::wstring(c.docName) + L"'"), std::wstring::npos)
            << insert;
        EXPECT_NE(insert.find(L"8:version_main=" + std::to_wstring(c.main) + L" 9:version_sub=" +
                              std::to_wstring(c.sub) + L" "),
                  std::wstring::npos);
    }
}

}  // namespace

}  // namespace zub::docvault::test
