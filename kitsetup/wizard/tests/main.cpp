#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "wizard/cmybasewnd.h"
#include "wizard/qt_translations.h"
#include "zub/i18n.h"
#include "zubtest/sandbox.h"

namespace zub::kitsetup::test {
int RunLogicTests(int argc, char** argv);
int RunWizardTests(int argc, char** argv);
int RunEngineTests(int argc, char** argv);
int RunLocationTests(int argc, char** argv);
int RunLanguageTests(int argc, char** argv);
}  // namespace zub::kitsetup::test

namespace {

constexpr const char* kChinese = "zh_CN.UTF-8";
constexpr const char* kEnglish = "en_US.UTF-8";

// Each class runs in the language it compares texts in.
struct TestClass {
    const char* name;
    int (*run)(int, char**);
    const char* lang;
};

constexpr TestClass kClasses[] = {
    {"LogicTest", zub::kitsetup::test::RunLogicTests, kChinese},
    {"WizardTest", zub::kitsetup::test::RunWizardTests, kChinese},
    {"EngineTest", zub::kitsetup::test::RunEngineTests, kChinese},
    {"LocationTest", zub::kitsetup::test::RunLocationTests, kChinese},
    {"LanguageTest", zub::kitsetup::test::RunLanguageTests, kChinese},
    {"EnglishTest", zub::kitsetup::test::RunLanguageTests, kEnglish},
};

// The program's language, as kitsetup's main sets it, whatever the machine's.
void SpeakLanguage(const char* lang) {
    for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) ::unsetenv(v);
    ::setenv("LANG", lang, 1);
    zub::i18n::Init("kitsetup");
}

}  // namespace

// Without arguments every Chinese class runs; `kitsetup_wizard_tests CLASS
// [QtTest options]` runs one (CTest registers each class as a test of its own).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installs, the registry and the log stay in a sandbox that goes with the run.
    zub::testsupport::Sandbox sandbox("kitsetup-wizard");
    sandbox.SetEnv("ZUB_PRIVILEGED", "1");
    std::filesystem::create_directories(sandbox.root() / "tmp");
    const TestClass* only = nullptr;
    if (argc > 1 && argv[1][0] != '-') {
        for (const TestClass& c : kClasses)
            if (std::strcmp(c.name, argv[1]) == 0) only = &c;
        if (only == nullptr) {
            std::fprintf(stderr, "no test class %s\n", argv[1]);
            return 2;
        }
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    SpeakLanguage(only != nullptr ? only->lang : kChinese);
    QApplication app(argc, argv);
    zub::kitsetup::KeepMessageLocale();
    QApplication::setFont(zub::kitsetup::CMyBaseWnd::DefaultGuiFont());
    if (only != nullptr) return only->run(argc, argv) == 0 ? 0 : 1;
    int failed = 0;
    for (const TestClass& c : kClasses)
        if (c.lang == kChinese) failed += c.run(argc, argv);
    return failed == 0 ? 0 : 1;
}
