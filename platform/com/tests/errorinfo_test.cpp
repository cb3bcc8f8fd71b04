#include <zub/com/automation.h>
#include <zub/com/comptr.h>

#include <gtest/gtest.h>

#include <thread>

using zub::com::Bstr;
using zub::com::ComPtr;

namespace {

ComPtr<IErrorInfo> Make(const wchar_t* description, const wchar_t* source) {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
    Bstr d(description), s(source), h(L"help.chm");
    create->SetDescription(d.get());
    create->SetSource(s.get());
    create->SetHelpFile(h.get());
    create->SetHelpContext(7);
    create->SetGUID(IID_IDispatch);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(create.As(IID_IErrorInfo, &info), S_OK);
    return info;
}

TEST(ErrorInfo, RecordKeepsEveryField) {
    ComPtr<IErrorInfo> info = Make(L"Object instance is nothing.", L"VaultAuto.CoDoc.1");
    Bstr d, s, h;
    GUID g{};
    DWORD ctx = 0;
    ASSERT_EQ(info->GetDescription(d.out()), S_OK);
    ASSERT_EQ(info->GetSource(s.out()), S_OK);
    ASSERT_EQ(info->GetHelpFile(h.out()), S_OK);
    ASSERT_EQ(info->GetHelpContext(&ctx), S_OK);
    ASSERT_EQ(info->GetGUID(&g), S_OK);
    EXPECT_EQ(d.wide(), L"Object instance is nothing.");
    EXPECT_EQ(s.wide(), L"VaultAuto.CoDoc.1");
    EXPECT_EQ(h.wide(), L"help.chm");
    EXPECT_EQ(ctx, 7u);
    EXPECT_TRUE(g == IID_IDispatch);
    void* p = nullptr;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
}

TEST(ErrorInfo, GetHandsOverAndClears) {
    SetErrorInfo(0, Make(L"first", L"src").get());
    SetErrorInfo(0, Make(L"second", L"src").get());  // replaces, releasing the first
    ComPtr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    Bstr d;
    got->GetDescription(d.out());
    EXPECT_EQ(d.wide(), L"second");
    ComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
    EXPECT_FALSE(again);

    SetErrorInfo(0, Make(L"gone", L"src").get());
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
}

TEST(ErrorInfo, EachThreadHasItsOwn) {
    SetErrorInfo(0, Make(L"main", L"src").get());
    bool otherSawNothing = false;
    std::wstring otherGot;
    std::thread t([&] {
        ComPtr<IErrorInfo> none;
        otherSawNothing = GetErrorInfo(0, none.put()) == S_FALSE;
        // Left set when the thread ends: released with the thread (leak check).
        zub::com::ReportError(E_FAIL, L"worker", L"src");
        ComPtr<IErrorInfo> mine;
        GetErrorInfo(0, mine.put());
        Bstr d;
        if (mine) mine->GetDescription(d.out());
        otherGot = d.wide();
        zub::com::ReportError(E_FAIL, L"left behind", L"src");
    });
    t.join();
    EXPECT_TRUE(otherSawNothing);
    EXPECT_EQ(otherGot, L"worker");
    ComPtr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    Bstr d;
    got->GetDescription(d.out());
    EXPECT_EQ(d.wide(), L"main");
}

TEST(ErrorInfo, ReportReturnsTheStatusAndPostsTheRecord) {
    EXPECT_EQ(zub::com::ReportError(MakeHr(0x80040200), L"Object instance is nothing.",
                                    L"VaultAuto.CoDoc.1"),
              MakeHr(0x80040200));
    ComPtr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    Bstr s;
    GUID g = IID_IDispatch;
    got->GetSource(s.out());
    got->GetGUID(&g);
    EXPECT_EQ(s.wide(), L"VaultAuto.CoDoc.1");
    EXPECT_TRUE(g == GUID_NULL);
}

}  // namespace
