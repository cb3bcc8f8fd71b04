// A thread-safe signal with member-function slots. A receiver remembers the
// signals connected to it; whichever side dies first ends the connection.
#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <vector>

namespace zub::kitsetup {

class SignalReceiver;

class SignalBase {
public:
    SignalBase() = default;
    SignalBase(const SignalBase&) = delete;
    SignalBase& operator=(const SignalBase&) = delete;

protected:
    virtual ~SignalBase() = default;

private:
    friend class SignalReceiver;
    virtual void DropReceiver(SignalReceiver* receiver) = 0;
};

class SignalReceiver {
public:
    SignalReceiver() = default;
    SignalReceiver(const SignalReceiver&) = delete;
    SignalReceiver& operator=(const SignalReceiver&) = delete;
    virtual ~SignalReceiver() { DisconnectAll(); }

    // A derived receiver calls this first in its own destructor when a slot
    // may be running on another thread.
    void DisconnectAll() {
        std::vector<SignalBase*> signals;
        {
            std::lock_guard lock(mutex_);
            signals.swap(signals_);
        }
        for (auto* s : signals) s->DropReceiver(this);
    }

    std::size_t ConnectionCount() const {
        std::lock_guard lock(mutex_);
        return signals_.size();
    }

private:
    template <typename...>
    friend class Signal;

    void Attach(SignalBase* s) {
        std::lock_guard lock(mutex_);
        signals_.push_back(s);
    }
    void Detach(SignalBase* s) {
        std::lock_guard lock(mutex_);
        std::erase(signals_, s);
    }

    mutable std::mutex mutex_;
    std::vector<SignalBase*> signals_;
};

template <typename... Args>
class Signal final : public SignalBase {
public:
    Signal() = default;
    ~Signal() {
        std::vector<Connection> connections;
        {
            std::lock_guard lock(mutex_);
            connections.swap(connections_);
        }
        for (auto& c : connections) c.receiver->Detach(this);
    }

    template <typename R>
    void connect(R* receiver, void (R::*slot)(Args...)) {
        std::lock_guard lock(mutex_);
        connections_.push_back(
            {receiver, [receiver, slot](Args... args) { (receiver->*slot)(args...); }});
        receiver->Attach(this);
    }

    void disconnect(SignalReceiver* receiver) {
        std::size_t removed = 0;
        {
            std::lock_guard lock(mutex_);
            removed = std::erase_if(connections_,
                                    [&](const Connection& c) { return c.receiver == receiver; });
        }
        for (std::size_t i = 0; i < removed; ++i) receiver->Detach(this);
    }

    // Calls every slot in connection order, under the signal's lock.
    void emit(Args... args) {
        std::lock_guard lock(mutex_);
        for (auto& c : connections_) c.slot(args...);
    }

    std::size_t ConnectionCount() const {
        std::lock_guard lock(mutex_);
        return connections_.size();
    }

private:
    struct Connection {
        SignalReceiver* receiver;
        std::function<void(Args...)> slot;
    };

    void DropReceiver(SignalReceiver* receiver) override {
        std::lock_guard lock(mutex_);
        std::erase_if(connections_, [&](const Connection& c) { return c.receiver == receiver; });
    }

    mutable std::recursive_mutex mutex_;
    std::vector<Connection> connections_;
};

}  // namespace zub::kitsetup
