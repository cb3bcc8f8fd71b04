// Wrappers around the embedded database and file server that make one chosen
// call fail, for tests that inject a failure at every step of an operation
// and then look at what the real store holds.
//
// Database: objects connected to "faultydb:DIR" work on the store in DIR,
// those connected to "faultypg:SERVER" on that PostgreSQL server; file server:
// "faultyfs:ROOT" serves the folder ROOT. Every call of either counts (from
// Arm on); the armed call fails with an error, or runs `atArmed` and goes on.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zub::docvault::test {

class FaultyStore {
public:
    // Registers both schemes; disarms.
    static FaultyStore& Install();

    // The nth (1-based) database call, or file-server call, from now fails;
    // 0 for none. Resets the counters and the call lists.
    void ArmDb(int nth) { Reset(nth, 0); }
    void ArmNfs(int nth) { Reset(0, nth); }
    void Disarm() {
        Reset(0, 0);
        atArmed = nullptr;
    }
    // When set, run at the armed call in its place of failing, just before
    // the call itself (a server stopped at that instant, say).
    std::function<void()> atArmed;

    int dbCalls = 0;
    int nfsCalls = 0;
    bool fired = false;
    // One word per call ("SelectRows QV_DMDoc", "upload", ...), for messages.
    std::vector<std::wstring> dbLog;
    std::vector<std::wstring> nfsLog;

    // Counts a call; true when it is the one to fail.
    bool Db(const std::wstring& what);
    bool Nfs(const std::wstring& what);

private:
    FaultyStore() = default;
    void Reset(int db, int nfs);
    int failDb_ = 0;
    int failNfs_ = 0;
};

}  // namespace zub::docvault::test
