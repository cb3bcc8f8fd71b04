#include "pgconnectionpool.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

namespace ZUBDB {
namespace {

using Clock = std::chrono::steady_clock;

struct Kept {
    PgConnectionPool::Idle idle;
    pid_t pid = 0;
    Clock::time_point since;
};

// Accessors in other statics may go after the pool at exit: they find it
// closed and close their connections themselves.
std::atomic<bool> gOpen{false};

class Pool;
Pool& ThePool();

class Pool {
public:
    Pool() {
        gOpen = true;
        // A fork while another thread holds the lock would leave the child a
        // lock that nobody releases.
        ::pthread_atfork([] { Held(true); }, [] { Held(false); }, [] { Held(false); });
    }
    ~Pool() {
        gOpen = false;
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [key, list] : kept_) Close(list);
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    std::optional<PgConnectionPool::Idle> Take(const std::string& key) {
        std::vector<Kept> gone;
        std::optional<PgConnectionPool::Idle> found;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            auto it = kept_.find(key);
            if (it == kept_.end()) return std::nullopt;
            std::vector<Kept>& list = it->second;
            // The newest first: the one least likely to have been dropped.
            while (!list.empty() && !found) {
                Kept k = std::move(list.back());
                list.pop_back();
                if (Usable(k))
                    found = std::move(k.idle);
                else
                    gone.push_back(std::move(k));
            }
            if (list.empty()) kept_.erase(it);
        }
        Close(gone);
        return found;
    }

    void Give(const std::string& key, PgConnectionPool::Idle idle) {
        std::vector<Kept> gone;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            std::vector<Kept>& list = kept_[key];
            list.push_back(Kept{std::move(idle), ::getpid(), Clock::now()});
            // The oldest go first, and any that another process left here.
            while (list.size() > PgConnectionPool::kPerKey) {
                gone.push_back(std::move(list.front()));
                list.erase(list.begin());
            }
            for (auto i = list.begin(); i != list.end();) {
                if (i->pid != ::getpid() || Expired(*i)) {
                    gone.push_back(std::move(*i));
                    i = list.erase(i);
                } else {
                    ++i;
                }
            }
        }
        Close(gone);
    }

    void Clear() {
        std::vector<Kept> gone;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            for (auto& [key, list] : kept_)
                for (Kept& k : list) gone.push_back(std::move(k));
            kept_.clear();
        }
        Close(gone);
    }

private:
    static void Held(bool held) {
        if (!gOpen) return;
        if (held)
            ThePool().mutex_.lock();
        else
            ThePool().mutex_.unlock();
    }
    static bool Expired(const Kept& k) {
        return Clock::now() - k.since > std::chrono::seconds(PgConnectionPool::kIdleSeconds);
    }
    static bool Usable(Kept& k) {
        return k.pid == ::getpid() && !Expired(k) && k.idle.conn && k.idle.conn->Idle();
    }
    // Called outside the lock but at exit: closing tells the server, which
    // takes a moment.
    static void Close(std::vector<Kept>& list) {
        for (Kept& k : list)
            if (k.pid != ::getpid() && k.idle.conn) k.idle.conn->Abandon();
        list.clear();
    }

    std::mutex mutex_;
    std::map<std::string, std::vector<Kept>> kept_;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

}  // namespace

std::optional<PgConnectionPool::Idle> PgConnectionPool::Take(const std::string& key) {
    Pool& pool = ThePool();
    return gOpen ? pool.Take(key) : std::nullopt;
}

void PgConnectionPool::Give(const std::string& key, Idle idle) {
    if (!gOpen.load()) {
        // Before the pool's first use (nothing to keep for) or after its end.
        return;
    }
    ThePool().Give(key, std::move(idle));
}

void PgConnectionPool::Clear() {
    if (gOpen) ThePool().Clear();
}

}  // namespace ZUBDB
