// The WebDAV backend when things go wrong: answers it does not want, a
// server that stalls, redirects, goes away in the middle of a transfer, a
// wrong password, certificates. Each ends in a number and a text naming the
// method and the path, with nothing committed lost and nothing half-published.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "sha256.h"
#include "testtree.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/webdavbackend.h"
#include "zub/text.h"
#include "zubtest/httpresponder.h"
#include "zubtest/webdavserver.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Answer = zub::testsupport::HttpResponder::Answer;
using Strings = std::vector<std::string>;

// Runs `fn`, returning the failure it throws as (number, text).
template <class Fn>
std::pair<long, std::wstring> Failure(Fn fn) {
    try {
        fn();
    } catch (const NFS::NfsError& e) {
        return {e.number(), e.text()};
    }
    return {0, L""};
}

std::wstring Origin(unsigned short port) { return L"http://127.0.0.1:" + std::to_wstring(port); }

NFS::WebDavBackend::Options Quick() {
    NFS::WebDavBackend::Options options;
    options.connectSeconds = 2;
    options.stallSeconds = 1;
    options.retries = 2;
    return options;
}

TEST(WebDavFaults, UnwantedAnswersBecomeTheirNumbersWithMethodAndPath) {
    struct Case {
        int status;
        long number;
    };
    for (const Case c : {Case{500, NFS::NFS_E_HTTP}, Case{507, NFS::NFS_E_NO_SPACE},
                         Case{423, NFS::NFS_E_LOCKED}, Case{401, NFS::NFS_E_LOGIN}}) {
        SCOPED_TRACE(c.status);
        zub::testsupport::HttpResponder server([&](const std::string& method, const std::string&) {
            Answer answer;
            // Folders are there; what writes gets the status.
            answer.status = method == "PROPFIND" ? 404 : c.status;
            return answer;
        });
        TestTree tree;
        tree.Write("a.prt", "content");
        NFS::WebDavBackend backend(Origin(server.port()) + L"/base", 0, Quick());
        const auto [number, text] =
            Failure([&] { backend.upload(Wide(tree / "a.prt"), L"D:\\repo\\中 1.prt", {}); });
        EXPECT_EQ(number, c.number);
        EXPECT_NE(text.find(L"PUT of \"D:\\repo\\中 1.prt\": HTTP " + std::to_wstring(c.status)),
                  std::wstring::npos)
            << text;
        // Nothing was moved into place.
        for (const std::string& request : server.requests())
            EXPECT_NE(request.substr(0, 4), "MOVE") << request;
        EXPECT_EQ(Failure([&] { backend.mk(L"D:\\x"); }).first, c.number);
    }
}

TEST(WebDavFaults, RedirectsAreNeverFollowed) {
    zub::testsupport::HttpResponder server([](const std::string&, const std::string&) {
        Answer answer;
        answer.status = 302;
        answer.headers = "Location: http://elsewhere.invalid/steal\r\n";
        return answer;
    });
    TestTree tree;
    NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
    backend.logIn(L"system", L"pa55word");
    const auto [number, text] =
        Failure([&] { backend.download(L"D:\\a.prt", Wide(tree / "out"), L"a.prt", {}); });
    EXPECT_EQ(number, NFS::NFS_E_REDIRECT);
    EXPECT_NE(text.find(L"GET of \"D:\\a.prt\": HTTP 302"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"pa55word"), std::wstring::npos);
    EXPECT_EQ(server.requests(), Strings{"GET /D/a.prt"});
    EXPECT_FALSE(fs::exists(tree / "out/a.prt"));
}

TEST(WebDavFaults, AStalledTransferTimesOutAndLeavesNothing) {
    zub::testsupport::HttpResponder server([](const std::string&, const std::string&) {
        Answer answer;
        answer.body = "the first bytes";
        answer.missing = 1000;
        answer.stall = std::chrono::seconds(10);
        return answer;
    });
    TestTree tree;
    tree.Write("out/a.prt", "mine");
    NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
    const auto started = std::chrono::steady_clock::now();
    const auto [number, text] =
        Failure([&] { backend.download(L"D:\\a.prt", Wide(tree / "out"), L"a.prt", {}); });
    EXPECT_EQ(number, NFS::NFS_E_TIMEOUT) << text;
    // libcurl measures the speed over a few seconds' window.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(9));
    EXPECT_EQ(tree.List("out"), Strings{"a.prt"});
    EXPECT_EQ(tree.Read("out/a.prt"), "mine");
}

