// CString: counted text, and string resources loaded whole from the module that holds them.
#include <string_view>

#include "TestSupport.h"

namespace {

using namespace std::literals;

TEST(String, CountedTextKeepsEmbeddedNulsThroughCopiesAndAppends)
{
    const CString counted(L"ab\0cd", 5);
    EXPECT_EQ(counted.GetLength(), 5);
    EXPECT_EQ(counted.View(), u"ab\0cd"sv);

    CString copy = counted;
    copy += L'!';
    copy += CString(L"\0x", 2);
    EXPECT_EQ(copy.View(), u"ab\0cd!\0x"sv);
    EXPECT_EQ(copy.GetString()[copy.GetLength()], L'\0');  // always terminated

    CString moved = std::move(copy);
    EXPECT_EQ(moved.GetLength(), 8);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_NE(copy.GetString(), nullptr);

    EXPECT_TRUE(CString(static_cast<const wchar_t*>(nullptr)).IsEmpty());
    EXPECT_EQ(CString(u"\u0393\u03b5"sv).View(), u"\u0393\u03b5"sv);
    EXPECT_EQ(CString(L"ab") + CString(L"cd"), CString(L"abcd"));
    EXPECT_FALSE(CString(L"ab", 2) == CString(L"ab\0", 3));
}

TEST(String, AppendingToItselfAndBufferAccess)
{
    CString text(L"abc");
    for (int i = 0; i < 6; ++i) text += text;  // reallocates while reading itself
    EXPECT_EQ(text.GetLength(), 3 * 64);
    EXPECT_EQ(text.View().substr(189), u"abc"sv);

    CString buffer;
    wchar_t* p = buffer.GetBuffer(10);
    ASSERT_NE(p, nullptr);
    lstrcpyW(p, L"hello");
    buffer.ReleaseBuffer();
    EXPECT_EQ(buffer, CString(L"hello"));
    buffer.GetBuffer(10);
    buffer.ReleaseBuffer(2);
    EXPECT_EQ(buffer, CString(L"he"));
    buffer.Empty();
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_EQ(*buffer.GetString(), L'\0');
}

TEST(String, LoadStringFindsTheStringInItsBlock)
{
    struct Case {
        const char* name;
        UINT id;
        BOOL found;
        std::u16string text;
    };
    std::u16string digits;
    for (int i = 0; i < 60; ++i) digits += u"0123456789";
    const Case cases[] = {
        {"first of a block", IDS_FIRST, TRUE, u"first"},
        {"after a gap", IDS_SECOND, TRUE, u"second"},
        {"missing from an existing block", IDS_FIRST + 1, FALSE, u""},
        {"no such block", IDS_NO_BLOCK, FALSE, u""},
        {"600 characters", IDS_LONG, TRUE, digits},
        {"the framework's own", AFX_IDP_FAILED_TO_LAUNCH_HELP, TRUE,
         u"\u542f\u52a8\u5e2e\u52a9\u5931\u8d25\u3002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString text(L"previous");
        EXPECT_EQ(text.LoadString(c.id), c.found);
        EXPECT_EQ(text.View(), c.text);
    }
}

TEST(String, FrameworkStringsAreSimplifiedChinese)
{
    EXPECT_NE(FindResourceExW(GetModuleHandleW(nullptr), RT_STRING,
                              MAKEINTRESOURCEW(AFX_IDP_FAILED_TO_LAUNCH_HELP / 16 + 1),
                              MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)),
              nullptr);
}

}  // namespace
