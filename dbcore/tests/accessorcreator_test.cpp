#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/cdbconnstate.h"
#include "dbcore/embeddedstore.h"
#include "testsupport.h"
#include "zub/text.h"

using ZUBDB::CDBAccessor;
using ZUBDB::CDBAccessorCreator;
using ZUBDB::CDBConnState;
using ZUBDB::CDBRecordset;
using ZUBDB::QVParams;
using ZUBDB::QVSvrInfo;

namespace {

// Stands in for another backend; only reports what it was made from.
class NamedAccessor : public CDBAccessor {
public:
    explicit NamedAccessor(std::wstring what) : what_(std::move(what)) {}
    int InsertRow(const std::wstring&, const QVParams&, const std::wstring&,
                  const std::wstring&) override {
        return 1;
    }
    int UpdateRows(const std::wstring&, const QVParams&, const QVParams&, const std::wstring&,
                   const std::wstring&) override {
        return 1;
    }
    int DeleteRows(const std::wstring&, const QVParams&, const std::wstring&,
                   const std::wstring&) override {
        return 1;
    }
    int SelectRows(std::unique_ptr<CDBRecordset>& out, const std::wstring&, const std::wstring&,
                   const QVParams&, const std::wstring&, const std::wstring&, const std::wstring&,
                   int, int) override {
        out = std::make_unique<CDBRecordset>(std::vector<std::wstring>{L"what"});
        out->AddRow({what_});
        return 0;
    }
    int ExecuteSql(std::unique_ptr<CDBRecordset>&, const std::wstring&, const QVParams&,
                   const std::wstring&, int, int) override {
        return 1;
    }
    int BeginTrans() override { return 0; }
    int CommitTrans() override { return 0; }
    int RollbackTrans() override { return 0; }
    long long LastInsertId() const override { return 0; }

private:
    std::wstring what_;
};

std::wstring FirstPersonName(CDBAccessor& a) {
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(a.SelectRows(rs, L"Person", L"PersonName", QVParams(false), L"", L"", L"", 0, 0), 0)
        << zub::WideToUtf8(a.errDescription());
    return rs ? rs->GetStringAt(0) : L"";
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

}  // namespace

TEST(CDBConnState, KeepsServerPortDatabaseTokenAndFlag) {
    CDBConnState s(L"sqlite:/x", 1433, L"QVData", L"", 0, L"", false, ZUBDB::ZUB_APPNO_DOCVAULT,
                   L"", false, 0, L"");
    EXPECT_EQ(s.server(), L"sqlite:/x");
    EXPECT_EQ(s.port(), 1433);
    EXPECT_EQ(s.database(), L"QVData");
    EXPECT_EQ(s.appNo(), ZUBDB::ZUB_APPNO_DOCVAULT);
    EXPECT_FALSE(s.usable());
    s.set_token(L"tok");
    s.set_usable(true);
    CDBConnState copy = s;
    copy.set_database(L"QVSystem");
    EXPECT_EQ(copy.token(), L"tok");
    EXPECT_TRUE(copy.usable());
    EXPECT_EQ(s.database(), L"QVData");
}

TEST(CDBAccessorCreator, EmbeddedLocatorOpensTheNamedDatabaseOfTheStore) {
    zub::dbcore::test::TempStore store;
    auto& creator = CDBAccessorCreator::instance();
    CDBConnState state(ZUBDB::EmbeddedLocator(store.dir()), 0, L"Data", L"", 0, L"", false,
                       ZUBDB::ZUB_APPNO_DOCVAULT, L"", false, 0, L"");
    auto product = creator.CreateAccessor(state, L"token");
    ASSERT_TRUE(product) << zub::WideToUtf8(creator.LastError());
    EXPECT_EQ(creator.LastError(), L"");
    EXPECT_EQ(FirstPersonName(*product), L"system");

    auto system = store.ConnectSystem();
    std::unique_ptr<CDBRecordset> rs;
    ASSERT_EQ(system->SelectRows(rs, L"SysInfo", L"sysPwd", QVParams(false), L"", L"", L"", 0, 0),
              0);
    EXPECT_EQ(rs->GetRecordCount(), 1);
}

TEST(CDBAccessorCreator, LocalFormOpensTheFileDirectly) {
    zub::dbcore::test::TempStore store;
    auto& creator = CDBAccessorCreator::instance();
    std::wstring path = zub::Utf8ToWide(store.dataFile());
    auto a = creator.CreateAccessor(path, L"");
    ASSERT_TRUE(a);
    EXPECT_EQ(FirstPersonName(*a), L"system");

    EXPECT_FALSE(creator.CreateAccessor(path + L".missing", L""));
    EXPECT_TRUE(Contains(creator.LastError(), L".missing"));
    EXPECT_FALSE(creator.CreateAccessor(std::wstring(), L""));
    EXPECT_FALSE(creator.LastError().empty());
}

TEST(CDBAccessorCreator, FailuresGiveNullAndSayWhy) {
    zub::dbcore::test::TempStore store;
    auto& creator = CDBAccessorCreator::instance();
    std::wstring locator = ZUBDB::EmbeddedLocator(store.dir());

    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"dbhost", 1433, L"Data", L""), L""));
    EXPECT_TRUE(Contains(creator.LastError(), L"dbhost"));

    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"nosuch:x", 0, L"Data", L""), L""));
    EXPECT_TRUE(Contains(creator.LastError(), L"nosuch:x"));

    // A store without that database: the file is not created on the way.
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"Other", L""), L""));
    EXPECT_TRUE(Contains(creator.LastError(), L"Other.sqlite3"));
    EXPECT_FALSE(std::filesystem::exists(store.dir() + "/Other.sqlite3"));

    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"", L""), L""));
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"../Data", L""), L""));
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"..", L""), L""));
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"sqlite:", 0, L"Data", L""), L""));

    // A file that is no database.
    {
        std::ofstream(store.dir() + "/Junk.sqlite3")
            << "not a database, just some text of some length";
    }
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"Junk", L""), L""));
    EXPECT_TRUE(Contains(creator.LastError(), L"26")) << "SQLITE_NOTADB expected";

    // A success clears the reason.
    EXPECT_TRUE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"Data", L""), L""));
    EXPECT_EQ(creator.LastError(), L"");
}

