// What a WebDAV server's PROPFIND answers become.
#include <gtest/gtest.h>

#include "davlisting.h"

namespace {

TEST(DavListing, HttpDates) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        {"Wed, 09 Dec 2026 16:10:19 GMT", 1796832619},
        {"Thu, 01 Jan 1970 00:00:01 GMT", 1},
        // Not dates this reader takes: unknown then, never a wrong time.
        {"", 0},
        {"Sun, 06 Xyz 1994 08:49:37 GMT", 0},
        {"Sun, 06 Nov 1994 08:49:37 CET", 0},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 0},
        {"Sun, 06 Nov 1994 25:49:37 GMT", 0},
        {"06 Nov 1994", 0},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(NFS::ParseHttpDate(text), seconds) << text;
}

TEST(DavListing, EntriesCarryKindSizeSumAndTime) {
    const std::string sum(64, 'a');
    const std::string xml =
        "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\" xmlns:Z=\"urn:zub:vaultfs\">"
        "<D:response><D:href>/d/</D:href><D:propstat><D:prop>"
        "<D:resourcetype><D:collection/></D:resourcetype>"
        "<D:getlastmodified>Sun, 06 Nov 1994 08:49:37 GMT</D:getlastmodified>"
        "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
        "<D:response><D:href>http://h/d/a%20b</D:href><D:propstat><D:prop>"
        "<D:resourcetype/><D:getcontentlength>12</D:getcontentlength><Z:sha256>" +
        sum +
        "</Z:sha256></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
        "<D:propstat><D:prop><D:getlastmodified/></D:prop>"
        "<D:status>HTTP/1.1 404 Not Found</D:status></D:propstat></D:response>"
        "</D:multistatus>";
    const auto entries = NFS::ParseDavListing(xml, L"d");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "/d");
    EXPECT_TRUE(entries[0].folder);
    EXPECT_EQ(entries[0].modified, 784111777);
    EXPECT_EQ(entries[1].path, "/d/a b");
    EXPECT_FALSE(entries[1].folder);
    EXPECT_EQ(entries[1].bytes, 12u);
    EXPECT_EQ(entries[1].sha256, sum);
    EXPECT_EQ(entries[1].modified, 0);
}

}  // namespace
