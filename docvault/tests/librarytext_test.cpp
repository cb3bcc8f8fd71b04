// The library's texts in the language of the process: real errors and
// findings of the library, shown through LibraryText, speak one language.
// CTest runs this program once under a Chinese and once under an English
// environment; --expect=zh|en says which one the run is.
#include <gtest/gtest.h>
#include <libintl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/doc.h"
#include "docvault/errors.h"
#include "docvault/repocheck.h"
#include "embedded_store_fixture.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/i18n.h"
#include "zub/text.h"
#include "zubtest/language.h"

namespace zub::docvault::test {

namespace {

zub::i18n::Language g_expected = zub::i18n::Language::English;

bool Chinese() { return zub::i18n::Current() == zub::i18n::Language::Chinese; }

// What a library error looks like where a program shows it.
struct Reported {
    long number = 0;
    std::wstring text;
};

// The cases' steps, open to the table of cases below.
class LibraryTextTest : public EmbeddedStoreFixture {
public:
    using EmbeddedStoreFixture::FileServer;
    using EmbeddedStoreFixture::OnServer;

    template <class T>
    void Open(T& obj) {
        ASSERT_EQ(obj.Connect(DbServer(), DbPort(), L"QVData", DbToken()), 0);
    }

    int AddUser(const std::wstring& name) {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"UserName", name, false, false, L"=");
        EXPECT_EQ(raw_->InsertRow(L"QV_User", v, L"", L""), 0);
        EXPECT_EQ(raw_->CommitTrans(), 0);
        return static_cast<int>(raw_->LastInsertId());
    }

    // Adds <name>.prt; its number, or the error.
    Reported Add(const std::wstring& name, int& id) {
        DRM::Doc doc;
        Open(doc);
        doc.set_docRepoId(repoId_);
        doc.set_fileName(name);
        doc.set_ext(L"prt");
        doc.set_creById(1);
        doc.set_caxDocType(3);
        const std::string local = "in/" + zub::WideToUtf8(name) + ".prt";
        const int rc = doc.Add(WriteLocal(local, "content").wstring());
        id = doc.id();
        return {rc, rc != 0 ? doc.ErrDesc() : L""};
    }

    Reported CheckOut(int id, int userId, const std::wstring& userName) {
        DRM::Doc doc;
        Open(doc);
        EXPECT_EQ(doc.Read(id), 0);
        doc.set_checkOutById(userId);
        doc.set_checkOutByName(userName);
        const int rc = doc.CheckOut(LocalDir("co-" + zub::WideToUtf8(userName)).wstring());
        return {rc, rc != 0 ? doc.ErrDesc() : L""};
    }

