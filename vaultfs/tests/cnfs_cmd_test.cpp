// Dispatch, backend caching, error state and exception conversion of the
// command object, with a recording backend.
#include "vaultfs/cnfs_cmd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "backendfixture.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/qv_exception.h"

namespace zub::vaultfs::test {

namespace {

using NFS::CNFS_Cmd;
using NFS::NfsBackend;
using NFS::NfsError;
using Error = std::pair<long, std::wstring>;

// What the recording backend was asked, one line per call.
struct Journal {
    std::vector<std::wstring> calls;
    std::function<void()> fault;  // runs before every call; may throw
    bool sawProgress = false;
};

class RecordingBackend : public NfsBackend {
public:
    RecordingBackend(std::shared_ptr<Journal> journal, std::wstring name)
        : journal_(std::move(journal)), name_(std::move(name)) {}
    void logIn(const std::wstring& user, const std::wstring& password) override {
        Note(L"logIn " + user + L" " + password);
    }
    void mk(const std::wstring& dir) override { Note(L"mk " + dir); }
    void rm(const std::wstring& dir) override { Note(L"rm " + dir); }
    void delFile(const std::wstring& file) override { Note(L"delFile " + file); }
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress) override {
        Note(L"upload " + localFile + L" " + remoteFile);
        journal_->sawProgress = static_cast<bool>(progress);
        if (progress) progress(7, 7);
        return 7;
    }
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress&) override {
        Note(L"download " + remoteFile + L" " + localDir + L" " + localName);
        return 8;
    }
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress&) override {
        Note(L"downLoadFolder " + remoteDir + L" " + localDir);
        return 9;
    }
    void copy(const std::wstring& source, const std::wstring& target) override {
        Note(L"copy " + source + L" " + target);
    }
    void copyFolder(const std::wstring& source, const std::wstring& target) override {
        Note(L"copyFolder " + source + L" " + target);
    }
    void renameFile(const std::wstring& oldPath, const std::wstring& newPath) override {
        Note(L"renameFile " + oldPath + L" " + newPath);
    }
    void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) override {
        Note(L"renameFolder " + oldPath + L" " + newPath);
    }
    std::vector<NFS::NfsEntry> listFolder(const std::wstring& dir) override {
        Note(L"listFolder " + dir);
        return {};
    }
    std::vector<NFS::NfsDebris> debris(const std::wstring& dir, bool remove) override {
        Note((remove ? L"removeDebris " : L"listDebris ") + dir);
        return {};
    }

private:
    void Note(const std::wstring& call) {
        journal_->calls.push_back(name_ + L": " + call);
        if (journal_->fault) journal_->fault();
    }
    std::shared_ptr<Journal> journal_;
    std::wstring name_;
};

// A backend that can count its copies; RecordingBackend cannot.
class CountingBackend : public RecordingBackend {
public:
    using RecordingBackend::copy;
    using RecordingBackend::copyFolder;
    using RecordingBackend::RecordingBackend;
    void copy(const std::wstring& source, const std::wstring& target,
              const Progress& progress) override {
        copy(source, target);
        if (progress) {
            progress(3, 5);
            progress(5, 5);
        }
    }
    void copyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress) override {
        copyFolder(source, target);
        if (progress) progress(11, 11);
    }
};

class CommandTest : public ::testing::Test {
protected:
    CommandTest() {
        cmd->RegisterBackend(L"rec", [this](const std::wstring& server, unsigned short port) {
            ++created;
            return std::make_unique<RecordingBackend>(journal,
                                                      server + L"#" + std::to_wstring(port));
        });
    }
    ~CommandTest() override {
        cmd->UnregisterBackend(L"rec");
        cmd->UnregisterBackend(L"cnt");
        cmd->SetProgress({});
    }

    static Error LastError() { return BackendFixture::LastError(); }
    // Runs `fn` on a fresh thread, which has no failure of its own yet.
    template <class Fn>
    static void OnNewThread(Fn fn) {
        std::thread thread(fn);
        thread.join();
    }

    CNFS_Cmd* cmd = CNFS_Cmd::Instance();
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    int created = 0;
    std::uint64_t count = 0;
};

