// The language-selection dialog as seen by ApplyLanguageToDialog: its texts and its language
// list, written and read through the plain Win32 calls.
//
// <windows.h> comes first, so the member names below and those used by UiLanguage.h get the
// same wide-character spelling.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "languages/UiLanguage.h"

namespace orvia {

// The IDC_LANGUAGE_COMBO drop-down list.
class ComboTextAccess {
public:
    explicit ComboTextAccess(HWND list) : m_hWnd(list) {}

    void SetCurSel(int index) const { ::SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    // For a drop-down list the window text is the text of the selected item.
    std::u16string GetWindowText() const;

private:
    HWND m_hWnd;
};

// The texts of the language-selection dialog window.
class DialogTextAccess {
public:
    explicit DialogTextAccess(HWND dialog) : m_hWnd(dialog), m_list(::GetDlgItem(dialog, IDC_LANGUAGE_COMBO))
    {}

    void SetDlgItemText(int id, std::u16string_view text) const;
    void SetWindowText(std::u16string_view text) const;
    ComboTextAccess& LanguageCombo() { return m_list; }

private:
    HWND m_hWnd;
    ComboTextAccess m_list;
};

static_assert(::LanguageDialog<DialogTextAccess>);

}  // namespace orvia
