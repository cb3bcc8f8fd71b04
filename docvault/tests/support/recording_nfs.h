// A file-server backend for contract tests: the server scheme "recfs" records
// every call as one line. Repositories get the file server text L"recfs:".
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zub::docvault::test {

class RecordingNfs {
public:
    // Registers scheme "recfs" with NFS::CNFS_Cmd and resets state; also resets FileServerLogin.
    static RecordingNfs& Install();
    // The installed instance (Install must have run).
    static RecordingNfs& Get();

    // One line per call: L"mk D:\\repo1", L"rm D:\\repo1", L"upload /tmp/a.prt
    // D:\\repo1\\trunk\\a.prt", L"download D:\\r\\trunk\\a.prt /tmp/out a.prt", L"downLoadFolder
    // D:\\r\\trunk /tmp/out", L"copy SRC DST", L"copyFolder SRC DST", L"renameFile OLD NEW",
    // L"renameFolder OLD NEW", L"delFile F", L"logIn system PASSWORD".
    std::vector<std::wstring> calls;
    // The nth (1-based) call whose line starts with `op` fails with number/text.
    // An op without a blank matches whole operation names only ("copy" does
    // not count "copyFolder" lines); one with a blank matches any line prefix.
    // Calls are counted from this FailOn on. The command object reports the
    // text as "<operation>: <text>" (GetLastError).
    void FailOn(const std::wstring& op, int nth, long number, const std::wstring& text);
    // Server and port of every backend the command object asked for.
    std::vector<std::wstring> servers;
    // The server text of every login, in order.
    std::vector<std::wstring> logins;
    // While set, every call but logIn fails (50006 "not logged in") on a
    // server that has no login with `password`; a login with another
    // password is refused and forgets an earlier one.
    bool requireLogin = false;
    std::wstring password;
    std::set<std::wstring> loggedIn;
    // Files the fake knows to exist: uploads and copies add their target,
    // delFile removes, a rename moves a known file, a folder copy copies the
    // known files below it. Renaming a path onto
    // itself answers 50003 for a known file and 50002 otherwise, as the real
    // server does; every other call behaves as before.
    std::set<std::wstring> files;
    // Paths another (running) process holds: a hold on them is refused.
    std::set<std::wstring> held;

    // Used by the recording backend: records `line`; throws NFS::NfsError when
    // the call is to fail.
    void Record(const std::wstring& line);
    // The same for a call on `server`, refused there without a login.
    void Record(const std::wstring& server, const std::wstring& line);

private:
    RecordingNfs() = default;
    void Reset();

    struct Failure {
        std::wstring op;
        int nth;
        long number;
        std::wstring text;
        int seen;
    };
    std::vector<Failure> failures_;
};

}  // namespace zub::docvault::test
