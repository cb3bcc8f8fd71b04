#include "fake_engine.h"

namespace zub::kitsetup::test {

FakeEngine::FakeEngine() {
    general.productName = L"文档库";
    general.version = L"2.1";
    general.showFlash = false;
}

int FakeEngine::ExecInstall() {
    ++installs;
    installedOnUiThread = std::this_thread::get_id() == uiThread;
    for (int i = 0; i < files; ++i) {
        progress.emit(1, path + L"/bin/file" + std::to_wstring(i));
        if (i == 0 && hold) {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return go_; });
        }
    }
    return finish(*this);
}

void FakeEngine::Release() {
    {
        std::lock_guard lock(mutex_);
        go_ = true;
    }
    released_.notify_all();
}

void FakeEngine::Log(const std::wstring& message) {
    std::lock_guard lock(mutex_);
    log_.push_back(message);
}

std::vector<std::wstring> FakeEngine::LogLines() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void StandardScript(FakeEngine& e) {
    e.types = {{L"典型", L"client,server"}, {L"最小", L"client"}, {L"自定义", L"client,server"}};
    e.modules = {{L"client", L"客户端", 0}, {L"server", L"服务器", 1}};
}

}  // namespace zub::kitsetup::test
