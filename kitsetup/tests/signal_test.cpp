#include "kitsetup/signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zub::kitsetup {
namespace {

struct Recorder : SignalReceiver {
    explicit Recorder(std::vector<std::wstring>* out, std::wstring tag = L"")
        : out_(out), tag_(std::move(tag)) {}
    void Slot(int n, const std::wstring& text) {
        out_->push_back(tag_ + std::to_wstring(n) + L":" + text);
    }
    std::vector<std::wstring>* out_;
    std::wstring tag_;
};

TEST(Signal, EmitCallsSlotsInConnectionOrder) {
    std::vector<std::wstring> seen;
    Recorder a(&seen, L"a"), b(&seen, L"b");
    Signal<int, const std::wstring&> s;
    s.connect(&a, &Recorder::Slot);
    s.connect(&b, &Recorder::Slot);
    s.emit(1, L"x");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"a1:x", L"b1:x"}));
    s.disconnect(&a);
    s.emit(2, L"y");
    EXPECT_EQ(seen.back(), L"b2:y");
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(a.ConnectionCount(), 0u);
    EXPECT_EQ(b.ConnectionCount(), 1u);
}

TEST(Signal, ReceiverDestroyedFirstIsDisconnected) {
    std::vector<std::wstring> seen;
    Signal<int, const std::wstring&> s;
    {
        Recorder r(&seen);
        s.connect(&r, &Recorder::Slot);
        EXPECT_EQ(s.ConnectionCount(), 1u);
    }
    EXPECT_EQ(s.ConnectionCount(), 0u);
    s.emit(1, L"gone");
    EXPECT_TRUE(seen.empty());
}

TEST(Signal, SignalDestroyedFirstLeavesReceiverClean) {
    std::vector<std::wstring> seen;
    Recorder r(&seen);
    {
        Signal<int, const std::wstring&> s1, s2;
        s1.connect(&r, &Recorder::Slot);
        s2.connect(&r, &Recorder::Slot);
        EXPECT_EQ(r.ConnectionCount(), 2u);
    }
    EXPECT_EQ(r.ConnectionCount(), 0u);
}

struct Counter : SignalReceiver {
    void Slot(int n, const std::wstring&) { total += n; }
    std::atomic<int> total{0};
};

TEST(Signal, ConcurrentEmitAndConnect) {
    Signal<int, const std::wstring&> s;
    Counter fixed;
    s.connect(&fixed, &Counter::Slot);
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            auto c = std::make_unique<Counter>();
            s.connect(c.get(), &Counter::Slot);
        }  // each receiver disconnects itself while the other thread emits
    });
    for (int i = 0; i < 2000; ++i) s.emit(1, L"");
    stop = true;
    churn.join();
    EXPECT_EQ(fixed.total.load(), 2000);
    EXPECT_EQ(s.ConnectionCount(), 1u);
}

}  // namespace
}  // namespace zub::kitsetup
