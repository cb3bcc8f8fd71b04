// A scripted install manager for the wizard's tests.
#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "wizard/wizard_engine.h"
#include "wizard/wizard_host.h"

namespace zub::kitsetup::test {

class FakeEngine final : public WizardEngine {
public:
    FakeEngine();

    int LoadScript() override { return loadResult; }
    std::wstring LastError() const override { return error; }
    std::wstring PrepareAndFindInstalled() override { return installed; }
    const GeneralInfo& General() const override { return general; }
    std::wstring InstallPath() const override { return path; }
    void SetInstallPath(const std::wstring& p) override { path = p; }
    std::vector<InstallType> InstallTypes() const override { return types; }
    std::vector<WizardModule> ModuleList() const override { return modules; }
    std::size_t ModuleCount() const override { return modules.size(); }
    std::wstring Selection() const override { return selection; }
    void SetSelection(const std::wstring& m) override { selection = m; }
    int SelectedInstallType() const override { return selectedType; }
    void SetSelectedInstallType(int t) override { selectedType = t; }
    std::vector<WizardCheck> RunChecks() override {
        ++checkRuns;
        return checks;
    }
    int CountFiles() const override { return files; }
    unsigned long long PayloadBytes() const override { return payloadBytes; }
    ProgressSignal& Progress() override { return progress; }
    int ExecInstall() override;
    void Log(const std::wstring& message) override;
    std::wstring InstallLogPath() const override { return logPath; }

    std::vector<std::wstring> LogLines() const;
    // Lets a held install go on (see hold).
    void Release();

    int loadResult = 0;
    std::wstring error;
    std::wstring installed;
    GeneralInfo general;
    std::wstring path = L"/opt/acme/vault";
    std::vector<InstallType> types;
    std::vector<WizardModule> modules;
    std::wstring selection;
    int selectedType = 0;
    std::vector<WizardCheck> checks;
    int checkRuns = 0;
    int files = 3;
    unsigned long long payloadBytes = 0;
    // Where the log goes; a test that wants it written names a real file.
    std::wstring logPath = L"/nonexistent/installLog.log";
    // What ExecInstall does after reporting its files: a result or a throw.
    std::function<int(FakeEngine&)> finish = [](FakeEngine&) { return 0; };
    // Reports the first file, then waits for Release before the rest.
    bool hold = false;
    std::atomic<int> installs{0};
    std::atomic<bool> installedOnUiThread{false};
    std::thread::id uiThread = std::this_thread::get_id();
    ProgressSignal progress;

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool go_ = false;
    std::vector<std::wstring> log_;
};

// Records what the wizard asks of the desktop.
class FakeHost final : public WizardHost {
public:
    struct Message {
        QString text, caption;
    };
    void ShowMessage(QWidget*, const QString& text, const QString& caption) override {
        messages.push_back({text, caption});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& caption) override {
        questions.push_back({text, caption});
        return answer;
    }
    QString BrowseFolder(QWidget*, const QString& initial) override {
        browsedFrom = initial;
        return folder;
    }
    void OpenDocument(const QString& p) override { opened.push_back(p); }
    void Reboot() override { ++reboots; }
    void Quit() override { ++quits; }

    std::vector<Message> messages, questions;
    bool answer = false;
    QString folder, browsedFrom;
    std::vector<QString> opened;
    int reboots = 0;
    int quits = 0;
};

// Two ordinary types, the custom one, two modules and no checks.
void StandardScript(FakeEngine& e);

}  // namespace zub::kitsetup::test
