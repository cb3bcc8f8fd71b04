#include "zub/qv_exception.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using ZUBBASE::QV_Exception;

class NullWhat : public std::exception {
public:
    const char* what() const noexcept override { return nullptr; }
};

TEST(QvException, KeepsRaiseLocationAndStartsUncaught) {
    const QV_Exception e(L"记录不存在", L"src/doc", L"DRM::Doc::Load", 120);
    EXPECT_EQ(e.Message(), L"记录不存在");
    EXPECT_STREQ(e.message(), L"记录不存在");
    EXPECT_EQ(e.RaiseFile(), L"src/doc");
    EXPECT_EQ(e.RaiseFunction(), L"DRM::Doc::Load");
    EXPECT_EQ(e.RaiseLine(), 120);
    EXPECT_EQ(e.CatchFile(), L"");
    EXPECT_EQ(e.CatchFunction(), L"");
    EXPECT_EQ(e.CatchLine(), 0);
}

TEST(QvException, FullTextIsMessageAndLineBreak) {
    EXPECT_EQ(QV_Exception(L"a\nb", L"", L"", 0).FullText(), L"a\nb\n");
    EXPECT_EQ(QV_Exception(L"", L"", L"", 0).FullText(), L"\n");
}

TEST(QvException, WhatStaysTheStandardOne) {
    const QV_Exception e(L"message", L"f", L"g", 1);
    EXPECT_STREQ(e.what(), std::exception().what());
}

TEST(QvException, CatchLocationIsStampedAndRestampable) {
    try {
        throw QV_Exception(L"boom", L"src/x", L"X::Raise", 10);
    } catch (QV_Exception& e) {
        e.SetCatchLocation(L"src/docrepo", L"DRM::DocRepo::Save", 77);
        EXPECT_EQ(e.CatchFile(), L"src/docrepo");
        EXPECT_EQ(e.CatchFunction(), L"DRM::DocRepo::Save");
        EXPECT_EQ(e.CatchLine(), 77);
        // An outer boundary stamps its own place.
        e.SetCatchLocation(L"src/doc", L"DRM::Doc::CheckIn", 300);
        EXPECT_EQ(e.CatchFile(), L"src/doc");
        EXPECT_EQ(e.CatchLine(), 300);
        // The raise location is not touched.
        EXPECT_EQ(e.RaiseFile(), L"src/x");
        EXPECT_EQ(e.RaiseFunction(), L"X::Raise");
        EXPECT_EQ(e.RaiseLine(), 10);
    }
}

TEST(QvException, CaughtAsStandardException) {
    bool caught = false;
    try {
        throw QV_Exception(L"x", L"", L"", 0);
    } catch (const std::exception& e) {
        caught = dynamic_cast<const QV_Exception*>(&e) != nullptr;
    }
    EXPECT_TRUE(caught);
}

TEST(QvException, FromStandardExceptionConvertsItsText) {
    const std::runtime_error error("磁盘已满: disk full");
    const QV_Exception e(error, L"src/docrepo", L"DRM::DocRepo::Save", 42);
    EXPECT_EQ(e.Message(), L"磁盘已满: disk full");
    EXPECT_EQ(e.FullText(), L"磁盘已满: disk full\n");
    EXPECT_EQ(e.RaiseFile(), L"src/docrepo");
    EXPECT_EQ(e.RaiseFunction(), L"DRM::DocRepo::Save");
    EXPECT_EQ(e.RaiseLine(), 42);
    EXPECT_EQ(e.CatchLine(), 0);
}

TEST(QvException, FromStandardExceptionWithBadBytesOrNoText) {
    EXPECT_EQ(QV_Exception(std::runtime_error("a\xff"
                                              "b"),
                           L"", L"", 0)
                  .Message(),
              L"a\uFFFDb");
    EXPECT_EQ(QV_Exception(NullWhat(), L"f", L"g", 3).Message(), L"");
    EXPECT_EQ(QV_Exception(NullWhat(), L"f", L"g", 3).FullText(), L"\n");
}

}  // namespace
