// CString: counted UTF-16 on the process heap.
#include "framework/afxstr.h"

#include "framework/afxwin.h"

CString::CString(const wchar_t* text)
{
    if (text) Assign(text, lstrlenW(text));
}

CString::CString(const wchar_t* text, int length)
{
    if (text && length > 0) Assign(text, length);
}

CString::CString(std::u16string_view text)
{
    Assign(reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()));
}

CString::CString(const CString& other) { Assign(other.GetString(), other.m_length); }

CString::CString(CString&& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_capacity(other.m_capacity)
{
    other.m_data = nullptr;
    other.m_length = other.m_capacity = 0;
}

CString& CString::operator=(const CString& other)
{
    if (this != &other) Assign(other.GetString(), other.m_length);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        if (m_data) HeapFree(GetProcessHeap(), 0, m_data);
        m_data = other.m_data;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_length = other.m_capacity = 0;
    }
    return *this;
}

CString::~CString()
{
    if (m_data) HeapFree(GetProcessHeap(), 0, m_data);
}

void CString::Empty()
{
    m_length = 0;
    if (m_data) m_data[0] = L'\0';
}

bool CString::Reserve(int capacity)
{
    if (capacity <= m_capacity) return true;
    const SIZE_T bytes = (static_cast<SIZE_T>(capacity) + 1) * sizeof(wchar_t);
    void* memory =
        m_data ? HeapReAlloc(GetProcessHeap(), 0, m_data, bytes) : HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!memory) return false;
    m_data = static_cast<wchar_t*>(memory);
    m_capacity = capacity;
    return true;
}

void CString::Assign(const wchar_t* text, int length)
{
    Empty();
    Append(text, length);
}

void CString::Append(const wchar_t* text, int length)
{
    if (length <= 0) return;
    // `text` may point into this string's own buffer, which growing can move.
    if (m_data && text >= m_data && text <= m_data + m_length) {
        const int offset = static_cast<int>(text - m_data);
        if (!Reserve(m_length + length)) return;
        text = m_data + offset;
    } else if (!Reserve(m_length + length)) {
        return;
    }
    CopyMemory(m_data + m_length, text, static_cast<SIZE_T>(length) * sizeof(wchar_t));
    m_length += length;
    m_data[m_length] = L'\0';
}

CString& CString::operator+=(const CString& other)
{
    Append(other.GetString(), other.m_length);
    return *this;
}

CString& CString::operator+=(const wchar_t* text)
{
    if (text) Append(text, lstrlenW(text));
    return *this;
}

CString& CString::operator+=(wchar_t ch)
{
    Append(&ch, 1);
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

wchar_t* CString::GetBuffer(int minLength)
{
    if (!Reserve(minLength < 0 ? 0 : minLength)) return nullptr;
    if (!m_data) return nullptr;
    m_data[m_length] = L'\0';
    return m_data;
}

void CString::ReleaseBuffer(int newLength)
{
    if (!m_data) {
        m_length = 0;
        return;
    }
    if (newLength < 0) newLength = lstrlenW(m_data);
    m_length = newLength > m_capacity ? m_capacity : newLength;
    m_data[m_length] = L'\0';
}

// A string table block (RT_STRING, id / 16 + 1) holds 16 counted strings in a row; the string
// is copied whole from there, whatever its length.
BOOL CString::LoadString(UINT id)
{
    Empty();
    HINSTANCE module = AfxFindStringResourceHandle(id);
    if (!module) return FALSE;
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    HGLOBAL loaded = block ? LoadResource(module, block) : nullptr;
    const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!p) return FALSE;
    const WCHAR* end = p + SizeofResource(module, block) / sizeof(WCHAR);
    for (UINT i = id % 16; i > 0 && p < end; --i) p += 1 + *p;
    if (p >= end || *p == 0 || p + 1 + *p > end) return FALSE;
    Assign(p + 1, *p);
    return !IsEmpty();
}