TEST_F(CommandTest, InstanceIsOneObject) {
    EXPECT_EQ(CNFS_Cmd::Instance(), CNFS_Cmd::Instance());
    CNFS_Cmd* other = nullptr;
    OnNewThread([&] { other = CNFS_Cmd::Instance(); });
    EXPECT_EQ(other, cmd);
}

TEST_F(CommandTest, EveryOperationReachesTheBackendWithItsArguments) {
    const std::wstring s = L"rec:one";
    EXPECT_EQ(cmd->logIn(s, 5, L"", L"system", L"pw"), 0);
    EXPECT_EQ(cmd->mk(s, 5, L"D:\\r", false), 0);
    EXPECT_EQ(cmd->rm(s, 5, L"D:\\r"), 0);
    EXPECT_EQ(cmd->delFile(s, 5, L"D:\\r\\f"), 0);
    EXPECT_EQ(cmd->upload(s, 5, L"/l/f", L"D:\\r\\f", count, false), 0);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(cmd->download(s, 5, L"D:\\r\\f", L"/l", L"g", count, false), 0);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(cmd->downLoadFolder(s, 5, L"D:\\r", L"/l", count, false), 0);
    EXPECT_EQ(count, 9u);
    EXPECT_EQ(cmd->copy(s, 5, L"a", L"b"), 0);
    EXPECT_EQ(cmd->copyFolder(s, 5, L"c", L"d"), 0);
    EXPECT_EQ(cmd->renameFile(s, 5, L"e", L"f"), 0);
    EXPECT_EQ(cmd->renameFolder(s, 5, L"g", L"h"), 0);
    EXPECT_EQ(journal->calls,
              (std::vector<std::wstring>{
                  L"rec:one#5: logIn system pw", L"rec:one#5: mk D:\\r", L"rec:one#5: rm D:\\r",
                  L"rec:one#5: delFile D:\\r\\f", L"rec:one#5: upload /l/f D:\\r\\f",
                  L"rec:one#5: download D:\\r\\f /l g", L"rec:one#5: downLoadFolder D:\\r /l",
                  L"rec:one#5: copy a b", L"rec:one#5: copyFolder c d",
                  L"rec:one#5: renameFile e f", L"rec:one#5: renameFolder g h"}));
    EXPECT_EQ(created, 1);
}

TEST_F(CommandTest, OneBackendPerServerAndPort) {
    cmd->mk(L"rec:a", 1, L"x", false);
    cmd->mk(L"rec:a", 1, L"y", false);
    cmd->mk(L"rec:a", 2, L"x", false);
    cmd->mk(L"rec:b", 1, L"x", false);
    // The scheme does not depend on case; the server text is still its own server.
    cmd->mk(L"REC:a", 1, L"x", false);
    EXPECT_EQ(created, 4);
    EXPECT_EQ(journal->calls.back(), L"REC:a#1: mk x");
}

TEST_F(CommandTest, RegisteringAgainDropsCachedBackends) {
    cmd->mk(L"rec:a", 1, L"x", false);
    auto second = std::make_shared<Journal>();
    cmd->RegisterBackend(L"rec", [second](const std::wstring& server, unsigned short) {
        return std::make_unique<RecordingBackend>(second, server);
    });
    cmd->mk(L"rec:a", 1, L"y", false);
    EXPECT_EQ(journal->calls, (std::vector<std::wstring>{L"rec:a#1: mk x"}));
    EXPECT_EQ(second->calls, (std::vector<std::wstring>{L"rec:a: mk y"}));

    cmd->UnregisterBackend(L"rec");
    EXPECT_EQ(cmd->mk(L"rec:a", 1, L"z", false), NFS::NFS_E_UNKNOWN_SERVER);
    EXPECT_EQ(second->calls.size(), 1u);
}

TEST_F(CommandTest, UnknownServersAreReportedWithTheirName) {
    EXPECT_EQ(cmd->mk(L"ftp://files.example", 21, L"D:\\r", false), NFS::NFS_E_UNKNOWN_SERVER);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_UNKNOWN_SERVER,
                    L"mk: no backend serves the server \"ftp://files.example\" port 21"));
    EXPECT_EQ(cmd->delFile(L"fileserver1", 9000, L"D:\\r"), NFS::NFS_E_UNKNOWN_SERVER);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_UNKNOWN_SERVER,
                    L"delFile: no backend serves the server \"fileserver1\" port 9000"));
    EXPECT_EQ(cmd->rm(L":x", 1, L"D:\\r"), NFS::NFS_E_UNKNOWN_SERVER);
    EXPECT_EQ(cmd->mk(L"file:", 0, L"D:\\r", false), NFS::NFS_E_UNKNOWN_SERVER);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_UNKNOWN_SERVER, L"mk: the server \"file:\" names no folder"));
}

