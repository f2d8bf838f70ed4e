// The catalogue of the languages the setup dialog offers: every text the dialog shows in each
// language, the name under which the language is listed, the installer transform it launches
// with, and the Windows UI languages that select it. Constant data without any platform code.
#ifndef ORVIA_LANGUAGES_LANGUAGETABLE_H
#define ORVIA_LANGUAGES_LANGUAGETABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct LanguageEntry {
    std::u16string_view displayName;  // listed in the language drop-down; the key of the row
    std::u16string_view caption;      // dialog caption
    std::u16string_view prompt;       // label above the list
    std::u16string_view okText;       // install button
    std::u16string_view cancelText;   // cancel button
    // Installer command-line setting naming the transform: u"" for English, nullopt for Dansk.
    std::optional<std::u16string_view> transformArgument;
    // Whole 16-bit LANGIDs that select the row at start-up; English lists none.
    std::span<const std::uint16_t> uiLanguageIds;
};

inline constexpr std::size_t kLanguageCount = 17;

// The rows in the order the dialog fills its list, English first. Constant-initialised.
extern const std::array<LanguageEntry, kLanguageCount> LanguageTable;

// The row whose uiLanguageIds holds langId (compared as the whole 16-bit value), or the
// English row when no row lists it.
const LanguageEntry& FindLanguageForUiLanguage(std::uint16_t langId);

#endif
