#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "bridge_keeper.h"
#include "cadlink/proe_command.h"
#include "cadlink/proe_connector.h"
#include "proebridge2/proe_asyn_connector.h"
#include "proebridge4/proe_asyn_command.h"
#include "registry_sandbox.h"
#include "test_support.h"
#include "zub/se_translator.h"
#include "zub/text.h"
#include "zubtest/files.h"

namespace ZUBCAX {
namespace {

using zub::cadlink::test::RegistrySandbox;

class CadConnector : public ::testing::Test {
protected:
    CadConnector() {
        ZUBPROE2::ResetStandIn();
        ZUBPROE4::ResetStandIn();
    }
    ~CadConnector() override {
        ZUBPROE2::ResetStandIn();
        ZUBPROE4::ResetStandIn();
    }

    // A made-up automation object: only its address travels.
    IDispatch* App() { return reinterpret_cast<IDispatch*>(&appStandIn); }

    RegistrySandbox reg;
    int appStandIn = 0;
};

TEST_F(CadConnector, VersionNamesChooseTheBridge) {
    const struct {
        const wchar_t* version;
        std::size_t loads2;
        std::size_t loads4;
        bool bridgeCommand;
    } cases[] = {
        {L"Wildfire 2.0", 1, 0, false}, {L"Wildfire 3.0", 1, 0, false},
        {L"wildfire 3.0", 1, 0, false}, {L"Wildfire 4.0", 0, 1, true},
        {L"wildfire 4.0", 0, 1, true},  {L"WILDFIRE 5.0", 0, 1, true},
    };
    for (const auto& c : cases) {
        ZUBPROE2::ResetStandIn();
        ZUBPROE4::ResetStandIn();
        ProeConnector connector(3, c.version, L"param");
        CaxCommand* raw = nullptr;
        ASSERT_EQ(connector.NewCommand(App(), raw), 0) << c.version;
        std::unique_ptr<CaxCommand> command(raw);
        EXPECT_EQ(ZUBPROE2::Loads().size(), c.loads2) << c.version;
        EXPECT_EQ(ZUBPROE4::Loads().size(), c.loads4) << c.version;
        auto* proe = dynamic_cast<ProeCommand*>(command.get());
        ASSERT_NE(proe, nullptr);
        EXPECT_EQ(proe->HasBridge(), c.bridgeCommand) << c.version;
        EXPECT_EQ(connector.errNumber(), 0);
        EXPECT_EQ(command->versionName(), c.version);
        EXPECT_EQ(command->creator(), 3);
    }
}

TEST_F(CadConnector, UnknownVersionFailsWith18000AndNoCommand) {
    for (const wchar_t* version : {L"Wildfire 6.0", L"", L"Wildfire 4.0 M030"}) {
        ProeConnector connector(0, version, L"");
        CaxCommand* untouched = reinterpret_cast<CaxCommand*>(&appStandIn);
        EXPECT_EQ(connector.NewCommand(App(), untouched), -1) << version;
        EXPECT_EQ(untouched, reinterpret_cast<CaxCommand*>(&appStandIn));
        EXPECT_EQ(connector.errNumber(), 18000);
        EXPECT_EQ(connector.errText(),
                  std::wstring(L"ZUBCAX::CaxConnector::Connect() error: no CAD bridge for the "
                               L"version \"") +
                      version + L"\"\n");
    }
    EXPECT_TRUE(ZUBPROE2::Loads().empty());
    EXPECT_TRUE(ZUBPROE4::Loads().empty());
}

TEST_F(CadConnector, BridgeGetsTheLauncherOfTheStoredChoice) {
    reg.Install(L"Wildfire 3.0", L"M100", L"/opt/ptc/wf3");
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    reg.StoreChoice(L"Wildfire 3.0");
    ProeConnector connector(1, L"Wildfire 4.0", L"-g:no_graphics");
    CaxCommand* raw = nullptr;
    ASSERT_EQ(connector.NewCommand(App(), raw), 0);
    std::unique_ptr<CaxCommand> command(raw);
    ASSERT_EQ(ZUBPROE4::Loads().size(), 1u);
    const auto& load = ZUBPROE4::Loads().front();
    EXPECT_EQ(load.launcherPath, L"/opt/ptc/wf3/bin/proe1.bat");
    EXPECT_EQ(load.bridgeParam, L"-g:no_graphics");
    EXPECT_EQ(load.application, App());
    EXPECT_EQ(command->appInfo(), L"proebridge4 stand-in; launcher \"/opt/ptc/wf3/bin/proe1.bat\"");
    EXPECT_NE(command->appHandle(), nullptr);
}

TEST_F(CadConnector, FirstConnectionStoresTheLatestVersion) {
    reg.Install(L"Wildfire 5.0", L"M010", L"/opt/ptc/wf5");
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    ProeConnector connector(1, L"Wildfire 2.0", L"");
    CaxCommand* raw = nullptr;
    ASSERT_EQ(connector.NewCommand(nullptr, raw), 0);
    delete raw;
    ASSERT_EQ(ZUBPROE2::Loads().size(), 1u);
    EXPECT_EQ(ZUBPROE2::Loads().front().launcherPath, L"/opt/ptc/wf5/bin/proe1.bat");
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 5.0");
    EXPECT_EQ(reg.MessageServer(), L"/opt/ptc/wf5/i486_nt/obj/pro_comm_msg.exe");
}

TEST_F(CadConnector, FailedBridgeLoadStillGivesACommand) {
    ProeConnector connector(1, L"Wildfire 4.0", L"");
    CaxCommand* raw = nullptr;
    ASSERT_EQ(connector.NewCommand(App(), raw), 0);
    std::unique_ptr<CaxCommand> command(raw);
    ASSERT_EQ(ZUBPROE4::Loads().size(), 1u);
    EXPECT_EQ(ZUBPROE4::Loads().front().launcherPath, L"");
    EXPECT_EQ(command->appInfo(),
              L"proebridge4 stand-in; no launcher (Pro/ENGINEER not installed)");
}

TEST_F(CadConnector, EveryCommandLoadsThroughANewBridgeThatOutlivesTheConnector) {
    const std::size_t before = KeptBridgeCount();
    std::unique_ptr<CaxCommand> first;
    std::unique_ptr<CaxCommand> second;
    {
        ProeConnector connector(1, L"Wildfire 5.0", L"");
        CaxCommand* raw = nullptr;
        ASSERT_EQ(connector.NewCommand(App(), raw), 0);
        first.reset(raw);
        ASSERT_EQ(connector.NewCommand(App(), raw), 0);
        second.reset(raw);
    }
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(ZUBPROE4::Loads().size(), 2u);
    EXPECT_EQ(KeptBridgeCount(), before + 2);
    EXPECT_TRUE(second->ConnIsValid());
}

TEST_F(CadConnector, ConnectingInstallsTheFaultTranslatorOnTheCallingThread) {
    bool before = true;
    bool after = false;
    std::thread caller([&] {
        before = ZUBBASE::SeTranslatorInstalled();
        ProeConnector connector(1, L"Wildfire 6.0", L"");
        CaxCommand* raw = nullptr;
        connector.NewCommand(nullptr, raw);
        after = ZUBBASE::SeTranslatorInstalled();
    });
    caller.join();
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
}

TEST_F(CadConnector, EndToEndThroughTheStandInBridge) {
    zub::testsupport::WriteFile(
        reg.path() / "bracket.prt",
        "dep washer.prt\ndep bolt.prt\n"
        "table bom\nrow id=1\tqty=2.5\tnote=steel\nrow id=2\tqty=4\tCAXS_flag=1\n"
        "table parts\nrow number=P-1\tname=bracket\tmass=0.25\n");
    ProeConnector connector(1, L"Wildfire 4.0", L"");
    CaxCommand* raw = nullptr;
    ASSERT_EQ(connector.NewCommand(App(), raw), 0);
    std::unique_ptr<CaxCommand> command(raw);

    ASSERT_EQ(command->OpenFile(reg.file("bracket.prt")), 0) << zub::WideToUtf8(command->errText());
    std::wstring deps;
    ASSERT_EQ(command->GetDependencies(deps), 0);
    EXPECT_EQ(deps, L"washer.prt\nbolt.prt");

    ASSERT_EQ(command->RefreshTable(L"bom,parts", reg.file("out.db")), 0)
        << zub::WideToUtf8(command->errText());
    EXPECT_EQ(zub::cadlink::test::TableNames(reg.path() / "out.db"),
              (std::vector<std::string>{"CAXS_2_bom", "CAXS_2_parts"}));
    EXPECT_EQ(zub::cadlink::test::ColumnNames(reg.path() / "out.db", "CAXS_2_bom"),
              (std::vector<std::string>{"id", "qty", "note", "CAXS_flag"}));

    // Rows come back into the model and are saved with it.
    EXPECT_EQ(command->UpdateTable(L"bom", reg.file("out.db")), 0);
    std::wstring saved;
    ASSERT_EQ(command->SaveFile(saved), 0);
    EXPECT_EQ(saved, reg.file("bracket.prt"));
    const std::string text = zub::testsupport::ReadFile(reg.path() / "bracket.prt");
    EXPECT_NE(text.find("row id=1\tqty=2.5\tnote=steel\tCAXS_flag=0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("row id=2\tqty=4.0\tCAXS_flag=1\n"), std::string::npos) << text;

    EXPECT_EQ(command->CloseFile(L"whatever.prt"), 0);
    EXPECT_EQ(ZUBPROE4::Calls().back(), L"CloseFile()");
    EXPECT_EQ(command->OpenFile(reg.file("missing.prt")),
              ZUBPROE4::ProeAsynCommand::kModelNotFound);
    EXPECT_EQ(command->errNumber(), ZUBPROE4::ProeAsynCommand::kModelNotFound);
    EXPECT_EQ(command->errText(), L"model file not found: " + reg.file("missing.prt"));
}

}  // namespace
}  // namespace ZUBCAX
