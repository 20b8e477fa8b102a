// The control's text as a Chinese Windows host sees it: this program runs in
// a Wine prefix started with a Chinese locale, so that the ANSI code page is
// 936 as on the target machines. Code-page text (a GBK serial) must reach the
// host as the right UTF-16 characters.
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/control/control_fixture.h"

namespace {

const char kGbkSerial[] = "\xB0\xA1SN\xC4\xE3";  // 啊SN你 in code page 936
const wchar_t kWideSerial[] = L"\u554aSN\u4f60";

class ControlTextTest : public ControlTest {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 936u) << "run this program with LC_ALL=zh_CN.UTF-8";
        ControlTest::SetUp();
        ScriptedDevice().serial = kGbkSerial;
    }
};

}  // namespace

TEST_F(ControlTextTest, SerialReachesTheHostAsChineseCharacters) {
    ASSERT_EQ(Init(), 0);
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(host_.CallByName(L"GetDeivceSn", {}, &result), S_OK);
    EXPECT_EQ(host::VariantText(result), kWideSerial);
    VariantClear(&result);

    ASSERT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":\"1\"}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    ASSERT_TRUE(WaitEvents(1));
    const std::wstring text = host::VariantText(host_.Events()[0].args[1]);
    EXPECT_NE(text.find(std::wstring(L"\"sbbh\":\"") + kWideSerial + L"\""), std::wstring::npos);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTextTest, AboutBoxAndPropertyPageTexts) {
    std::vector<std::wstring> texts;
    ASSERT_TRUE(ShowAndCloseAboutBox(&texts));
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Tavrik Control, Version 1.0"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"OK"), texts.end());

    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_TavrikPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    PROPPAGEINFO info = {};
    info.cb = sizeof info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"General");
    CoTaskMemFree(info.pszTitle);
    if (info.pszDocString) CoTaskMemFree(info.pszDocString);
    if (info.pszHelpFile) CoTaskMemFree(info.pszHelpFile);
    page->Release();
}
