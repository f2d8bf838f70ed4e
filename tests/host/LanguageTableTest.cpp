#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "U16Text.h"
#include "languages/LanguageTable.h"

namespace {

struct ExpectedRow {
    std::u16string_view displayName;
    std::u16string_view caption;
    std::u16string_view okText;
    std::u16string_view cancelText;
    std::optional<std::u16string_view> transformArgument;
    std::u16string_view prompt;
};

// Every non-ASCII character spelled as its code unit, so the check does not depend on how an
// editor or the compiler treats the source's encoding.
constexpr ExpectedRow kExpectedRows[kLanguageCount] = {
    {u"English", u"Setup", u"OK", u"Cancel", u"", u"Select the language to use during the installation:"},
    {u"Deutsch", u"Einrichtung", u"OK", u"Abbrechen", u"Transforms=Transforms\\de.mst",
     u"W\u00E4hlen Sie die w\u00E4hrend der Installation zu verwendende Sprache aus:"},
    {u"Espa\u00F1ol\u005FLatinoamericano", u"Configurar", u"Aceptar", u"Cancelar",
     u"Transforms=Transforms\\es.mst",
     u"Seleccione el idioma que se usar\u00E1 durante la instalaci\u00F3n:"},
    {u"Fran\u00E7ais", u"Configuration", u"OK", u"Annuler", u"Transforms=Transforms\\fr.mst",
     u"S\u00E9lectionner la langue \u00E0 utiliser pour l'installation:"},
    {u"Nederlands", u"Instellingen", u"OK", u"Annuleren", u"Transforms=Transforms\\nl.mst",
     u"Selecteer de taal die u tijdens de installatie wilt gebruiken:"},
    {u"Portugu\u00EAs\u005FBrasileiro", u"Configura\u00E7\u00E3o", u"OK", u"Cancelar",
     u"Transforms=Transforms\\pt.mst", u"Selecionar o idioma a ser usado durante a instala\u00E7\u00E3o:"},
    {u"Polski", u"Ustawienia", u"OK", u"Anuluj", u"Transforms=Transforms\\pl.mst",
     u"Wybierz j\u0119zyk u\u017Cywany podczas instalacji:"},
    {u"Italiano", u"Configura", u"OK", u"Annulla", u"Transforms=Transforms\\it.mst",
     u"Selezionare la lingua da utilizzare durante l'installazione:"},
    {u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439", u"\u0423\u0441\u0442\u0430\u043D\u043E\u0432\u043A\u0430",
     u"\u041E\u041A", u"\u041E\u0442\u043C\u0435\u043D\u0430", u"Transforms=Transforms\\ru.mst",
     u"\u0412\u044B\u0431\u0435\u0440\u0438\u0442\u0435 \u044F\u0437\u044B\u043A "
     u"\u043F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u044B "
     u"\u0443\u0441\u0442\u0430\u043D\u043E\u0432\u043A\u0438:"},
    {u"\u65E5\u672C\u8A9E", u"\u30BB\u30C3\u30C8\u30A2\u30C3\u30D7", u"OK", u"\u30AD\u30E3\u30F3\u30BB\u30EB",
     u"Transforms=Transforms\\jp.mst",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u306E\u8A00\u8A9E\u3092\u9078\u629E:"},
    {u"\uD55C\uAD6D\uC5B4", u"\uC124\uC815", u"\uD655\uC778", u"\uCDE8\uC18C",
     u"Transforms=Transforms\\ko.mst", u"\uC124\uCE58\uC5D0 \uC0AC\uC6A9\uD560 \uC5B8\uC5B4 \uC120\uD0DD:"},
    {u"\u4E2D\u6587\u0028\u7B80\u4F53\uFF09", u"\u5B89\u88C5", u"\u786E\u5B9A", u"\u53D6\u6D88",
     u"Transforms=Transforms\\zh.mst",
     u"\u9009\u62E9\u5B89\u88C5\u8FC7\u7A0B\u4E2D\u6240\u8981\u4F7F\u7528\u7684\u8BED\u8A00:"},
    {u"\u7E41\u9AD4\u4E2D\u6587\u0028\u81FA\u7063\u0029", u"\u5B89\u88DD", u"\u78BA\u5B9A", u"\u53D6\u6D88",
     u"Transforms=Transforms\\tw.mst",
     u"\u9078\u64C7\u5B89\u88DD\u904E\u7A0B\u4E2D\u6240\u8981\u4F7F\u7528\u7684\u8A9E\u8A00:"},
    {u"Dansk", u"ops\u00E6tning", u"OK", u"Annuller", std::nullopt,
     u"V\u00E6lg det sprog, der skal bruges under installationen:"},
    {u"Suomi", u"Asennus", u"OK", u"Peruuta", u"Transforms=Transforms\\fi-FI.mst", u"Valitse asennuskieli:"},
    {u"Norsk", u"oppsett", u"OK", u"Avbryt", u"Transforms=Transforms\\nb-NO.mst",
     u"Velg spr\u00E5ket som skal brukes under installeringen:"},
    {u"Svenska", u"Installation", u"OK", u"Avbryt", u"Transforms=Transforms\\sv-SE.mst",
     u"V\u00E4lj det spr\u00E5k som du vill anv\u00E4nda under installationen:"},
};

// The identifiers that select a row other than English, with that row's position.
std::map<std::uint16_t, std::size_t> ExpectedNonEnglishIds()
{
    std::map<std::uint16_t, std::size_t> ids = {
        {0x0407, 1},  {0x040C, 3},  {0x0413, 4},  {0x0416, 5},  {0x0415, 6},  {0x0410, 7},
        {0x0419, 8},  {0x0411, 9},  {0x0412, 10}, {0x0804, 11}, {0x0404, 12}, {0x0406, 13},
        {0x040B, 14}, {0x0414, 15}, {0x041D, 16}, {0x081D, 16},
    };
    for (unsigned sub = 0x01; sub <= 0x16; ++sub) {  // Spanish, every sub-language 0x01..0x16
        ids.emplace(static_cast<std::uint16_t>((sub << 10) | 0x0A), 2);
    }
    return ids;
}

std::u16string FoldAscii(std::u16string_view text)
{
    std::u16string folded(text);
    for (char16_t& c : folded) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c + (u'a' - u'A'));
        }
    }
    return folded;
}

