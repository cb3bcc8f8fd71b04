#include "kitsetup/string_table.h"

#include <map>

namespace kitsetup {

namespace {

const std::map<int, const wchar_t*>& Table() {
    static const std::map<int, const wchar_t*> table = {
        {12, L"自定义"},
        {15, L"[%s]节点[%s]属性值子项[%s]命令替换符号无法解析"},
        {20, L"注册文件: "},
        {21, L"注册文件(ASM): "},
        {22, L"执行程序: "},
        {28, L"开始安装 %s(%s) ========================="},
        {29, L"创建安装目录 %s 失败。"},
        {30, L"创建安装目录完毕，%s"},
        {31, L"写注册表失败(%d), %s, %s, %s, %s"},
        {32, L"执行失败(%d): %s, %s %s"},
        {34, L"已拷贝文件 %s"},
        {35, L"目标文件已存在，无需拷贝 %s"},
        {36, L"拷贝文件 %s 失败, 不识别的覆盖类型 %d"},
        {37, L"拷贝文件失败(%d), %s, 目标: %s, 源: %s"},
        {100, L"配置文件加载失败, 错误信息："},
        {101, L"错误信息"},
        {102, L"安装"},
        {103, L"不存在的文件夹"},
        {104, L"选择文件夹"},
        {105, L"路径选择操作执行失败"},
        {107, L"检查项目"},
        {108, L"检查结果"},
        {109, L"解决方案"},
        {110, L"安装失败, 详细消息请查看安装目录下的安装日志 InstallLog.log"},
        {111, L"许可协议"},
        {112, L"请先阅读许可协议"},
        {113, L"接受"},
        {114, L"拒绝"},
        {115, L"安装程序将在以下文件夹中安装 [%s]"},
        {116, L"安装文件夹"},
        {117, L"请选择安装位置"},
        {118, L"上一步"},
        {119, L"下一步"},
        {120, L"取消"},
        {121, L"请选择安装类型"},
        {122, L"检查安装前提条件"},
        {123, L"将要安装模块到指定路径"},
        {125, L"确认安装选项"},
        {126, L"安装"},
        {127, L"失败"},
        {128, L"配置文件存在错误，详细信息请参考安装目录下的安装日志 InstallLog.log"},
        {129, L"文件拷贝"},
        {130, L"已完成安装[%s]"},
        {131, L"安装完成"},
        {132, L"完成"},
        {134, L"安装模块"},
        {135, L"描述"},
        {138, L"检查成功"},
        {139, L"检查失败"},
        {140, L"当前安装路径:\r\n\t"},
        {141, L"当前选择的安装模块"},
        {142, L"安装成功 ========================="},
        {143, L"安装结束，安装过程中出现错误 ========================="},
        {144, L"查看日志(&L)"},
        {145, L"安装失败"},
        {146, L"本机已安装过 %s, 请先卸载再重新安装。"},
        {147,
         L"安装成功，需要重启机器，要立刻重启吗？\n选择 [是] 立刻自动重启，选择 [否] "
         L"请稍后自行重启。"},
    };
    return table;
}

}  // namespace

const wchar_t* LoadStr(int id) {
    const auto& t = Table();
    const auto it = t.find(id);
    return it == t.end() ? L"" : it->second;
}

std::wstring WideFormat(const wchar_t* format) {
    std::wstring out;
    if (format == nullptr) return out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        out.push_back(*p);
        if (*p != L'%' || p[1] == L'\0') continue;
        if (p[1] == L'%') {
            out.push_back(*++p);
        } else if (p[1] == L's') {
            out.push_back(L'l');
        }
    }
    return out;
}

}  // namespace kitsetup