TEST_F(CommandTest, ALocalRootThatDoesNotExistIsReported) {
    TestTree tree;
    const std::wstring missing = Wide(tree / "no-root");
    EXPECT_EQ(cmd->mk(L"file:" + missing, 0, L"D:\\r", false), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND, L"mk: the server's root folder \"" +
                                                           missing + L"\" does not exist"));
    EXPECT_FALSE(std::filesystem::exists(tree / "no-root"));
    // Once the root exists the same cached server works.
    std::filesystem::create_directory(tree / "no-root");
    EXPECT_EQ(cmd->mk(L"file:" + missing, 0, L"D:\\r", false), 0);
    EXPECT_TRUE(std::filesystem::is_directory(tree / "no-root/D/r"));
}

TEST_F(CommandTest, BackendExceptionsBecomeNumbersAndTexts) {
    struct Case {
        std::function<void()> fault;
        long number;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {[] { throw NfsError(1234, L"the backend's own words"); }, 1234,
         L"copy: the backend's own words"},
        {[] { throw std::bad_alloc(); }, NFS::NFS_E_NO_MEMORY, L"copy: out of memory at \"D:\\a\""},
        {[] {
             throw std::filesystem::filesystem_error(
                 "gone", std::make_error_code(std::errc::no_such_file_or_directory));
         },
         NFS::NFS_E_NOT_FOUND,
         L"copy: \"D:\\a\": filesystem error: gone: No such file or directory"},
        {[] {
             throw std::system_error(std::make_error_code(std::errc::no_space_on_device), "full");
         },
         NFS::NFS_E_IO, L"copy: \"D:\\a\": full: No space left on device"},
        {[] { throw std::runtime_error("broken"); }, NFS::NFS_E_INTERNAL,
         L"copy: \"D:\\a\": broken"},
        {[] { throw ZUBBASE::QV_Exception(L"fault text", L"f.cpp", L"F", 1); }, NFS::NFS_E_INTERNAL,
         L"copy: \"D:\\a\": fault text"},
        {[] { throw 42; }, NFS::NFS_E_INTERNAL, L"copy: \"D:\\a\": unknown failure"},
        // Number 0 would read as success.
        {[] { throw NfsError(0, L"zero"); }, NFS::NFS_E_INTERNAL, L"copy: zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        journal->fault = c.fault;
        EXPECT_EQ(cmd->copy(L"rec:x", 1, L"D:\\a", L"D:\\b"), c.number);
        EXPECT_EQ(LastError(), Error(c.number, c.text));
    }

    // Every operation that reports a status keeps to the same rule.
    const std::wstring s = L"rec:x";
    std::vector<NFS::NfsEntry> entries;
    std::vector<NFS::NfsDebris> debris;
    const std::vector<std::pair<std::wstring, std::function<int()>>> operations = {
        {L"mk", [&] { return cmd->mk(s, 1, L"D:\\a", false); }},
        {L"rm", [&] { return cmd->rm(s, 1, L"D:\\a"); }},
        {L"delFile", [&] { return cmd->delFile(s, 1, L"D:\\a"); }},
        {L"upload", [&] { return cmd->upload(s, 1, L"/l", L"D:\\a", count, false); }},
        {L"download", [&] { return cmd->download(s, 1, L"D:\\a", L"/l", L"n", count, false); }},
        {L"downLoadFolder",
         [&] { return cmd->downLoadFolder(s, 1, L"D:\\a", L"/l", count, false); }},
        {L"copy", [&] { return cmd->copy(s, 1, L"D:\\a", L"D:\\b"); }},
        {L"copyFolder", [&] { return cmd->copyFolder(s, 1, L"D:\\a", L"D:\\b"); }},
        {L"renameFile", [&] { return cmd->renameFile(s, 1, L"D:\\a", L"D:\\b"); }},
        {L"renameFolder", [&] { return cmd->renameFolder(s, 1, L"D:\\a", L"D:\\b"); }},
        {L"listFolder", [&] { return cmd->listFolder(s, 1, L"D:\\a", entries); }},
        {L"listDebris", [&] { return cmd->listDebris(s, 1, L"D:\\a", debris); }},
        {L"removeDebris", [&] { return cmd->removeDebris(s, 1, L"D:\\a", debris); }},
    };
    journal->fault = [] { throw std::runtime_error("broken"); };
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        int status = 0;
        EXPECT_NO_THROW(status = run());
        EXPECT_EQ(status, NFS::NFS_E_INTERNAL);
        EXPECT_EQ(LastError(), Error(NFS::NFS_E_INTERNAL, name + L": \"D:\\a\": broken"));
    }
}

