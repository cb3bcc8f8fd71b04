#include "kitsetup/script_loader.h"

#include "kitsetup/lists.h"
#include "xml_doc.h"

namespace kitsetup {

namespace {

OverwriteMode MapOverwrite(const std::wstring& v) {
    if (v == L"kowAlways") return kowAlways;
    if (v == L"kowTime") return kowTime;
    if (v == L"kowVersion") return kowVersion;
    if (v == L"kowVerThenTm") return kowVerThenTm;
    return kowNever;
}

int MapCheckKind(const std::wstring& v) { return v == L"chkService" ? chkService : chkRegKey; }

ActionType MapActionType(const std::wstring& v) {
    if (v == L"RunProgNoWait") return RunProgNoWait;
    if (v == L"RunProgDelay") return RunProgDelay;
    return RunProgWait;
}

ExePosition MapExePosition(const std::wstring& v) {
    return v == L"exeCurrentPath" ? exeCurrentPath : exeInstallPath;
}

void LoadGeneral(const XmlDoc& doc, Script& s) {
    const xmlNodePtr n = doc.First("/root/GENERAL");
    GeneralInfo& g = s.general;
    g = GeneralInfo{};
    g.companyName = ReadStr(n, "companyName");
    g.companyAlias = ReadStr(n, "companyAlias");
    g.productName = ReadStr(n, "productName");
    g.productAlias = ReadStr(n, "productAlias");
    g.productInReg = ReadStr(n, "productInReg");
    g.version = ReadStr(n, "version");
    g.showUnInstallModule = ReadBool(n, "showUnInstallModule");
    g.enableUnInstallModule = ReadBool(n, "enableUnInstallModule");
    g.showFlash = ReadBoolDefaultTrue(n, "showFlash");
    g.showLicense = ReadBoolDefaultTrue(n, "showLicense");
    g.promptRestart = ReadBoolDefaultTrue(n, "promptRestart");
    s.debug = ReadBool(n, "debug");
}

void LoadInstallTypes(const XmlDoc& doc, Script& s) {
    for (const auto n : doc.All("/root/INSTALLTYPES/INSTALLTYPE")) {
        InstallType t;
        t.mds = ReadStr(n, "mds");
        t.name = ReadStr(n, "name");
        s.installTypes.push_back(std::move(t));
    }
}

void LoadModules(const XmlDoc& doc, Script& s) {
    int index = 0;
    for (const auto n : doc.All("/root/MODULES/MODULE")) {
        Module m;
        m.name = ReadStr(n, "name");
        m.caption = ReadStr(n, "caption");
        m.fgs = ReadStr(n, "fgs");
        m.checks = ReadStr(n, "checks");
        m.beforeInstall = ReadStr(n, "beforeInstall");
        m.afterInstall = ReadStr(n, "afterInstall");
        m.beforeRemove = ReadStr(n, "beforeRemove");
        m.afterRemove = ReadStr(n, "afterRemove");
        m.beforeUpgrade = ReadStr(n, "beforeUpgrade");
        m.afterUpgrade = ReadStr(n, "afterUpgrade");
        m.index = index++;
        s.modules.names.push_back(m.name);
        s.modules.map.emplace(m.name, std::move(m));
    }
}

void LoadActions(const XmlDoc& doc, Script& s) {
    for (const auto n : doc.All("/root/ACTIONS/ACTION")) {
        Action a;
        a.name = ReadStr(n, "name");
        a.actionType = MapActionType(ReadStr(n, "actionType"));
        a.progName = ReadStr(n, "progName");
        a.progParas = ReadStr(n, "progParas");
        a.exePostion = MapExePosition(ReadStr(n, "exePostion"));
        s.actions.emplace(a.name, std::move(a));
    }
}

void LoadChecks(const XmlDoc& doc, Script& s) {
    for (const auto n : doc.All("/root/CHECKS/CHECK")) {
        Check c;
        const auto paras = SplitList(ReadStr(n, "paras"), L",");
        if (!paras.empty()) c.kind = MapCheckKind(paras[0]);
        if (paras.size() >= 2) {
            c.parameter = paras[1];
            c.complete = true;
        }
        c.name = ReadStr(n, "name");
        c.actionsWhenFails = ReadStr(n, "actionsWhenFails");
        c.failMsg = ReadStr(n, "failMsg");
        c.caption = ReadStr(n, "caption");
        s.checks.emplace(c.name, std::move(c));
    }
}

void LoadFileGroups(const XmlDoc& doc, Script& s) {
    for (const auto n : doc.All("/root/FILEGROUPS/FILEGROUP")) {
        FileGroup g;
        g.name = ReadStr(n, "name");
        g.desc = ReadStr(n, "desc");
        g.dependOn = ReadStr(n, "dependOn");
        g.target = ReadStr(n, "target");
        g.overwrite = MapOverwrite(ReadStr(n, "overwrite"));
        g.reg = ReadBool(n, "reg");
        g.asmreg = ReadBool(n, "asmreg");
        g.uninstall = ReadBool(n, "uninstall");
        g.files = ReadStr(n, "files");
        s.fileGroups.emplace(g.name, std::move(g));
    }
}

void LoadMenus(const XmlDoc& doc, Script& s) {
    for (const auto n : doc.All("/root/MENUS/MENU")) {
        MenuItem m;
        m.txt = ReadStr(n, "txt");
        m.target = ReadStr(n, "target");
        m.shortcut = ReadBool(n, "shortcut");
        m.dependnOn = ReadStr(n, "dependnOn");
        m.isSpecial = ReadBool(n, "isSpecial");
        s.menus.push_back(std::move(m));
    }
}

int Load(XmlDoc& doc, bool parsed, Script& out, ErrorInfo& error) {
    if (!parsed) {
        error = doc.error;
        return 1;
    }
    out = Script{};
    LoadGeneral(doc, out);
    LoadInstallTypes(doc, out);
    LoadModules(doc, out);
    LoadActions(doc, out);
    LoadChecks(doc, out);
    LoadFileGroups(doc, out);
    LoadMenus(doc, out);
    doc.Release();
    return 0;
}

}  // namespace

const Module* Modules::Find(const std::wstring& name) const {
    const auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

int LoadScriptFile(const std::string& path, Script& out, ErrorInfo& error) {
    XmlDoc doc;
    const bool parsed = doc.ParseFile(path);
    return Load(doc, parsed, out, error);
}

int LoadScriptMemory(const char* data, std::size_t size, Script& out, ErrorInfo& error) {
    XmlDoc doc;
    const bool parsed = doc.ParseMemory(data, size);
    return Load(doc, parsed, out, error);
}

}  // namespace kitsetup