TEST(CDBAccessorCreator, BackendsAreRegisteredBySchemeIgnoringCase) {
    auto& creator = CDBAccessorCreator::instance();
    creator.RegisterBackend(L"fake", [](const QVSvrInfo& s, const std::wstring& token) {
        return std::make_unique<NamedAccessor>(s.server() + L"|" + s.database() + L"|" + token);
    });
    auto a = creator.CreateAccessor(QVSvrInfo(L"FAKE:here", 5, L"db", L""), L"tok");
    ASSERT_TRUE(a);
    std::unique_ptr<CDBRecordset> rs;
    a->SelectRows(rs, L"t", L"", QVParams(false), L"", L"", L"", 0, 0);
    EXPECT_EQ(rs->GetString(L"what"), L"FAKE:here|db|tok");

    creator.RegisterBackend(
        L"fake", [](const QVSvrInfo&, const std::wstring&) -> std::unique_ptr<CDBAccessor> {
            throw std::runtime_error("fake backend is down");
        });
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"fake:here", 5, L"db", L""), L""));
    EXPECT_EQ(creator.LastError(), L"fake backend is down");

    creator.RegisterBackend(L"fake", [](const QVSvrInfo&, const std::wstring&) {
        return std::unique_ptr<CDBAccessor>();
    });
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"fake:here", 5, L"db", L""), L""));
    EXPECT_FALSE(creator.LastError().empty());

    creator.UnregisterBackend(L"Fake");
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"fake:here", 5, L"db", L""), L""));
    EXPECT_TRUE(Contains(creator.LastError(), L"fake:here"));
}

TEST(CDBAccessorCreator, LastErrorBelongsToTheCallingThread) {
    auto& creator = CDBAccessorCreator::instance();
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(L"nowhere", 0, L"db", L""), L""));
    std::wstring other = L"unset";
    std::thread([&] { other = creator.LastError(); }).join();
    EXPECT_EQ(other, L"");
    EXPECT_FALSE(creator.LastError().empty());
}
