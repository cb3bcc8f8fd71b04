// Runs the install on a worker thread. Progress and the end of the install
// come back as Qt signals queued to the thread that owns the runner, so the
// window is only touched on its own thread.
#pragma once

#include <QObject>
#include <QString>
#include <thread>

#include "wizard/wizard_engine.h"

namespace zub::kitsetup {

class InstallRunner : public QObject {
    Q_OBJECT

public:
    explicit InstallRunner(QObject* parent = nullptr);
    ~InstallRunner() override;
    InstallRunner(const InstallRunner&) = delete;
    InstallRunner& operator=(const InstallRunner&) = delete;

    // The engine must outlive the runner. False when an install already runs.
    bool Start(WizardEngine& engine);
    bool Running() const { return worker_.joinable(); }

Q_SIGNALS:
    void progressed(int count, const QString& text);
    void finished(bool success);

private:
    void Work(WizardEngine& engine);
    void Post(bool success);

    std::thread worker_;
};

}  // namespace zub::kitsetup