TEST(WebDavFaults, DroppedConnectionsAreRetriedABoundedNumberOfTimes) {
    struct Case {
        int drops;
        long number;
        std::size_t requests;
    };
    // Two retries: a third drop fails. Every backend starts on a fresh
    // connection, which libcurl never resends on its own.
    for (const Case c : {Case{2, 0, 3}, Case{3, NFS::NFS_E_UNREACHABLE, 3}}) {
        SCOPED_TRACE(c.drops);
        int drops = c.drops;
        zub::testsupport::HttpResponder server([&](const std::string&, const std::string&) {
            Answer answer;
            answer.drop = drops-- > 0;
            answer.body = "served";
            return answer;
        });
        TestTree tree;
        NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
        EXPECT_EQ(Failure([&] {
                      backend.download(L"D:\\a.prt", Wide(tree / "out"), L"a.prt", {});
                  }).first,
                  c.number);
        EXPECT_EQ(server.requests().size(), c.requests);
        EXPECT_EQ(tree.List("out"), c.number == 0 ? Strings{"a.prt"} : Strings{});
        if (c.number == 0) {
            EXPECT_EQ(tree.Read("out/a.prt"), "served");
        }
    }
}

TEST(WebDavFaults, ADownloadsSumCoversTheAnswerItKeptAndNothingOfACutAttempt) {
    struct Case {
        const char* name;
        std::size_t size;
        bool firstCut;     // the first answer ends early; the retry is whole
        bool expectRight;  // the expected sum is the content's
    };
    const std::size_t mib = std::size_t{1} << 20;
    for (const Case c :
         {Case{"empty", 0, false, true}, Case{"small", 1000, true, true},
          Case{"one chunk", mib, true, true}, Case{"chunks and a rest", 2 * mib + 777, true, true},
          Case{"wrong sum", 2 * mib + 777, false, false}}) {
        SCOPED_TRACE(c.name);
        std::string body(c.size, '\0');
        for (std::size_t i = 0; i < c.size; ++i) body[i] = static_cast<char>(i * 7 + i / 4099);
        bool cut = c.firstCut;
        zub::testsupport::HttpResponder server([&](const std::string&, const std::string&) {
            Answer answer;
            // The cut attempt sends other bytes, so a sum that kept any of
            // them would differ.
            answer.body = cut ? std::string(body.size() / 2, 'x') : body;
            answer.missing = cut ? body.size() - body.size() / 2 + 1 : 0;
            if (cut) answer.stall = std::chrono::milliseconds(1);  // then closes
            cut = false;
            return answer;
        });
        NFS::Sha256 sha;
        sha.Update(body.data(), body.size());
        TestTree tree;
        NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
        NFS::ContentSum sum;
        sum.expect = c.expectRight ? sha.HexFinal() : std::wstring(64, L'0');
        const long number =
            Failure([&] {
                backend.download(L"D:\\a.prt", Wide(tree / "out"), L"a.prt", {}, sum);
            }).first;
        if (c.expectRight) {
            EXPECT_EQ(number, 0);
            EXPECT_EQ(sum.sha256, sum.expect);
            EXPECT_EQ(tree.Read("out/a.prt"), body);
            // No block reserved for an attempt stays allocated past the end.
            struct stat st {};
            ASSERT_EQ(::stat((tree / "out/a.prt").c_str(), &st), 0);
            const auto block = static_cast<std::int64_t>(st.st_blksize);
            EXPECT_LE(st.st_blocks * 512, (st.st_size + block - 1) / block * block);
        } else {
            EXPECT_EQ(number, NFS::NFS_E_CONTENT);
            EXPECT_EQ(tree.List("out"), Strings{});
        }
    }
}