std::size_t RowOf(const LanguageEntry& entry)
{
    return static_cast<std::size_t>(&entry - LanguageTable.data());
}

TEST(LanguageTable, HoldsTheSeventeenRowsInListOrderWithExactTexts)
{
    ASSERT_EQ(LanguageTable.size(), 17u);
    for (std::size_t i = 0; i < kLanguageCount; ++i) {
        const LanguageEntry& row = LanguageTable[i];
        const ExpectedRow& want = kExpectedRows[i];
        SCOPED_TRACE("row " + std::to_string(i + 1) + " " + Describe(want.displayName));
        EXPECT_U16_EQ(want.displayName, row.displayName);
        EXPECT_U16_EQ(want.caption, row.caption);
        EXPECT_U16_EQ(want.prompt, row.prompt);
        EXPECT_U16_EQ(want.okText, row.okText);
        EXPECT_U16_EQ(want.cancelText, row.cancelText);
        ASSERT_EQ(want.transformArgument.has_value(), row.transformArgument.has_value());
        if (want.transformArgument) {
            EXPECT_U16_EQ(*want.transformArgument, *row.transformArgument);
        }
    }
}

TEST(LanguageTable, DisplayNamesDifferExactlyAndUnderAsciiFolding)
{
    std::set<std::u16string> exact, folded;
    for (const LanguageEntry& row : LanguageTable) {
        EXPECT_TRUE(exact.emplace(row.displayName).second) << Describe(row.displayName);
        EXPECT_TRUE(folded.emplace(FoldAscii(row.displayName)).second) << Describe(row.displayName);
    }
}

