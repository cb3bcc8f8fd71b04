#include "kitsetup/string_table.h"

#include <map>
#include <mutex>
#include <string_view>
#include <utility>

namespace zub::kitsetup {

namespace {

struct Entry {
    const char* msgid;
    // Layout the translation does not carry (line breaks after a caption).
    const wchar_t* tail = L"";
};

const std::map<int, Entry>& Table() {
    static const std::map<int, Entry> table = {
        {12, {ZUB_N_("自定义")}},
        {15, {ZUB_N_("[%s]节点[%s]属性值子项[%s]命令替换符号无法解析")}},
        {20, {ZUB_N_("注册文件: ")}},
        {21, {ZUB_N_("注册文件(ASM): ")}},
        {22, {ZUB_N_("执行程序: ")}},
        {28, {ZUB_N_("开始安装 %s(%s) =========================")}},
        {29, {ZUB_N_("创建安装目录 %s 失败。")}},
        {30, {ZUB_N_("创建安装目录完毕，%s")}},
        {31, {ZUB_N_("写注册表失败(%d), %s, %s, %s, %s")}},
        {32, {ZUB_N_("执行失败(%d): %s, %s %s")}},
        {34, {ZUB_N_("已拷贝文件 %s")}},
        {35, {ZUB_N_("目标文件已存在，无需拷贝 %s")}},
        {36, {ZUB_N_("拷贝文件 %s 失败, 不识别的覆盖类型 %d")}},
        {37, {ZUB_N_("拷贝文件失败(%d), %s, 目标: %s, 源: %s")}},
        {100, {ZUB_N_("配置文件加载失败, 错误信息：")}},
        {101, {ZUB_N_("错误信息")}},
        {102, {ZUB_N_("安装")}},
        {103, {ZUB_N_("不存在的文件夹")}},
        {104, {ZUB_N_("选择文件夹")}},
        {105, {ZUB_N_("路径选择操作执行失败")}},
        {107, {ZUB_N_("检查项目")}},
        {108, {ZUB_N_("检查结果")}},
        {109, {ZUB_N_("解决方案")}},
        {110, {ZUB_N_("安装失败, 详细消息请查看安装目录下的安装日志 InstallLog.log")}},
        {111, {ZUB_N_("许可协议")}},
        {112, {ZUB_N_("请先阅读许可协议")}},
        {113, {ZUB_N_("接受")}},
        {114, {ZUB_N_("拒绝")}},
        {115, {ZUB_N_("安装程序将在以下文件夹中安装 [%s]")}},
        {116, {ZUB_N_("安装文件夹")}},
        {117, {ZUB_N_("请选择安装位置")}},
        {118, {ZUB_N_("上一步")}},
        {119, {ZUB_N_("下一步")}},
        {120, {ZUB_N_("取消")}},
        {121, {ZUB_N_("请选择安装类型")}},
        {122, {ZUB_N_("检查安装前提条件")}},
        {123, {ZUB_N_("将要安装模块到指定路径")}},
        {125, {ZUB_N_("确认安装选项")}},
        {126, {ZUB_N_("安装")}},
        {127, {ZUB_N_("失败")}},
        {128, {ZUB_N_("配置文件存在错误，详细信息请参考安装目录下的安装日志 InstallLog.log")}},
        {129, {ZUB_N_("文件拷贝")}},
        {130, {ZUB_N_("已完成安装[%s]")}},
        {131, {ZUB_N_("安装完成")}},
        {132, {ZUB_N_("完成")}},
        {134, {ZUB_N_("安装模块")}},
        {135, {ZUB_N_("描述")}},
        {138, {ZUB_N_("检查成功")}},
        {139, {ZUB_N_("检查失败")}},
        {140, {ZUB_N_("当前安装路径:"), L"\r\n\t"}},
        {141, {ZUB_N_("当前选择的安装模块")}},
        {142, {ZUB_N_("安装成功 =========================")}},
        {143, {ZUB_N_("安装结束，安装过程中出现错误 =========================")}},
        {144, {ZUB_N_("查看日志(&L)")}},
        {145, {ZUB_N_("安装失败")}},
        {146, {ZUB_N_("本机已安装过 %s, 请先卸载再重新安装。")}},
        {147,
         {ZUB_N_("安装成功，需要重启机器，要立刻重启吗？\n选择 [是] 立刻自动重启，选择 [否] "
                 "请稍后自行重启。")}},
        {148, {ZUB_N_("安装失败, 详细消息请查看安装日志 %s")}},
        {149, {ZUB_N_("安装失败, 安装日志无法写入")}},
        {150, {ZUB_N_("所选模块没有要拷贝的文件")}},
    };
    return table;
}

// Wide copies of the translations handed out, one per text and language:
// the catalog's texts are UTF-8, callers keep the pointers.
std::mutex& CacheMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

const wchar_t* LoadStr(int id) {
    const auto& t = Table();
    const auto it = t.find(id);
    return it == t.end() ? L"" : Translated(it->second.msgid, it->second.tail);
}

const wchar_t* Translated(const char* msgid, const wchar_t* tail) {
    const char* translated = zub::tr(msgid);
    static std::map<std::pair<const char*, const wchar_t*>, std::wstring> cache;
    std::lock_guard lock(CacheMutex());
    auto [at, added] = cache.try_emplace({translated, tail});
    if (added) at->second = Wide(translated) + tail;
    return at->second.c_str();
}

std::wstring Shown(const std::wstring& text) {
    if (text.empty()) return text;
    const std::string utf8 = zub::WideToUtf8(text);
    const char* own = zub::tr(utf8.c_str());
    // Not the installer's own text: the platform's or the library's.
    return own != utf8.c_str() ? Wide(own) : zub::Utf8ToWide(zub::LibraryText(utf8));
}

std::wstring WideFormat(const wchar_t* format) {
    std::wstring out;
    if (format == nullptr) return out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        out.push_back(*p);
        if (*p != L'%') continue;
        if (p[1] == L'%') {
            out.push_back(*++p);
            continue;
        }
        // Position, flags, width and precision pass; a bare "s" gets its "l".
        while (p[1] != L'\0' &&
               std::wstring_view(L"0123456789$#-+ '.*").find(p[1]) != std::wstring_view::npos) {
            out.push_back(*++p);
        }
        if (p[1] == L's') out.push_back(L'l');
    }
    return out;
}

}  // namespace zub::kitsetup
