// How a WebDAV server's text and the server paths become URLs.
#include <gtest/gtest.h>

#include "davurl.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"

namespace zub::vaultfs::test {

namespace {

using NFS::DavUrl;

TEST(DavUrl, ServerTextPortAndBase) {
    struct Case {
        const wchar_t* server;
        unsigned short port;
        const char* origin;
        const char* base;
        const char* caFile;
    };
    const Case cases[] = {
        {L"http://files", 0, "http://files:80", "", ""},
        {L"HTTPS://Files.Example/", 0, "https://files.example:443", "", ""},
        {L"http://files:8080/dav/vault", 0, "http://files:8080", "/dav/vault", ""},
        {L"http://files/dav", 8081, "http://files:8081", "/dav", ""},
        {L"http://files:8081/dav", 8081, "http://files:8081", "/dav", ""},
        {L"http://[::1]:9000/x", 0, "http://[::1]:9000", "/x", ""},
        {L"http://h/a b/中/./", 0, "http://h:80", "/a%20b/%E4%B8%AD", ""},
        {L"https://h/v?cafile=/etc/my%20ca.pem", 0, "https://h:443", "/v", "/etc/my ca.pem"},
    };
    for (const Case& c : cases) {
        const DavUrl url = DavUrl::Parse(c.server, c.port);
        EXPECT_EQ(url.origin, c.origin) << std::string(c.origin);
        EXPECT_EQ(url.base, c.base) << std::string(c.origin);
        EXPECT_EQ(url.caFile, c.caFile) << std::string(c.origin);
    }
}

TEST(DavUrl, RefusedServerTexts) {
    const std::pair<const wchar_t*, unsigned short> cases[] = {
        {L"ftp://h", 0},    {L"http:/h", 0},         {L"http://user:pw@h/x", 0},
        {L"http://h:0", 0}, {L"http://h:70000", 0},  {L"http://h:80", 81},
        {L"http:///x", 0},  {L"http://h/a/../b", 0}, {L"http://h/x?user=a", 0},
    };
    for (const auto& [server, port] : cases) {
        try {
            DavUrl::Parse(server, port);
            ADD_FAILURE() << "accepted " << std::wstring(server).size();
        } catch (const NFS::NfsError& e) {
            EXPECT_EQ(e.number(), NFS::NFS_E_UNKNOWN_SERVER);
            // Whatever the text held, a password never reaches the message.
            EXPECT_EQ(e.text().find(L"pw@"), std::wstring::npos);
        }
    }
}

TEST(DavUrl, EverySegmentIsEncodedAndNothingLeavesTheBase) {
    const DavUrl url = DavUrl::Parse(L"http://h/base", 0);
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"D:\\repo\\trunk\\a.prt", "/base/D/repo/trunk/a.prt"},
        {L"\\repos\\中文 图纸\\a#1?.prt",
         "/base/repos/%E4%B8%AD%E6%96%87%20%E5%9B%BE%E7%BA%B8/a%231%3F.prt"},
        {L"/x/100%/a+b;c=d&e", "/base/x/100%25/a%2Bb%3Bc%3Dd%26e"},
        {L"x/./y//z", "/base/x/y/z"},
    };
    for (const auto& [path, encoded] : cases) EXPECT_EQ(url.Path(path), encoded);
    for (const wchar_t* path : {L"..\\x", L"a\\..\\..\\x", L"a/../b"}) {
        try {
            (void)url.Path(path);
            ADD_FAILURE() << "accepted a path with ..";
        } catch (const NFS::NfsError& e) {
            EXPECT_EQ(e.number(), NFS::NFS_E_OUTSIDE_ROOT);
        }
    }
    EXPECT_THROW((void)url.Path(L"\\"), NFS::NfsError);
}

TEST(DavUrl, DecodingIsTheInverseAndRefusesBrokenEscapes) {
    std::string out;
    ASSERT_TRUE(NFS::PercentDecode(NFS::PercentEncode("a b/中#?%"), out));
    EXPECT_EQ(out, "a b/中#?%");
    for (const char* broken : {"%", "%4", "%zz", "a%g1"})
        EXPECT_FALSE(NFS::PercentDecode(broken, out));
}

}  // namespace

}  // namespace zub::vaultfs::test