TEST(LanguageTable, TransformArgumentsEnglishEmptyDanskAbsentOthersDistinctRelativePaths)
{
    ASSERT_TRUE(LanguageTable[0].transformArgument.has_value());
    EXPECT_TRUE(LanguageTable[0].transformArgument->empty());
    EXPECT_FALSE(LanguageTable[13].transformArgument.has_value()) << "Dansk";

    constexpr std::u16string_view kPrefix = u"Transforms=Transforms\\";
    constexpr std::u16string_view kSuffix = u".mst";
    std::set<std::u16string_view> seen;
    for (std::size_t i = 1; i < kLanguageCount; ++i) {
        if (i == 13) {
            continue;
        }
        const auto& transform = LanguageTable[i].transformArgument;
        ASSERT_TRUE(transform.has_value()) << Describe(LanguageTable[i].displayName);
        EXPECT_TRUE(transform->starts_with(kPrefix) && transform->ends_with(kSuffix) &&
                    transform->size() > kPrefix.size() + kSuffix.size())
            << Describe(*transform);
        EXPECT_TRUE(seen.insert(*transform).second) << Describe(*transform);
    }
    EXPECT_EQ(seen.size(), 15u);
}

// Look-alike code units: the texts must hold exactly the characters the dialog is meant to show.
TEST(LanguageTable, TextsAvoidLookAlikeCodeUnits)
{
    const std::u16string_view simplified = LanguageTable[11].displayName;
    EXPECT_U16_EQ(u"\u4E2D\u6587\u0028\u7B80\u4F53\uFF09", simplified);
    for (const LanguageEntry& row : LanguageTable) {
        EXPECT_NE(row.displayName, u"\u4E2D\u6587\u0028\u7B80\u4F53\u0029");
    }
    EXPECT_U16_EQ(u"\u041E\u041A", LanguageTable[8].okText);
    EXPECT_NE(LanguageTable[8].okText, u"OK");
    EXPECT_EQ(LanguageTable[2].displayName[7], u'\u005F');
    EXPECT_EQ(LanguageTable[5].displayName[9], u'\u005F');

    for (const LanguageEntry& row : LanguageTable) {
        SCOPED_TRACE(Describe(row.displayName));
        const std::u16string_view texts[] = {row.displayName, row.caption, row.prompt, row.okText,
                                             row.cancelText};
        for (std::u16string_view text : texts) {
            ASSERT_FALSE(text.empty());
            EXPECT_NE(text.front(), u' ') << Describe(text);
            EXPECT_NE(text.back(), u' ') << Describe(text);
            for (char16_t c : text) {
                EXPECT_FALSE(c >= 0x0300 && c <= 0x036F) << "combining mark in " << Describe(text);
                EXPECT_FALSE(c == 0x00A0 || c == 0x3000) << "non-ASCII blank in " << Describe(text);
            }
        }
        EXPECT_EQ(row.prompt.back(), u'\u003A') << Describe(row.prompt);
    }
}

TEST(FindLanguageForUiLanguage, EveryLangIdSelectsItsListedRowOrEnglish)
{
    const auto expected = ExpectedNonEnglishIds();
    ASSERT_EQ(expected.size(), 38u);

    std::map<std::uint16_t, int> listings;
    for (const LanguageEntry& row : LanguageTable) {
        for (std::uint16_t id : row.uiLanguageIds) {
            ++listings[id];
        }
    }
    EXPECT_TRUE(LanguageTable[0].uiLanguageIds.empty());

    int nonEnglish = 0;
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
        const auto langId = static_cast<std::uint16_t>(id);
        const auto it = expected.find(langId);
        const std::size_t want = it == expected.end() ? 0 : it->second;
        const std::size_t got = RowOf(FindLanguageForUiLanguage(langId));
        EXPECT_EQ(want, got) << "LANGID 0x" << std::hex << id;
        EXPECT_LE(listings[langId], 1) << "LANGID 0x" << std::hex << id << " listed twice";
        nonEnglish += got != 0;
    }
    EXPECT_EQ(nonEnglish, 38);
}

