#include "kitsetup/script_loader.h"

#include <algorithm>
#include <utility>

#include "kitsetup/lists.h"
#include "kitsetup/string_table.h"
#include "xml_doc.h"

namespace zub::kitsetup {

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

int Line(xmlNodePtr n) { return n == nullptr ? 0 : static_cast<int>(xmlGetLineNo(n)); }

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
    g.line = Line(n);
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
        g.onPath = ReadBool(n, "onPath");
        g.line = Line(n);
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
        m.terminal = ReadBool(n, "terminal");
        m.icon = ReadStr(n, "icon");
        m.line = Line(n);
        s.menus.push_back(std::move(m));
    }
}

// Every place the script writes to stays inside the folder it names; a
// script that says otherwise is refused before anything is installed.
int CheckPlaces(const Script& s, ErrorInfo& error) {
    const auto refuse = [&](int line, const std::wstring& what) {
        error.Set(1, Fmt(tr("install.xml 第 %d 行：%s"), line, what));
        return 1;
    };
    const GeneralInfo& g = s.general;
    for (const auto& [name, value] :
         {std::pair{L"companyAlias", g.companyAlias}, std::pair{L"productAlias", g.productAlias}}) {
        if (value == L"." || value == L".." || value.find_first_of(L"/\\") != std::wstring::npos)
            return refuse(g.line, Fmt(tr("GENERAL 的 %s \"%s\" 不是一个文件夹名"), name, value));
    }
    for (const auto& [name, fg] : s.fileGroups) {
        if (fg.target.empty() || (fg.target[0] != L'0' && fg.target[0] != L'1'))
            return refuse(fg.line, Fmt(tr("FILEGROUP %s 的 target \"%s\" 不以位置代码 0 或 1 开头"),
                                       name, fg.target));
        // The rest is appended to the folder: a leading separator is no root.
        std::wstring rest = fg.target.substr(1);
        rest.erase(0, std::min(rest.size(), rest.find_first_not_of(L"/\\")));
        if (!StaysBelow(rest))
            return refuse(fg.line, Fmt(tr("FILEGROUP %s 的 target \"%s\" 超出了它指定的文件夹"),
                                       name, fg.target));
        for (const auto& entry : SplitList(fg.files, L",")) {
            if (!StaysBelow(entry))
                return refuse(fg.line,
                              Fmt(tr("FILEGROUP %s 的文件 \"%s\" 超出了它的文件夹"), name, entry));
        }
    }
    for (const auto& m : s.menus) {
        if (!StaysBelow(m.txt))
            return refuse(m.line, Fmt(tr("MENU \"%s\" 超出了菜单文件夹"), m.txt));
        if (!StaysBelow(m.icon))
            return refuse(m.line,
                          Fmt(tr("MENU \"%s\" 的 icon \"%s\" 超出了安装目录"), m.txt, m.icon));
    }
    return 0;
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
    return CheckPlaces(out, error);
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

}  // namespace zub::kitsetup
