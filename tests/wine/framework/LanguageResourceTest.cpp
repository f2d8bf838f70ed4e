// The language-resource library: CTest runs this program once per UI language (LANG), beside
// libraries named after it for DEU, ENU and LOC; ORVIA_EXPECTED_LIBRARY names the one that
// must supply the resources.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "framework/afxwin.h"

namespace {

CWinApp theApp;

constexpr UINT IDS_WHICH = 1;      // "EXE" in the program, the abbreviation in each library
constexpr UINT IDD_LIBRARY = 500;  // only in the libraries; its caption is the abbreviation

class CaptionDlg : public CDialog {
public:
    CaptionDlg() : CDialog(IDD_LIBRARY) {}
    BOOL OnInitDialog() override
    {
        GetWindowText(caption);
        EndDialog(IDOK);
        return TRUE;
    }
    CString caption;
};

CString Widen(const char* text)
{
    CString result;
    while (*text) result += static_cast<wchar_t>(*text++);
    return result;
}

TEST(LanguageResourceLibrary, FirstLanguageWithALibrarySuppliesTheResources)
{
    const char* expected = std::getenv("ORVIA_EXPECTED_LIBRARY");
    ASSERT_NE(expected, nullptr);

    theApp.InitInstance();
    ASSERT_NE(theApp.m_hLangResourceDLL, nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), theApp.m_hLangResourceDLL);
    CString which;
    EXPECT_TRUE(which.LoadString(IDS_WHICH));
    EXPECT_STREQ(which, Widen(expected));
    CaptionDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_STREQ(dlg.caption, Widen(expected));

    theApp.ExitInstance();
    EXPECT_EQ(theApp.m_hLangResourceDLL, nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleW(nullptr));
    EXPECT_TRUE(which.LoadString(IDS_WHICH));
    EXPECT_STREQ(which, L"EXE");
    EXPECT_EQ(CaptionDlg().DoModal(), -1);
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    static wchar_t arguments[] = L"";
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, arguments, SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
