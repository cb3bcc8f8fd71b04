// Document paths between people's spelling and the library's.
#include <gtest/gtest.h>

#include "pathtext.h"
#include "vaulterror.h"

namespace zub::vault::test {

TEST(VaultPathText, FoldersTakeEitherSeparatorAndLoseEmptyParts) {
    EXPECT_EQ(PathText::Folder(L""), L"");
    EXPECT_EQ(PathText::Folder(L"/"), L"");
    EXPECT_EQ(PathText::Folder(L"parts/bolts"), L"\\parts\\bolts");
    EXPECT_EQ(PathText::Folder(L"\\parts\\\\bolts\\"), L"\\parts\\bolts");
    EXPECT_EQ(PathText::ShowFolder(L"\\parts\\bolts"), L"parts/bolts");
    EXPECT_EQ(PathText::Show(L"", L"a", L"prt"), L"a.prt");
    EXPECT_EQ(PathText::Show(L"\\p", L"a.b", L"prt"), L"p/a.b.prt");
}

TEST(VaultPathText, PartsThatLeaveTheFolderAreRefused) {
    for (const wchar_t* bad : {L"..", L"a/../b", L"./a", L"a\\.."}) {
        try {
            PathText::Folder(bad);
            ADD_FAILURE() << "accepted";
        } catch (const VaultError& e) {
            EXPECT_EQ(e.number(), 49710);
        }
    }
}

TEST(VaultPathText, FileNamesSplitAtTheLastDot) {
    const PathText p = PathText::Split(L"sub/dir/bracket.left.prt");
    EXPECT_EQ(p.folder, L"\\sub\\dir");
    EXPECT_EQ(p.name, L"bracket.left");
    EXPECT_EQ(p.ext, L"prt");
    for (const wchar_t* bad : {L"Makefile", L".hidden", L"trailing.", L"dir/"}) {
        EXPECT_THROW(PathText::Split(bad), VaultError) << bad;
    }
}

}  // namespace zub::vault::test