TEST_F(CommandTest, AFailedTransferReportsNoCount) {
    journal->fault = [] { throw NfsError(NFS::NFS_E_IO, L"broken pipe"); };
    count = 99;
    EXPECT_EQ(cmd->upload(L"rec:x", 1, L"/l", L"r", count, false), NFS::NFS_E_IO);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(cmd->downLoadFolder(L"rec:x", 1, L"r", L"/l", count, false), NFS::NFS_E_IO);
    EXPECT_EQ(count, 0u);
}

TEST_F(CommandTest, FailingFactoriesAreFailuresToo) {
    cmd->RegisterBackend(L"bad",
                         [](const std::wstring&, unsigned short) -> std::unique_ptr<NfsBackend> {
                             throw std::runtime_error("cannot reach");
                         });
    cmd->RegisterBackend(
        L"null", [](const std::wstring&, unsigned short) { return std::unique_ptr<NfsBackend>(); });
    EXPECT_EQ(cmd->rm(L"bad:x", 1, L"D:\\r"), NFS::NFS_E_INTERNAL);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_INTERNAL, L"rm: \"D:\\r\": cannot reach"));
    EXPECT_EQ(cmd->rm(L"null:x", 1, L"D:\\r"), NFS::NFS_E_UNKNOWN_SERVER);
    cmd->UnregisterBackend(L"bad");
    cmd->UnregisterBackend(L"null");
}

TEST_F(CommandTest, LogInNeverFailsNorRecords) {
    OnNewThread([&] {
        EXPECT_EQ(cmd->logIn(L"nobody-knows", 1, L"", L"system", L"pw"), 0);
        journal->fault = [] { throw std::runtime_error("refused"); };
        EXPECT_EQ(cmd->logIn(L"rec:x", 1, L"", L"system", L"pw"), 0);
        EXPECT_EQ(cmd->GetErrorNumber(), 0);
        wchar_t* text = reinterpret_cast<wchar_t*>(1);
        cmd->GetLastError(&text);
        EXPECT_EQ(text, nullptr);
    });
    EXPECT_EQ(journal->calls, (std::vector<std::wstring>{L"rec:x#1: logIn system pw"}));
}

TEST_F(CommandTest, LocalBackendRemembersTheUser) {
    TestTree tree;
    NFS::LocalBackend backend(tree.path());
    EXPECT_EQ(backend.user(), L"");
    backend.logIn(L"system", L"secret");
    EXPECT_EQ(backend.user(), L"system");
    EXPECT_EQ(backend.root(), tree.path());
}

TEST_F(CommandTest, LastErrorIsPerThreadAndOutlivesSuccess) {
    journal->fault = [] { throw NfsError(50123, L"first"); };
    ASSERT_EQ(cmd->mk(L"rec:x", 1, L"a", false), 50123);
    journal->fault = nullptr;
    ASSERT_EQ(cmd->mk(L"rec:x", 1, L"a", false), 0);
    EXPECT_EQ(LastError(), Error(50123, L"mk: first"));

    OnNewThread([&] {
        EXPECT_EQ(cmd->GetErrorNumber(), 0);
        journal->fault = [] { throw NfsError(50999, L"other thread"); };
        EXPECT_EQ(cmd->rm(L"rec:x", 1, L"a"), 50999);
        EXPECT_EQ(LastError(), Error(50999, L"rm: other thread"));
    });
    EXPECT_EQ(LastError(), Error(50123, L"mk: first"));
}

