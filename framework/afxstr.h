// CString: a counted, always NUL-terminated UTF-16 string (wchar_t is 16-bit on Windows).
// Allocation failure leaves the string empty; nothing here throws.
#pragma once

#include <windows.h>

#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

class CString {
public:
    CString() = default;
    CString(const wchar_t* text);              // NUL-terminated; null gives the empty string
    CString(const wchar_t* text, int length);  // counted; may contain NULs
    explicit CString(std::u16string_view text);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    ~CString();

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    void Empty();

    // Always a valid, NUL-terminated pointer (an empty string when nothing is held).
    const wchar_t* GetString() const { return m_data ? m_data : L""; }
    operator const wchar_t*() const { return GetString(); }
    std::u16string_view View() const
    {
        return {reinterpret_cast<const char16_t*>(GetString()), static_cast<size_t>(m_length)};
    }

    CString& operator+=(const CString& other);
    CString& operator+=(const wchar_t* text);
    CString& operator+=(wchar_t ch);
    friend CString operator+(const CString& a, const CString& b);
    friend bool operator==(const CString& a, const CString& b) { return a.View() == b.View(); }

    // Room for at least minLength code units plus the terminator; ReleaseBuffer fixes the
    // length (-1: up to the first NUL). Returns null when the memory cannot be had.
    wchar_t* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    // Loads string resource `id` from the module that holds it (AfxFindStringResourceHandle).
    // Leaves the string empty and returns FALSE when no module holds it.
    BOOL LoadString(UINT id);

private:
    bool Reserve(int capacity);
    void Assign(const wchar_t* text, int length);
    void Append(const wchar_t* text, int length);

    wchar_t* m_data = nullptr;
    int m_length = 0;
    int m_capacity = 0;  // code units, not counting the terminator
};
