// Puts the dialog into the language of a row: its texts into the label, the buttons and the
// caption, and its display name selected in the language list. Written against two small
// concepts so that the same code drives the real dialog (through an adapter over the Win32
// calls) and a stand-in.
//
// Include this header before <windows.h> or after it consistently with the adapter: with
// UNICODE defined, <windows.h> turns GetWindowText, SetWindowText and SetDlgItemText into
// macros, and the member names here and in the adapter must be spelled the same way.
#ifndef ORVIA_LANGUAGES_UILANGUAGE_H
#define ORVIA_LANGUAGES_UILANGUAGE_H

#include <concepts>
#include <string>
#include <string_view>

#include "languages/LanguageTable.h"
#include "res/resource.h"

// The drop-down list of languages.
// clang-format off
template <class T>
concept LanguageCombo = requires(T& list, int index) {
    list.SetCurSel(index);                                     // CB_SETCURSEL; result not inspected
    { list.GetWindowText() } -> std::same_as<std::u16string>;  // text of the selected item
};

// The language-selection dialog.
template <class T>
concept LanguageDialog = requires(T& dialog, int id, std::u16string_view text) {
    dialog.SetDlgItemText(id, text);  // SetDlgItemTextW
    dialog.SetWindowText(text);       // SetWindowTextW (caption)
    { dialog.LanguageCombo() } -> LanguageCombo;  // the IDC_LANGUAGE_COMBO list, by reference
};
// clang-format on

// Selects the item whose text equals displayName code unit by code unit. The list sorts its
// items itself, so each index is tried in turn, up to the number of rows in the table; when no
// item matches, the last one tried stays selected.
template <LanguageCombo L>
void SelectLanguageInCombo(L& list, std::u16string_view displayName)
{
    for (int index = 0; index < static_cast<int>(kLanguageCount); ++index) {
        list.SetCurSel(index);
        if (std::u16string_view(list.GetWindowText()) == displayName) {
            return;
        }
    }
}

// Writes the row's label, button and caption texts, then preselects its display name. The texts
// stay written whatever the selection finds.
template <LanguageDialog D>
void ApplyLanguageToDialog(D& dialog, const LanguageEntry& entry)
{
    dialog.SetDlgItemText(IDC_PROMPT_LABEL, entry.prompt);
    dialog.SetDlgItemText(IDC_INSTALL_BUTTON, entry.okText);
    dialog.SetDlgItemText(IDC_CANCEL_BUTTON, entry.cancelText);
    dialog.SetWindowText(entry.caption);
    auto&& list = dialog.LanguageCombo();
    SelectLanguageInCombo(list, entry.displayName);
}

#endif