// The file-size limit makes the kernel refuse the local write past 1 MiB:
// early in the answer, or only with its last bytes, which are written after
// the answer has ended. Run in a child so the limit stays there.
TEST(WebDavFaults, ADownloadThatCannotBeWrittenLeavesTheLocalFile) {
    struct Case {
        const char* name;
        std::size_t size;
    };
    const std::size_t mib = std::size_t{1} << 20;
    for (const Case c : {Case{"refused early", 3 * mib}, Case{"refused at the end", mib + 100}}) {
        SCOPED_TRACE(c.name);
        TestTree tree;
        tree.Write("out/a.prt", "local copy");
        const std::string report = RunInChild([&]() -> std::string {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{mib, mib};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
            zub::testsupport::HttpResponder server([&](const std::string&, const std::string&) {
                Answer answer;
                answer.body = std::string(c.size, 'b');
                return answer;
            });
            NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
            const auto [number, text] =
                Failure([&] { backend.download(L"D:\\a.prt", Wide(tree / "out"), L"a.prt", {}); });
            // The text names the local file, not the server's.
            if (number != NFS::NFS_E_IO ||
                text.find(Wide(tree / "out/a.prt")) == std::wstring::npos)
                return "number " + std::to_string(number) + ": " + zub::WideToUtf8(text);
            return "";
        });
        EXPECT_EQ(report, "");
        EXPECT_EQ(tree.List("out"), Strings{"a.prt"});
        EXPECT_EQ(tree.Read("out/a.prt"), "local copy");
    }
}

TEST(WebDavFaults, AMoveIsNotRetriedWhenItsConnectionDrops) {
    // The file "/D/a" in the folder "/D".
    auto entry = [](const std::string& path, bool folder) {
        return "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>" +
               path + "</D:href><D:propstat><D:prop><D:resourcetype>" +
               (folder ? "<D:collection/>" : "") +
               "</D:resourcetype></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
               "</D:response></D:multistatus>";
    };
    zub::testsupport::HttpResponder server([&](const std::string& method, const std::string& path) {
        Answer answer;
        answer.drop = method == "MOVE";
        if (method == "PROPFIND") {
            answer.status = path == "/D/a" || path == "/D" ? 207 : 404;
            answer.body = answer.status == 207 ? entry(path, path == "/D") : "";
        }
        return answer;
    });
    NFS::WebDavBackend backend(Origin(server.port()), 0, Quick());
    EXPECT_EQ(Failure([&] { backend.renameFile(L"D:\\a", L"D:\\b"); }).first,
              NFS::NFS_E_UNREACHABLE);
    const Strings seen = server.requests();
    // libcurl itself may resend once on a kept-alive connection that closed
    // before any answer; the backend adds no attempt of its own.
    EXPECT_LE(std::count(seen.begin(), seen.end(), "MOVE /D/a"), 2);
    EXPECT_GE(std::count(seen.begin(), seen.end(), "MOVE /D/a"), 1);
}

// Against a real server.
class WebDavServerFaults : public ::testing::Test {
protected:
    WebDavServerFaults() {
        fs::permissions(tree.path(), fs::perms::others_exec, fs::perm_options::add);
        fs::create_directories(tree / "root");
        zub::testsupport::WebDavServer::Options options;
        options.documents = tree / "root";
        dav.emplace(options);
        backend.emplace(Origin(dav->port()), 0, Quick());
        backend->logIn(L"system", L"secret");
    }

    TestTree tree;
    std::optional<zub::testsupport::WebDavServer> dav;
    std::optional<NFS::WebDavBackend> backend;
};

TEST_F(WebDavServerFaults, AWrongPasswordIsRefusedAndNeverShown) {
    tree.Write("local/a", "a");
    NFS::WebDavBackend wrong(Origin(dav->port()), 0, Quick());
    wrong.logIn(L"system", L"not-the-s3cret");
    const auto [number, text] =
        Failure([&] { wrong.upload(Wide(tree / "local/a"), L"D:\\a", {}); });
    EXPECT_EQ(number, NFS::NFS_E_LOGIN);
    EXPECT_EQ(text.find(L"s3cret"), std::wstring::npos) << text;
    NFS::WebDavBackend none(Origin(dav->port()), 0, Quick());
    EXPECT_EQ(Failure([&] { none.mk(L"D:\\x"); }).first, NFS::NFS_E_LOGIN);
    EXPECT_EQ(tree.List("root"), Strings{});
}

