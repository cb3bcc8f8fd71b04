#include "kitsetup/script_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "zubtest/tempdir.h"

namespace zub::kitsetup {
namespace {

namespace fs = std::filesystem;

Script Load(const std::string& xml, int expect = 0) {
    Script s;
    ErrorInfo e;
    EXPECT_EQ(LoadScriptMemory(xml.data(), xml.size(), s, e), expect) << xml;
    return s;
}

std::string General(const std::string& attrs) { return "<root><GENERAL " + attrs + "/></root>"; }

TEST(ScriptLoader, BooleanRules) {
    struct Case {
        std::string attr;
        bool plain;        // showUnInstallModule
        bool defaultTrue;  // showFlash
    } cases[] = {
        {"", false, true},       {"=\"\"", false, false},    {"=\"0\"", false, false},
        {"=\"1\"", true, true},  {"=\"false\"", true, true}, {"=\"no\"", true, true},
        {"=\" 0\"", true, true},
    };
    for (const auto& c : cases) {
        const std::string attrs = c.attr.empty() ? std::string()
                                                 : "showUnInstallModule" + c.attr + " showFlash" +
                                                       c.attr + " debug" + c.attr;
        const Script s = Load(General(attrs));
        EXPECT_EQ(s.general.showUnInstallModule, c.plain) << c.attr;
        EXPECT_EQ(s.debug, c.plain) << c.attr;
        EXPECT_EQ(s.general.showFlash, c.defaultTrue) << c.attr;
    }
}

TEST(ScriptLoader, GeneralFieldsAndDefaults) {
    const Script s = Load(
        "<root><GENERAL companyName='Co' companyAlias='co' productName='产品' productAlias='pa' "
        "productInReg='pr' version='2.1' enableUnInstallModule='1' showLicense='0' "
        "promptRestart=''/><GENERAL productName='second'/></root>");
    const GeneralInfo& g = s.general;
    EXPECT_EQ(g.companyName, L"Co");
    EXPECT_EQ(g.companyAlias, L"co");
    EXPECT_EQ(g.productName, L"产品");  // the first GENERAL only
    EXPECT_EQ(g.productAlias, L"pa");
    EXPECT_EQ(g.productInReg, L"pr");
    EXPECT_EQ(g.version, L"2.1");
    EXPECT_TRUE(g.enableUnInstallModule);
    EXPECT_FALSE(g.showUnInstallModule);
    EXPECT_TRUE(g.showFlash);
    EXPECT_FALSE(g.showLicense);
    EXPECT_FALSE(g.promptRestart);
    EXPECT_FALSE(s.debug);
}

TEST(ScriptLoader, MissingSectionsAreEmpty) {
    const Script s = Load("<root/>");
    EXPECT_TRUE(s.general.productName.empty());
    EXPECT_TRUE(s.general.showFlash);
    EXPECT_TRUE(s.general.showLicense);
    EXPECT_TRUE(s.general.promptRestart);
    EXPECT_TRUE(s.installTypes.empty());
    EXPECT_TRUE(s.modules.map.empty());
    EXPECT_TRUE(s.modules.names.empty());
    EXPECT_TRUE(s.fileGroups.empty());
    EXPECT_TRUE(s.menus.empty());
    EXPECT_TRUE(s.checks.empty());
    EXPECT_TRUE(s.actions.empty());
    // Another root element names no section.
    EXPECT_TRUE(Load("<other><GENERAL productName='x'/></other>").general.productName.empty());
}

TEST(ScriptLoader, ModulesKeepDocumentIndexFirstDuplicateWins) {
    const Script s = Load(
        "<root><MODULES>"
        "<MODULE name='B' caption='b' fgs='f1,,f2' checks='c' beforeInstall='x' "
        "afterInstall='y' beforeRemove='r1' afterRemove='r2' beforeUpgrade='u1' "
        "afterUpgrade='u2'/>"
        "<MODULE name='A' fgs=''/>"
        "<MODULE name='B' caption='dup'/>"
        "</MODULES></root>");
    EXPECT_EQ(s.modules.names, (std::vector<std::wstring>{L"B", L"A", L"B"}));
    ASSERT_EQ(s.modules.map.size(), 2u);
    EXPECT_EQ(s.modules.map.begin()->first, L"A");
    const Module* b = s.modules.Find(L"B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->index, 0);
    EXPECT_EQ(b->caption, L"b");
    EXPECT_EQ(b->fgs, L"f1,,f2");
    EXPECT_EQ(b->checks, L"c");
    EXPECT_EQ(b->beforeInstall, L"x");
    EXPECT_EQ(b->afterInstall, L"y");
    EXPECT_EQ(b->beforeRemove, L"r1");
    EXPECT_EQ(b->afterRemove, L"r2");
    EXPECT_EQ(b->beforeUpgrade, L"u1");
    EXPECT_EQ(b->afterUpgrade, L"u2");
    EXPECT_EQ(s.modules.Find(L"A")->index, 1);
    EXPECT_EQ(s.modules.Find(L"a"), nullptr);
}

TEST(ScriptLoader, EnumerationsAreExactWithDefaults) {
    struct Case {
        std::string value;
        OverwriteMode mode;
    } modes[] = {{"kowNever", kowNever},
                 {"kowAlways", kowAlways},
                 {"kowTime", kowTime},
                 {"kowVersion", kowVersion},
                 {"kowVerThenTm", kowVerThenTm},
                 {"KOWALWAYS", kowNever},
                 {"", kowNever},
                 {"kowAlways ", kowNever}};
    for (const auto& c : modes) {
        const Script s = Load("<root><FILEGROUPS><FILEGROUP name='g' target='0' overwrite='" +
                              c.value + "'/></FILEGROUPS></root>");
        EXPECT_EQ(s.fileGroups.at(L"g").overwrite, c.mode) << c.value;
    }
    const Script s = Load(
        "<root><ACTIONS>"
        "<ACTION name='w'/>"
        "<ACTION name='n' actionType='RunProgNoWait' exePostion='exeCurrentPath'/>"
        "<ACTION name='d' actionType='RunProgDelay' exePostion='exeInstallPath'/>"
        "<ACTION name='x' actionType='runprognowait' exePostion='ExeCurrentPath'/>"
        "</ACTIONS><CHECKS>"
        "<CHECK name='s' paras='chkService,svc'/>"
        "<CHECK name='r' paras='chkregkey,HKEY_USERS\\x'/>"
        "</CHECKS></root>");
    EXPECT_EQ(s.actions.at(L"w").actionType, RunProgWait);
    EXPECT_EQ(s.actions.at(L"w").exePostion, exeInstallPath);
    EXPECT_EQ(s.actions.at(L"n").actionType, RunProgNoWait);
    EXPECT_EQ(s.actions.at(L"n").exePostion, exeCurrentPath);
    EXPECT_EQ(s.actions.at(L"d").actionType, RunProgDelay);
    EXPECT_EQ(s.actions.at(L"x").actionType, RunProgWait);
    EXPECT_EQ(s.actions.at(L"x").exePostion, exeInstallPath);
    EXPECT_EQ(s.checks.at(L"s").kind, chkService);
    EXPECT_EQ(s.checks.at(L"r").kind, chkRegKey);
}

TEST(ScriptLoader, RecordsOfEverySection) {
    const Script s = Load(
        "<root>"
        "<INSTALLTYPES><INSTALLTYPE name='典型' mds='m1,m2'/><INSTALLTYPE/></INSTALLTYPES>"
        "<FILEGROUPS><FILEGROUP name='g' desc='d' dependOn='o' target='0\\bin' reg='1' "
        "asmreg='1' uninstall='1' files='a.so,b'/>"
        "<FILEGROUP name='g' target='dup'/></FILEGROUPS>"
        "<MENUS><MENU txt='Zub\\Vault' target='bin\\vault' shortcut='1' dependnOn='g' "
        "isSpecial='0'/><MENU txt='x' isSpecial='yes'/></MENUS>"
        "<CHECKS><CHECK name='c' paras='chkRegKey,HKEY_LOCAL_MACHINE\\a||HKEY_USERS\\b,extra' "
        "actionsWhenFails='fix' failMsg='装' caption='cap'/></CHECKS>"
        "<ACTIONS><ACTION name='a' progName='p' progParas='%p x'/>"
        "<ACTION name='a' progName='dup'/></ACTIONS>"
        "</root>");
    ASSERT_EQ(s.installTypes.size(), 2u);
    EXPECT_EQ(s.installTypes[0].name, L"典型");
    EXPECT_EQ(s.installTypes[0].mds, L"m1,m2");
    EXPECT_EQ(s.installTypes[1].name, L"");

    ASSERT_EQ(s.fileGroups.size(), 1u);
    const FileGroup& g = s.fileGroups.at(L"g");
    EXPECT_EQ(g.desc, L"d");
    EXPECT_EQ(g.dependOn, L"o");
    EXPECT_EQ(g.target, L"0\\bin");
    EXPECT_TRUE(g.reg);
    EXPECT_TRUE(g.asmreg);
    EXPECT_TRUE(g.uninstall);
    EXPECT_EQ(g.files, L"a.so,b");

    ASSERT_EQ(s.menus.size(), 2u);
    EXPECT_EQ(s.menus[0].txt, L"Zub\\Vault");
    EXPECT_EQ(s.menus[0].target, L"bin\\vault");
    EXPECT_TRUE(s.menus[0].shortcut);
    EXPECT_EQ(s.menus[0].dependnOn, L"g");
    EXPECT_FALSE(s.menus[0].isSpecial);
    EXPECT_TRUE(s.menus[1].isSpecial);
    EXPECT_FALSE(s.menus[1].shortcut);

    const Check& c = s.checks.at(L"c");
    EXPECT_EQ(c.kind, chkRegKey);
    EXPECT_EQ(c.parameter, L"HKEY_LOCAL_MACHINE\\a||HKEY_USERS\\b");
    EXPECT_TRUE(c.complete);
    EXPECT_EQ(c.actionsWhenFails, L"fix");
    EXPECT_EQ(c.failMsg, L"装");
    EXPECT_EQ(c.caption, L"cap");

    EXPECT_EQ(s.actions.at(L"a").progName, L"p");
    EXPECT_EQ(s.actions.at(L"a").progParas, L"%p x");
}

TEST(ScriptLoader, ChecksWithoutParameterAreIncomplete) {
    const Script s = Load(
        "<root><CHECKS><CHECK name='none'/><CHECK name='one' paras='chkService'/>"
        "<CHECK name='emptyparam' paras='chkService,'/></CHECKS></root>");
    EXPECT_FALSE(s.checks.at(L"none").complete);
    EXPECT_FALSE(s.checks.at(L"one").complete);
    EXPECT_EQ(s.checks.at(L"one").kind, chkService);
    EXPECT_TRUE(s.checks.at(L"one").parameter.empty());
    // "chkService," splits into one item: the trailing separator adds none.
    EXPECT_FALSE(s.checks.at(L"emptyparam").complete);
}

TEST(ScriptLoader, MalformedOrMissingFilesFailWithTheParseMessage) {
    for (const std::string xml : {"", "<root>", "<root></ROOT>", "not xml", "<a/><b/>"}) {
        Script s;
        s.general.productName = L"kept";
        ErrorInfo e;
        EXPECT_EQ(LoadScriptMemory(xml.data(), xml.size(), s, e), 1) << xml;
        EXPECT_EQ(e.code, 1);
        EXPECT_EQ(e.message, L"Document not parsed successfully. \n");
        EXPECT_EQ(s.general.productName, L"kept");  // nothing loaded
    }
    Script s;
    ErrorInfo e;
    EXPECT_EQ(LoadScriptFile("/nonexistent/install.xml", s, e), 1);
    EXPECT_EQ(e.code, 1);
}

TEST(ScriptLoader, ReadsAFileInItsDeclaredEncoding) {
    const zub::testsupport::TempDir dir("kitsetup-load");
    const fs::path file = dir.path() / "install.xml";
    {
        std::ofstream out(file, std::ios::binary);
        // "产品" in GB2312.
        out << "<?xml version='1.0' encoding='GB2312'?>\n<root><GENERAL productName='"
            << "\xb2\xfa\xc6\xb7"
            << "'/></root>";
    }
    Script s;
    ErrorInfo e;
    EXPECT_EQ(LoadScriptFile(file.string(), s, e), 0);
    EXPECT_EQ(s.general.productName, L"产品");
}

}  // namespace
}  // namespace zub::kitsetup