TEST_F(CommandTest, GetLastErrorHandsOutACopyTheCallerFrees) {
    journal->fault = [] {
        throw NfsError(50002, L"the file \"D:\\\u6587\u6863.prt\" does not exist");
    };
    ASSERT_NE(cmd->delFile(L"rec:x", 1, L"D:\\\u6587\u6863.prt"), 0);
    wchar_t* first = nullptr;
    wchar_t* second = nullptr;
    cmd->GetLastError(&first);
    cmd->GetLastError(&second);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(std::wstring(first), L"delFile: the file \"D:\\\u6587\u6863.prt\" does not exist");
    first[0] = L'X';  // the caller's own copy
    EXPECT_EQ(std::wstring(second), L"delFile: the file \"D:\\\u6587\u6863.prt\" does not exist");
    CNFS_Cmd::FreeText(first);
    CNFS_Cmd::FreeText(second);
    CNFS_Cmd::FreeText(nullptr);
    cmd->GetLastError(nullptr);
}

TEST_F(CommandTest, ProgressReachesTransfersUntilSwitchedOff) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
    cmd->SetProgress(
        [&](std::uint64_t done, std::uint64_t total) { seen.emplace_back(done, total); });
    ASSERT_EQ(cmd->upload(L"rec:x", 1, L"/l", L"r", count, false), 0);
    EXPECT_TRUE(journal->sawProgress);
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{7, 7}}));
    cmd->SetProgress({});
    ASSERT_EQ(cmd->upload(L"rec:x", 1, L"/l", L"r", count, false), 0);
    EXPECT_FALSE(journal->sawProgress);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(CommandTest, ProgressNamesTheOperationAndReachesCopies) {
    cmd->RegisterBackend(L"cnt", [this](const std::wstring&, unsigned short) {
        return std::make_unique<CountingBackend>(journal, L"cnt");
    });
    using Named = std::vector<std::tuple<std::wstring, std::uint64_t, std::uint64_t>>;
    Named named;
    cmd->SetOperationProgress(
        [&](std::wstring_view operation, std::uint64_t done, std::uint64_t total) {
            named.emplace_back(std::wstring(operation), done, total);
        });
    ASSERT_EQ(cmd->upload(L"rec:x", 1, L"/l", L"r", count, false), 0);
    ASSERT_EQ(cmd->copy(L"cnt:", 0, L"a", L"b"), 0);
    ASSERT_EQ(cmd->copyFolder(L"cnt:", 0, L"c", L"d"), 0);
    EXPECT_EQ(
        named,
        (Named{{L"upload", 7, 7}, {L"copy", 3, 5}, {L"copy", 5, 5}, {L"copyFolder", 11, 11}}));

    // A backend that cannot count still copies, silently.
    named.clear();
    ASSERT_EQ(cmd->copy(L"rec:x", 1, L"e", L"f"), 0);
    ASSERT_EQ(cmd->copyFolder(L"rec:x", 1, L"g", L"h"), 0);
    EXPECT_EQ(named, Named{});

    // The plain callback replaces the named one.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> plain;
    cmd->SetProgress(
        [&](std::uint64_t done, std::uint64_t total) { plain.emplace_back(done, total); });
    ASSERT_EQ(cmd->copy(L"cnt:", 0, L"a", L"b"), 0);
    EXPECT_EQ(plain, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{3, 5}, {5, 5}}));
    EXPECT_EQ(named, Named{});

    cmd->SetOperationProgress({});
    ASSERT_EQ(cmd->copyFolder(L"cnt:", 0, L"c", L"d"), 0);
    EXPECT_EQ(plain.size(), 2u);
    EXPECT_EQ(named, Named{});
    EXPECT_EQ(journal->calls, (std::vector<std::wstring>{
                                  L"rec:x#1: upload /l r", L"cnt: copy a b", L"cnt: copyFolder c d",
                                  L"rec:x#1: copy e f", L"rec:x#1: copyFolder g h",
                                  L"cnt: copy a b", L"cnt: copyFolder c d"}));
}

}  // namespace

}  // namespace zub::vaultfs::test