TEST_F(WebDavServerFaults, ServerStoppedMidUploadKeepsThePreviousFile) {
    tree.Write("root/D/big", "previous");
    WritePattern(tree / "big", 64u << 20);
    bool stopped = false;
    const auto [number, text] = Failure([&] {
        backend->upload(Wide(tree / "big"), L"D:\\big", [&](std::uint64_t done, std::uint64_t) {
            if (!stopped && done > (16u << 20)) {
                stopped = true;
                dav->Stop();
            }
        });
    });
    EXPECT_TRUE(stopped);
    EXPECT_NE(number, 0);
    dav->Start();
    EXPECT_EQ(tree.Read("root/D/big"), "previous");
    EXPECT_EQ(backend->listFolder(L"D").size(), 1u);
}

TEST_F(WebDavServerFaults, ServerStoppedMidDownloadKeepsTheLocalFile) {
    WritePattern(tree / "root/big", 64u << 20);
    tree.Write("out/big", "mine");
    bool stopped = false;
    const auto [number, text] = Failure([&] {
        backend->download(L"big", Wide(tree / "out"), L"big",
                          [&](std::uint64_t done, std::uint64_t) {
                              if (!stopped && done > (16u << 20)) {
                                  stopped = true;
                                  dav->Stop();
                              }
                          });
    });
    EXPECT_TRUE(stopped);
    EXPECT_NE(number, 0) << text;
    EXPECT_EQ(tree.Read("out/big"), "mine");
    EXPECT_EQ(tree.List("out"), Strings{"big"});
}

TEST_F(WebDavServerFaults, ServerStoppedMidBaselinePublishesNoBaseline) {
    tree.Write("root/D/trunk/a.prt", "a");
    tree.Write("root/D/trunk/sub/b.prt", "b");
    fs::create_directories(tree / "root/D/baseline");
    std::vector<NFS::NfsFileSum> sums;
    const auto [number, text] = Failure([&] {
        // Reported once the server has copied, before the copy gets its name.
        backend->copyFolder(
            L"D\\trunk", L"D\\baseline", [&](std::uint64_t, std::uint64_t) { dav->Stop(); }, sums);
    });
    EXPECT_EQ(number, NFS::NFS_E_UNREACHABLE) << text;
    dav->Start();
    EXPECT_EQ(backend->listFolder(L"D\\baseline").size(), 0u);
    EXPECT_EQ(tree.Read("root/D/trunk/sub/b.prt"), "b");
}

class WebDavTls : public ::testing::Test {
protected:
    TestTree tree;
};

TEST_F(WebDavTls, ACertificateIsCheckedAgainstTheHostItNames) {
    zub::testsupport::WebDavServer::MakeCertificate(tree.path(), "good", "127.0.0.1");
    zub::testsupport::WebDavServer::MakeCertificate(tree.path(), "other", "files.example");
    tree.Write("local/a", "secret drawing");
    struct Case {
        const char* certificate;
        bool trusted;  // the store names the certificate as its CA file
        long number;
    };
    for (const Case c : {Case{"good", true, 0}, Case{"good", false, NFS::NFS_E_TLS},
                         Case{"other", true, NFS::NFS_E_TLS}}) {
        SCOPED_TRACE(std::string(c.certificate) + (c.trusted ? " trusted" : ""));
        zub::testsupport::WebDavServer::Options options;
        options.certificate = tree / (std::string(c.certificate) + ".pem");
        options.key = tree / (std::string(c.certificate) + ".key");
        zub::testsupport::WebDavServer server(options);
        fs::create_directories(server.documents() / "v");
        std::wstring text = L"https://127.0.0.1:" + std::to_wstring(server.port()) + L"/v";
        if (c.trusted) text += L"?cafile=" + Wide(tree / options.certificate.filename());
        NFS::WebDavBackend backend(text, 0, Quick());
        backend.logIn(L"system", L"secret");
        const auto failure = Failure([&] { backend.upload(Wide(tree / "local/a"), L"D:\\a", {}); });
        EXPECT_EQ(failure.first, c.number)
            << std::string(failure.second.begin(), failure.second.end());
        EXPECT_EQ(fs::exists(server.documents() / "v/D/a"), c.number == 0);
    }
}

}  // namespace

}  // namespace zub::vaultfs::test