    std::vector<DRM::RepoFinding> Examine() {
        DRM::RepoCheck check;
        Open(check);
        std::vector<DRM::RepoFinding> findings;
        EXPECT_EQ(check.Examine(repoId_, false, findings), 0) << check.ErrDesc();
        return findings;
    }
};

TEST(LibraryTextRun, SpeaksTheLanguageItsEnvironmentChose) {
    EXPECT_EQ(zub::i18n::Current(), g_expected);
}

TEST_F(LibraryTextTest, ErrorsAndFindingsSpeakTheLanguageOfTheProcess) {
    const struct Case {
        const char* what;
        // Produces the text the library reported.
        std::wstring (*produce)(LibraryTextTest&);
        // User data the text carries, which must survive translation.
        const char* userData;
    } cases[] = {
        {"a document added twice",
         [](LibraryTextTest& t) {
             int id = 0;
             EXPECT_EQ(t.Add(L"dup", id).number, 0);
             const Reported r = t.Add(L"dup", id);
             EXPECT_EQ(r.number, DRM::Err::kDocExists);
             return r.text;
         },
         "dup.prt"},
        {"a check-out of a document another user holds",
         [](LibraryTextTest& t) {
             int id = 0;
             EXPECT_EQ(t.Add(L"held", id).number, 0);
             EXPECT_EQ(t.CheckOut(id, t.AddUser(L"bob"), L"bob").number, 0);
             const Reported r = t.CheckOut(id, t.AddUser(L"carol"), L"carol");
             EXPECT_EQ(r.number, DRM::Err::kHeldByOther);
             return r.text;
         },
         "bob"},
        {"a file the file server does not have",
         [](LibraryTextTest& t) {
             NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
             EXPECT_NE(cmd->delFile(t.FileServer(), 0, L"D:\\repo1\\trunk\\gone.prt"), 0);
             wchar_t* raw = nullptr;
             cmd->GetLastError(&raw);
             const std::wstring text = raw != nullptr ? raw : L"";
             NFS::CNFS_Cmd::FreeText(raw);
             return text;
         },
         "gone.prt"},
        {"a database server no backend serves",
         [](LibraryTextTest&) {
             auto& creator = ZUBDB::CDBAccessorCreator::instance();
             EXPECT_FALSE(
                 creator.CreateAccessor(ZUBDB::QVSvrInfo(L"nosuch:place", 0, L"QVData", L""), L""));
             return creator.LastError();
         },
         "nosuch:place"},
        {"a file in trunk no document names",
         [](LibraryTextTest& t) {
             std::ofstream(t.OnServer("trunk/stray.prt")) << "stray";
             for (const DRM::RepoFinding& f : t.Examine())
                 if (f.kind == DRM::RepoFinding::Kind::UntrackedTrunkFile) return f.text;
             ADD_FAILURE() << "no finding";
             return std::wstring();
         },
         "stray.prt"},
        {"a document whose current file is gone",
         [](LibraryTextTest& t) {
             int id = 0;
             EXPECT_EQ(t.Add(L"lost", id).number, 0);
             std::filesystem::remove(t.OnServer("trunk/lost.prt"));
             for (const DRM::RepoFinding& f : t.Examine())
                 if (f.kind == DRM::RepoFinding::Kind::DocFileMissing) return f.text;
             ADD_FAILURE() << "no finding";
             return std::wstring();
         },
         "lost.prt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string reported = zub::WideToUtf8(c.produce(*this));
        ASSERT_FALSE(reported.empty());
        const std::string shown = zub::WideToUtf8(zub::LibraryText(zub::Utf8ToWide(reported)));
        SCOPED_TRACE("reported: " + reported + "\nshown: " + shown);
        EXPECT_NE(shown.find(c.userData), std::string::npos);
        if (Chinese()) {
            EXPECT_TRUE(zub::testsupport::HasCjk(shown));
            EXPECT_EQ(zub::testsupport::EnglishRun(shown), "");
        } else {
            EXPECT_FALSE(zub::testsupport::HasCjk(shown));
        }
    }
}

// Fills a printf template's placeholders with samples[position - 1].
std::string Fill(const std::string& format, const std::vector<std::string>& samples) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::size_t position = next;
        std::size_t k = j;
        while (k < format.size() && format[k] >= '0' && format[k] <= '9') ++k;
        if (k > j && format[k] == '$') {
            position = std::stoul(format.substr(j, k - j)) - 1;
            j = k + 1;
        }
        while (std::strchr("lhz", format[j]) != nullptr) ++j;
        out += position < samples.size() ? samples[position] : "<missing>";
        next = position + 1;
        i = j;
    }
    return out;
}

// Samples for an id's placeholders: numbers where it wants numbers.
std::vector<std::string> Samples(const std::string& id) {
    std::vector<std::string> samples;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (id[i] != '%') continue;
        if (id[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (std::strchr("lhz", id[j]) != nullptr) ++j;
        const std::string n = std::to_string(samples.size() + 1);
        samples.push_back(id[j] == 's' ? "Q" + n + "Q" : "10" + n);
        i = j;
    }
    return samples;
}

TEST(LibraryCatalog, EveryTemplateIsFoundAgainInTheTextsItMakes) {
    const std::vector<std::string> ids = zub::i18n::CatalogIds(zub::i18n::kLibraryDomain);
    std::size_t templates = 0;
    for (const std::string& id : ids) {
        const std::vector<std::string> samples = Samples(id);
        if (samples.empty()) continue;
        ++templates;
        const std::string text = Fill(id, samples);
        const std::string expected =
            Fill(::dgettext(zub::i18n::kLibraryDomain, id.c_str()), samples);
        EXPECT_EQ(zub::LibraryText(text), expected) << "id: " << id;
    }
    // The library's catalog, not an empty one, was read.
    EXPECT_GT(templates, 100u);
}

}  // namespace

}  // namespace zub::docvault::test

int main(int argc, char** argv) {
    zub::i18n::Init(zub::i18n::kLibraryDomain);
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--expect=zh") == 0)
            zub::docvault::test::g_expected = zub::i18n::Language::Chinese;
    return RUN_ALL_TESTS();
}