// Neighbours of listed identifiers: same primary language, other sub-language.
TEST(FindLanguageForUiLanguage, UnlistedSubLanguagesFallBackToEnglish)
{
    const std::uint16_t kFallbacks[] = {0x0000, 0xFFFF, 0x0409, 0x0807, 0x0C07, 0x080C,
                                        0x0C0C, 0x0810, 0x0813, 0x0816, 0x0814, 0x0C04,
                                        0x1004, 0x1404, 0x5C0A, 0x000A, 0x0007};
    for (std::uint16_t id : kFallbacks) {
        EXPECT_EQ(&FindLanguageForUiLanguage(id), &LanguageTable[0]) << "LANGID 0x" << std::hex << id;
    }
}

TEST(FindLanguageForUiLanguage, SelectedRowsCarryTheirOwnTexts)
{
    struct Case {
        std::uint16_t id;
        std::u16string_view displayName, caption, okText, cancelText;
    };
    const Case kCases[] = {
        {0x0409, u"English", u"Setup", u"OK", u"Cancel"},
        {0x0407, u"Deutsch", u"Einrichtung", u"OK", u"Abbrechen"},
        {0x040A, u"Espa\u00F1ol_Latinoamericano", u"Configurar", u"Aceptar", u"Cancelar"},
        {0x0C0A, u"Espa\u00F1ol_Latinoamericano", u"Configurar", u"Aceptar", u"Cancelar"},
        {0x580A, u"Espa\u00F1ol_Latinoamericano", u"Configurar", u"Aceptar", u"Cancelar"},
        {0x041D, u"Svenska", u"Installation", u"OK", u"Avbryt"},
        {0x081D, u"Svenska", u"Installation", u"OK", u"Avbryt"},
        {0x0414, u"Norsk", u"oppsett", u"OK", u"Avbryt"},
        {0x0406, u"Dansk", u"ops\u00E6tning", u"OK", u"Annuller"},
        {0x0416, u"Portugu\u00EAs_Brasileiro", u"Configura\u00E7\u00E3o", u"OK", u"Cancelar"},
        {0x0419, u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439",
         u"\u0423\u0441\u0442\u0430\u043D\u043E\u0432\u043A\u0430", u"\u041E\u041A",
         u"\u041E\u0442\u043C\u0435\u043D\u0430"},
        {0x0804, u"\u4E2D\u6587(\u7B80\u4F53\uFF09", u"\u5B89\u88C5", u"\u786E\u5B9A", u"\u53D6\u6D88"},
        {0x0404, u"\u7E41\u9AD4\u4E2D\u6587(\u81FA\u7063)", u"\u5B89\u88DD", u"\u78BA\u5B9A",
         u"\u53D6\u6D88"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "LANGID 0x" << std::hex << c.id);
        const LanguageEntry& row = FindLanguageForUiLanguage(c.id);
        EXPECT_U16_EQ(c.displayName, row.displayName);
        EXPECT_U16_EQ(c.caption, row.caption);
        EXPECT_U16_EQ(c.okText, row.okText);
        EXPECT_U16_EQ(c.cancelText, row.cancelText);
    }
}

}  // namespace

#ifdef _WIN32
// The dialog hands these texts to the wide Win32 calls by reinterpreting char16_t as wchar_t.
TEST(LanguageTable, TextsReadAsWideCharactersUnchanged)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const std::wstring_view kWide[] = {L"English", L"\u4E2D\u6587(\u7B80\u4F53\uFF09", L"\u041E\u041A",
                                       L"ops\u00E6tning"};
    const std::u16string_view texts[] = {LanguageTable[0].displayName, LanguageTable[11].displayName,
                                         LanguageTable[8].okText, LanguageTable[13].caption};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const std::wstring_view wide(reinterpret_cast<const wchar_t*>(texts[i].data()), texts[i].size());
        EXPECT_EQ(wide, kWide[i]) << Describe(texts[i]);
    }
}
#endif
