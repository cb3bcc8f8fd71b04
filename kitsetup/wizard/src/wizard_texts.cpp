#include "wizard/wizard_texts.h"

#include <QLocale>
#include <algorithm>
#include <map>

#include "kitsetup/lists.h"

namespace zub::kitsetup {

const wchar_t* Text(int id) {
    static const std::map<int, const char*> own = {
        {kTextNotAbsolute, ZUB_N_("请输入安装文件夹的完整路径（以 / 开头）。")},
        {kTextNotFolder, ZUB_N_("无法安装到 %s：%s 是文件，不是文件夹。")},
        {kTextNotWritable, ZUB_N_("无法安装到 %s：文件夹 %s 不能写入。")},
        {kTextNoSpace, ZUB_N_("无法安装到 %s：磁盘空间不足，需要 %s，可用 %s。")},
        {kTextSpace, ZUB_N_("所需空间：%s        可用空间：%s")},
        {kTextSpaceUnknown, ZUB_N_("所需空间：%s")},
        {kTextFinishFailed, ZUB_N_("未能完成安装[%s]")},
        {kTextLogAt, ZUB_N_("安装日志：%s")},
        {kTextFailedSeeLog, ZUB_N_("安装失败，详细消息请查看安装日志：\n%s")},
        {kTextFailedNoLog, ZUB_N_("安装失败，安装日志未能写入。")},
        {kTextNothingSeeLog,
         ZUB_N_("配置文件存在错误：所选模块没有要安装的文件。详细信息请参考安装日志：\n%s")},
        {kTextNothingNoLog, ZUB_N_("配置文件存在错误：所选模块没有要安装的文件。")},
        {kTextNotFolderCaption, ZUB_N_("不是文件夹")},
    };
    const auto it = own.find(id);
    return it != own.end() ? Translated(it->second) : LoadStr(id);
}

QString Breakable(const QString& path) {
    QString s = path;
    s.replace(QLatin1Char('/'), QStringLiteral("/\u200b"));
    return s;
}

QString SizeText(unsigned long long bytes) {
    if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
    return QLocale(QLocale::C)
        .formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

std::wstring ConfirmationText(const std::wstring& installPath, const std::wstring& selection,
                              const std::vector<WizardModule>& modules) {
    std::wstring text = LoadStr(140) + installPath + L"\r\n\r\n" + LoadStr(141);
    for (const auto& name : SplitList(selection, L",")) {
        const auto it = std::find_if(modules.begin(), modules.end(),
                                     [&](const WizardModule& m) { return m.name == name; });
        text += L"\r\n\t" + (it != modules.end() ? it->caption : name);
    }
    return text;
}

QString ForDisplay(const std::wstring& text) {
    QString s = Q(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

}  // namespace zub::kitsetup
