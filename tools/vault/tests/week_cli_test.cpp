// A team's week with the vault, once in English and once in Chinese: each
// step shows what its users read, and no line mixes the two languages.
#include <sstream>

#include "vaultrunner.h"
#include "zubtest/language.h"

namespace zub::vault::test {

namespace {

struct Language {
    const char* name;
    const char* lang;  // LANG for every run
    bool chinese;
    // The team's data: ASCII in the English run, Chinese in the Chinese one,
    // so neither language check ever looks at user data of the other.
    std::map<std::string, std::string> data;
};

const Language kLanguages[] = {
    {"English",
     "en_US.UTF-8",
     false,
     {{"alice", "alice"},
      {"bob", "bob"},
      {"carol", "carol"},
      {"team", "designers"},
      {"frames", "frames"},
      {"wheels", "wheels"},
      {"frame", "frame"},
      {"fork", "fork"},
      {"tube", "tube.prt"},
      {"stay", "stay.prt"},
      {"notes", "notes.txt"},
      {"crown", "crown.prt"},
      {"rim", "rim.prt"},
      {"hub", "hub.prt"},
      {"release", "release-1"},
      {"why", "longer tube"}}},
    {"Chinese",
     "zh_CN.UTF-8",
     true,
     {{"alice", "张三"},
      {"bob", "李四"},
      {"carol", "王五"},
      {"team", "设计组"},
      {"frames", "车架库"},
      {"wheels", "车轮库"},
      {"frame", "车架"},
      {"fork", "前叉"},
      {"tube", "主管.prt"},
      {"stay", "后叉.prt"},
      {"notes", "说明.txt"},
      {"crown", "肩盖.prt"},
      {"rim", "轮圈.prt"},
      {"hub", "花鼓.prt"},
      {"release", "第一版"},
      {"why", "加长主管"}}},
};

struct Step {
    const char* who;  // a key of the data, or "system"
    std::vector<std::string> args;
    int code;
    const char* english;  // a line, or part of one, the user reads
    const char* chinese;
    const char* write = nullptr;  // a local file changed before the step
};

// {key} in the arguments and texts stands for the run's data.
const Step kWeek[] = {
    {"system", {"init"}, 0, "Initialised a vault store in", "初始化存储库"},
    {"system",
     {"user", "add", "{alice}"},
     0,
     "Added user {alice} (id 2)",
     "已添加用户 {alice} (编号 2)"},
    {"system", {"user", "add", "{bob}"}, 0, "Added user {bob} (id 3)", "已添加用户 {bob} (编号 3)"},
    {"system", {"user", "add", "{carol}"}, 0, "Added user {carol}", "已添加用户 {carol}"},
    {"system",
     {"role", "add", "{team}", "--member", "{alice}", "--member", "{bob}"},
     0,
     "held by {alice}, {bob}",
     "成员: {alice}, {bob}"},
    {"system",
     {"repo", "create", "{frames}"},
     0,
     "Created repository {frames} (id 1)",
     "已创建文档库 {frames} (编号 1)"},
    {"system",
     {"repo", "create", "{wheels}"},
     0,
     "Created repository {wheels} (id 2)",
     "已创建文档库 {wheels} (编号 2)"},
    {"system",
     {"rights", "grant", "{frames}", "role:{team}", "rw"},
     0,
     "Gave role {team} the rights rw- on repository {frames}",
     "已授予角色 {team} 在文档库 {frames} 上的权限 rw-"},
    {"system",
     {"rights", "grant", "{wheels}", "{carol}", "rwm"},
     0,
     "Gave user {carol} the rights rwm on repository {wheels}",
     "已授予用户 {carol} 在文档库 {wheels} 上的权限 rwm"},
    {"alice",
     {"doc", "add", "{frames}", "{frame}", "{fork}"},
     0,
     "Added 4 of 4 files to repository {frames}",
     "已把 4 个文件中的 4 个添加到文档库 {frames}"},
    {"carol",
     {"doc", "add", "{wheels}", "{rim}", "{hub}"},
     0,
     "Added 2 of 2 files to repository {wheels}",
     "已把 2 个文件中的 2 个添加到文档库 {wheels}"},
    {"alice",
     {"doc", "add", "{frames}", "{frame}/{tube}"},
     1,
     "vault: error 49611: the document \\{frame}\\{tube} exists already",
     "vault: 错误 49611: 文档 \\{frame}\\{tube} 已存在"},
    {"alice",
     {"doc", "checkout", "{frames}:{frame}/{tube}", "work"},
     0,
     "Checked out {frame}/{tube}",
     "已检出 {frame}/{tube}"},
    {"bob",
     {"doc", "checkout", "{frames}:{frame}/{tube}", "mine"},
     1,
     "vault: error 49712: document {frame}/{tube} is checked out by {alice}",
     "vault: 错误 49712: 文档 {frame}/{tube} 已被 {alice} 检出"},
    {"carol",
     {"doc", "checkout", "{frames}:{fork}/{crown}"},
     1,
     "user {carol} has no write right on repository {frames}",
     "用户 {carol} 在文档库 {frames} 上没有写权限"},
    {"alice", {"status"}, 0, " unchanged ", "未修改"},
    {"alice", {"status"}, 0, " changed ", "已修改", "work/{tube}"},
    {"system", {"status", "--all"}, 0, "HOLDER", "检出人"},
    {"alice",
     {"doc", "checkin", "{frames}:{frame}/{tube}", "work/{tube}", "-m", "{why}"},
     0,
     "Checked in {frame}/{tube}: version 1.1 (was 1.0)",
     "已检入 {frame}/{tube}: 版本 1.1 (原为 1.0)"},
    {"bob",
     {"doc", "history", "{frames}:{frame}/{tube}"},
     0,
     "current version 1.1:",
     "当前版本 1.1:"},
    {"bob", {"doc", "history", "{frames}:{frame}/{tube}"}, 0, "CHECKED IN", "检入时间"},
    {"system", {"status", "--all"}, 0, "(no documents are checked out)", "(没有被检出的文档)"},
    {"bob",
     {"doc", "checkout", "{frames}:{fork}/{crown}", "bench"},
     0,
     "Checked out {fork}/{crown}",
     "已检出 {fork}/{crown}"},
    {"bob",
     {"doc", "revert", "{frames}:{fork}/{crown}", "bench"},
     0,
     "checked in at version 1.0",
     "以版本 1.0 检入",
     "bench/{crown}"},
    {"alice",
     {"doc", "move", "{frames}:{frame}/{notes}", "{fork}"},
     0,
     "Moved {frame}/{notes} to {fork}/{notes}",
     "已把 {frame}/{notes} 移到 {fork}/{notes}"},
    {"alice", {"doc", "list", "{frames}"}, 0, "checked in", "已检入"},
    {"alice",
     {"baseline", "create", "{frames}", "{release}"},
     0,
     "Created baseline {release}",
     "已创建文档库 {frames} 的基线 {release}"},
    {"bob", {"baseline", "list", "{frames}"}, 0, "DESCRIPTION", "描述"},
    {"alice", {"log", "{frames}"}, 0, "move", "移动"},
    {"system", {"verify"}, 0, "The store is consistent.", "存储库一致。"},
    {"bob",
     {"doc", "chekout"},
     2,
     "did you mean \"vault doc checkout\"?",
     "您是想用 \"vault doc checkout\" 吗？"},
    {"bob", {"doc", "checkout"}, 2, "DOC is required", "DOC 为必填项"},
    {"bob",
     {"doc", "--help"},
     0,
     "Usage: vault doc [OPTIONS] SUBCOMMAND",
     "用法: vault doc [选项] 子命令"},
};

std::string Fill(std::string text, const std::map<std::string, std::string>& data) {
    for (const auto& [key, value] : data) {
        const std::string mark = "{" + key + "}";
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
            text.replace(at, mark.size(), value);
    }
    return text;
}

// Test names and failures name the language.
void PrintTo(const Language& row, std::ostream* os) { *os << row.name; }

}  // namespace

class VaultWeekCli : public VaultCli, public ::testing::WithParamInterface<Language> {};

TEST_P(VaultWeekCli, TheTeamReadsOneLanguageAllWeek) {
    const Language& l = GetParam();
    auto data = l.data;
    data["system"] = "system";
    for (const char* file : {"{frame}/{tube}", "{frame}/{stay}", "{frame}/{notes}",
                             "{fork}/{crown}", "{rim}", "{hub}"})
        WriteFile(Fill(file, data), Fill(std::string("first ") + file, data));
    for (const Step& step : kWeek) {
        std::vector<std::string> args;
        for (const auto& a : step.args) args.push_back(Fill(a, data));
        std::string line = data.at(step.who) + ": vault";
        for (const auto& a : args) line += " " + a;
        SCOPED_TRACE(line);
        if (step.write) WriteFile(Fill(step.write, data), "edited on " + line);
        const RunResult r = Run(args, {{"VAULT_USER", data.at(step.who)}, {"LANG", l.lang}});
        EXPECT_EQ(r.code, step.code) << r.out << r.err;
        const std::string said = r.out + r.err;
        const std::string expected = Fill(l.chinese ? step.chinese : step.english, data);
        EXPECT_NE(said.find(expected), std::string::npos) << expected << "\n" << said;
        std::istringstream lines(said);
        for (std::string read; std::getline(lines, read);) {
            if (l.chinese)
                EXPECT_EQ(zub::testsupport::EnglishRun(read), "") << read;
            else
                EXPECT_FALSE(zub::testsupport::HasCjk(read)) << read;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, VaultWeekCli, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& row) {
                             return std::string(row.param.name);
                         });

}  // namespace zub::vault::test
