#include "wizard/install_runner.h"

#include <exception>

#include "wizard/wizard_texts.h"
#include "zub/text.h"

namespace zub::kitsetup {

namespace {

// Receives the engine's progress on the worker thread and hands it on as a
// queued call; the window never sees the worker thread.
class ProgressRelay final : public SignalReceiver {
public:
    explicit ProgressRelay(InstallRunner* runner) : runner_(runner) {}
    ~ProgressRelay() override { DisconnectAll(); }
    ProgressRelay(const ProgressRelay&) = delete;
    ProgressRelay& operator=(const ProgressRelay&) = delete;

    void OnProgress(int count, const std::wstring& text) {
        QMetaObject::invokeMethod(
            runner_, [r = runner_, count, t = Q(text)] { Q_EMIT r->progressed(count, t); },
            Qt::QueuedConnection);
    }

private:
    InstallRunner* runner_;
};

}  // namespace

InstallRunner::InstallRunner(QObject* parent) : QObject(parent) {}

InstallRunner::~InstallRunner() {
    if (worker_.joinable()) worker_.join();
}

bool InstallRunner::Start(WizardEngine& engine) {
    if (worker_.joinable()) return false;
    worker_ = std::thread([this, &engine] { Work(engine); });
    return true;
}

void InstallRunner::Work(WizardEngine& engine) {
    bool success = false;
    try {
        ProgressRelay relay(this);
        engine.Progress().connect(&relay, &ProgressRelay::OnProgress);
        if (engine.ExecInstall() == 0) {
            success = true;
        } else if (const std::wstring e = engine.LastError(); !e.empty()) {
            engine.Log(Shown(e));
        }
    } catch (const std::exception& e) {
        try {
            engine.Log(
                Fmt(zub::tr("%s, catched by ExeInstallMoudles()"), zub::NarrowToWide(e.what())));
        } catch (...) {}
    } catch (...) {
        try {
            engine.Log(Wide(zub::tr("unknow error, catched by ExeInstallMoudles()")));
        } catch (...) {}
    }
    Post(success);
}

void InstallRunner::Post(bool success) {
    QMetaObject::invokeMethod(
        this,
        [this, success] {
            if (worker_.joinable()) worker_.join();
            Q_EMIT finished(success);
        },
        Qt::QueuedConnection);
}

}  // namespace zub::kitsetup
