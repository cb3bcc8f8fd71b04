// Shared set-up of the contract tests of documents, history and baselines:
// the recording database and file server, a repository row on "recfs:".
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_db.h"
#include "recording_nfs.h"

namespace zub::docvault::test {

using ZUBDB::DBValue;

inline DBValue T(const wchar_t* text) { return DBValue(std::wstring(text)); }
inline DBValue I(long long v) { return DBValue(v); }
// How a history insert names operator 7: read by the insert itself.
inline constexpr const wchar_t* kOperatorName =
    L"coalesce((SELECT UserName FROM QV_User WHERE UserId = 7), '')";

// Staged names carry a random part; tests see it as "N".
inline std::wstring Masked(std::wstring line) {
    for (std::size_t at = FindStaged(line); at != std::wstring::npos; at = FindStaged(line, at + 1))
        line.replace(at, kStagedLength, L".zub-stage-N");
    return line;
}

class RecordingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        db = &RecordingDb::Install();
        nfs = &RecordingNfs::Install();
        db->OnSelect(L"QV_SysInfo", MakeRs({L"sysPwd"}, {{T(L"pw")}}));
    }

    // Database calls, without the file-server login's password look-up.
    std::vector<std::wstring> DbLines() const {
        std::vector<std::wstring> lines;
        for (const auto& line : db->Lines())
            if (line.find(L"QV_SysInfo") == std::wstring::npos) lines.push_back(Masked(line));
        return lines;
    }
    std::vector<std::wstring> DbOps() const {
        std::vector<std::wstring> ops;
        for (const auto& call : db->calls)
            if (call.table != L"QV_SysInfo") ops.push_back(call.op);
        return ops;
    }
    // File-server calls without the login.
    std::vector<std::wstring> NfsLines() const {
        std::vector<std::wstring> lines;
        for (const auto& line : nfs->calls)
            if (line.rfind(L"logIn ", 0) != 0) lines.push_back(Masked(line));
        return lines;
    }
    bool AnyDbOp(const std::wstring& op) const {
        for (const auto& o : DbOps())
            if (o == op) return true;
        return false;
    }

    void QueueRepo(int times = 1) {
        for (int i = 0; i < times; ++i)
            db->OnSelect(L"QV_DMRepo", MakeRs({L"server", L"port", L"directory"},
                                              {{T(L"recfs:"), I(0), T(L"D:\\repo1")}}));
    }
    void QueueStrategy(int scheme, int newDocBeginNum = 0, int beginMain = 1, int beginSub = 0,
                       int times = 1) {
        for (int i = 0; i < times; ++i)
            db->OnSelect(L"QV_DMVerStrategy",
                         MakeRs({L"SeriaNumStra", L"NewDocBeginNum", L"Begin_Main", L"Begin_Sub"},
                                {{I(scheme), I(newDocBeginNum), I(beginMain), I(beginSub)}}));
    }
    void QueueUser(const wchar_t* name) {
        db->OnSelect(L"QV_User", MakeRs({L"UserName"}, {{T(name)}}));
    }
    static std::wstring RepoLookup(int docRepoId) {
        return L"SelectRows QV_DMRepo (server,port,directory) where 0:DocRepoId=" +
               std::to_wstring(docRepoId);
    }

    RecordingDb* db = nullptr;
    RecordingNfs* nfs = nullptr;
};

}  // namespace zub::docvault::test
