#include "zub/boundary.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

namespace {

using ZUBBASE::CatchPlace;
using ZUBBASE::QV_Exception;

__attribute__((noinline, no_sanitize("undefined"))) int DivideByZero() {
    volatile int zero = 0;
    volatile int n = 7;
    return n / zero;
}

struct Recorded {
    int calls = 0;
    std::wstring message, raiseFile, raiseFunction, catchFile, catchFunction;
    int raiseLine = 0, catchLine = 0;
};

int Guarded(const CatchPlace& place, const std::function<int()>& body, Recorded& r) {
    return ZUBBASE::Guard(place, -9, body, [&](QV_Exception& e) {
        ++r.calls;
        r.message = e.Message();
        r.raiseFile = e.RaiseFile();
        r.raiseFunction = e.RaiseFunction();
        r.raiseLine = e.RaiseLine();
        r.catchFile = e.CatchFile();
        r.catchFunction = e.CatchFunction();
        r.catchLine = e.CatchLine();
        return -1;
    });
}

TEST(Boundary, WhatIsThrownIsRecordedOnceWithTheCatchPlace) {
    const CatchPlace place{L"src/docrepo", L"DRM::DocRepo::Save", 120};
    struct Case {
        const char* name;
        std::function<int()> body;
        std::wstring message;
        // Where it was raised: the thrower's place for ours, else the catch place.
        std::wstring raiseFile;
        int raiseLine;
    } cases[] = {
        {"ours", []() -> int { throw QV_Exception(L"库错误", L"src/doc", L"DRM::Doc::Load", 7); },
         L"库错误", L"src/doc", 7},
        {"standard", []() -> int { throw std::runtime_error("disk on fire"); }, L"disk on fire",
         L"src/docrepo", 120},
        {"anything else", []() -> int { throw 17; }, L"Unexpected error.", L"src/docrepo", 120},
        {"processor fault", [] { return DivideByZero(); }, L"EXCEPTION_INT_DIVIDE_BY_ZERO", L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded r;
        EXPECT_EQ(Guarded(place, c.body, r), -1);
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.message.rfind(c.message, 0), 0u);
        EXPECT_EQ(r.catchFile, L"src/docrepo");
        EXPECT_EQ(r.catchFunction, L"DRM::DocRepo::Save");
        EXPECT_EQ(r.catchLine, 120);
        if (!c.raiseFile.empty()) {
            EXPECT_EQ(r.raiseFile, c.raiseFile);
            EXPECT_EQ(r.raiseLine, c.raiseLine);
        }
    }
}

TEST(Boundary, AMemberOfAClassIsNamedWithItsClass) {
    Recorded r;
    Guarded(
        {L"codoc", L"put_Id", 40, L"CCoDoc"}, []() -> int { throw std::logic_error("x"); }, r);
    EXPECT_EQ(r.catchFunction, L"CCoDoc::put_Id");
    EXPECT_EQ(r.raiseFunction, L"CCoDoc::put_Id");
}

TEST(Boundary, ABodyThatReturnsIsNotRecorded) {
    Recorded r;
    EXPECT_EQ(Guarded(
                  {}, [] { return 5; }, r),
              5);
    EXPECT_EQ(r.calls, 0);
}

TEST(Boundary, ARecordingThatFailsGivesTheFallback) {
    const int status = ZUBBASE::Guard(
        CatchPlace{}, -9, []() -> int { throw std::runtime_error("x"); },
        [](QV_Exception&) -> int { throw std::bad_alloc(); });
    EXPECT_EQ(status, -9);
}

TEST(Boundary, TheUnknownTextIsTheBoundarysOwn) {
    const QV_Exception e = ZUBBASE::CaughtAt(
        std::make_exception_ptr(3.5), {L"src/doc", L"DRM::Doc::Read", 9}, L"unknown exception");
    EXPECT_EQ(e.FullText(), L"unknown exception\n");
    EXPECT_EQ(e.CatchLine(), 9);
}

}  // namespace
