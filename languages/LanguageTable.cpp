#include "languages/LanguageTable.h"

namespace {

constexpr std::uint16_t kDeutschIds[] = {0x0407};
// Spanish (primary language 0x0A) with every sub-language from 0x01 to 0x16.
constexpr std::uint16_t kSpanishIds[] = {
    0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A,
    0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A, 0x540A, 0x580A,
};
constexpr std::uint16_t kFrancaisIds[] = {0x040C};
constexpr std::uint16_t kNederlandsIds[] = {0x0413};
constexpr std::uint16_t kPortuguesIds[] = {0x0416};
constexpr std::uint16_t kPolskiIds[] = {0x0415};
constexpr std::uint16_t kItalianoIds[] = {0x0410};
constexpr std::uint16_t kRusskiyIds[] = {0x0419};
constexpr std::uint16_t kJapaneseIds[] = {0x0411};
constexpr std::uint16_t kKoreanIds[] = {0x0412};
constexpr std::uint16_t kSimplifiedChineseIds[] = {0x0804};
constexpr std::uint16_t kTraditionalChineseIds[] = {0x0404};
constexpr std::uint16_t kDanskIds[] = {0x0406};
constexpr std::uint16_t kSuomiIds[] = {0x040B};
constexpr std::uint16_t kNorskIds[] = {0x0414};
constexpr std::uint16_t kSvenskaIds[] = {0x041D, 0x081D};

}  // namespace

// The source is UTF-8; every accented letter is a single precomposed code point. The texts
// with code units that look alike spell them out as escapes: the fullwidth right parenthesis
// of the simplified Chinese name (U+FF09) and the Cyrillic "ОК" (U+041E U+041A).
// clang-format off
constexpr std::array<LanguageEntry, kLanguageCount> LanguageTable = {{
    {u"English", u"Setup",
     u"Select the language to use during the installation:",
     u"OK", u"Cancel", u"", {}},
    {u"Deutsch", u"Einrichtung",
     u"Wählen Sie die während der Installation zu verwendende Sprache aus:",
     u"OK", u"Abbrechen", u"Transforms=Transforms\\de.mst", kDeutschIds},
    {u"Español_Latinoamericano", u"Configurar",
     u"Seleccione el idioma que se usará durante la instalación:",
     u"Aceptar", u"Cancelar", u"Transforms=Transforms\\es.mst", kSpanishIds},
    {u"Français", u"Configuration",
     u"Sélectionner la langue à utiliser pour l'installation:",
     u"OK", u"Annuler", u"Transforms=Transforms\\fr.mst", kFrancaisIds},
    {u"Nederlands", u"Instellingen",
     u"Selecteer de taal die u tijdens de installatie wilt gebruiken:",
     u"OK", u"Annuleren", u"Transforms=Transforms\\nl.mst", kNederlandsIds},
    {u"Português_Brasileiro", u"Configuração",
     u"Selecionar o idioma a ser usado durante a instalação:",
     u"OK", u"Cancelar", u"Transforms=Transforms\\pt.mst", kPortuguesIds},
    {u"Polski", u"Ustawienia",
     u"Wybierz język używany podczas instalacji:",
     u"OK", u"Anuluj", u"Transforms=Transforms\\pl.mst", kPolskiIds},
    {u"Italiano", u"Configura",
     u"Selezionare la lingua da utilizzare durante l'installazione:",
     u"OK", u"Annulla", u"Transforms=Transforms\\it.mst", kItalianoIds},
    {u"Русский", u"Установка",
     u"Выберите язык программы установки:",
     u"\u041E\u041A", u"Отмена", u"Transforms=Transforms\\ru.mst", kRusskiyIds},
    {u"日本語", u"セットアップ",
     u"インストールの言語を選択:",
     u"OK", u"キャンセル", u"Transforms=Transforms\\jp.mst", kJapaneseIds},
    {u"한국어", u"설정",
     u"설치에 사용할 언어 선택:",
     u"확인", u"취소", u"Transforms=Transforms\\ko.mst", kKoreanIds},
    {u"中文(简体\uFF09", u"安装",
     u"选择安装过程中所要使用的语言:",
     u"确定", u"取消", u"Transforms=Transforms\\zh.mst", kSimplifiedChineseIds},
    {u"繁體中文(臺灣)", u"安裝",
     u"選擇安裝過程中所要使用的語言:",
     u"確定", u"取消", u"Transforms=Transforms\\tw.mst", kTraditionalChineseIds},
    {u"Dansk", u"opsætning",
     u"Vælg det sprog, der skal bruges under installationen:",
     u"OK", u"Annuller", std::nullopt, kDanskIds},
    {u"Suomi", u"Asennus",
     u"Valitse asennuskieli:",
     u"OK", u"Peruuta", u"Transforms=Transforms\\fi-FI.mst", kSuomiIds},
    {u"Norsk", u"oppsett",
     u"Velg språket som skal brukes under installeringen:",
     u"OK", u"Avbryt", u"Transforms=Transforms\\nb-NO.mst", kNorskIds},
    {u"Svenska", u"Installation",
     u"Välj det språk som du vill använda under installationen:",
     u"OK", u"Avbryt", u"Transforms=Transforms\\sv-SE.mst", kSvenskaIds},
}};
// clang-format on

const LanguageEntry& FindLanguageForUiLanguage(std::uint16_t langId)
{
    for (const LanguageEntry& entry : LanguageTable) {
        for (std::uint16_t listed : entry.uiLanguageIds) {
            if (listed == langId) {
                return entry;
            }
        }
    }
    return LanguageTable[0];
}
