#include "ui/LanguageAdapter.h"

#include "framework/afxstr.h"

#include <algorithm>

namespace orvia {

std::u16string ComboTextAccess::GetWindowText() const
{
    // The length first, then the text into room for it and the terminator; an empty selection
    // is read like any other.
    const int length = std::max(::GetWindowTextLengthW(m_hWnd), 0);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(m_hWnd, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void DialogTextAccess::SetDlgItemText(int id, std::u16string_view text) const
{
    ::SetDlgItemTextW(m_hWnd, id, CString(text).GetString());
}

void DialogTextAccess::SetWindowText(std::u16string_view text) const
{
    ::SetWindowTextW(m_hWnd, CString(text).GetString());
}

}  // namespace orvia
