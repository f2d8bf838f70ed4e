#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "U16Text.h"
#include "languages/LanguageTable.h"
#include "languages/UiLanguage.h"
#include "res/resource.h"

namespace {

std::u16string SelectLine(int index)
{
    const std::string digits = std::to_string(index);
    return u"select " + std::u16string(digits.begin(), digits.end());
}

// Stands in for a CBS_SORT drop-down list: keeps its items in code-unit order and records every
// selection request. An index outside the items clears the selection, as CB_SETCURSEL does.
class FakeCombo {
public:
    using Log = std::vector<std::u16string>;

    explicit FakeCombo(std::vector<std::u16string> items, Log* log = nullptr)
        : items_(std::move(items)), log_(log)
    {
        std::sort(items_.begin(), items_.end());
    }

    void SetCurSel(int index)
    {
        sent.push_back(index);
        selected = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
        if (log_) {
            log_->push_back(SelectLine(index));
        }
    }
    std::u16string GetWindowText() const
    {
        return selected < 0 ? std::u16string() : items_[static_cast<std::size_t>(selected)];
    }
    int IndexOf(std::u16string_view text) const
    {
        const auto it = std::find(items_.begin(), items_.end(), text);
        return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
    }

    std::vector<int> sent;
    int selected = -1;

private:
    std::vector<std::u16string> items_;
    Log* log_;
};

// Stands in for the dialog: writes every text operation into one log, the list's selections
// included, so the order of all of them can be checked.
class FakeDialog {
public:
    explicit FakeDialog(std::vector<std::u16string> items) : combo_(std::move(items), &log) {}

    void SetDlgItemText(int id, std::u16string_view text)
    {
        log.push_back(u"item " +
                      std::u16string(id == IDC_PROMPT_LABEL     ? u"label"
                                     : id == IDC_INSTALL_BUTTON ? u"install"
                                     : id == IDC_CANCEL_BUTTON  ? u"cancel"
                                                                : u"?") +
                      u": " + std::u16string(text));
    }
    void SetWindowText(std::u16string_view text) { log.push_back(u"caption: " + std::u16string(text)); }
    FakeCombo& LanguageCombo() { return combo_; }

    FakeCombo::Log log;

private:
    FakeCombo combo_;
};

static_assert(::LanguageCombo<FakeCombo>);
static_assert(LanguageDialog<FakeDialog>);
struct NotACombo {
    void SetCurSel(int);
    std::wstring GetWindowText();
};
static_assert(!::LanguageCombo<NotACombo>);

std::vector<std::u16string> AllDisplayNames()
{
    std::vector<std::u16string> names;
    for (const LanguageEntry& row : LanguageTable) {
        names.emplace_back(row.displayName);
    }
    return names;
}

std::vector<int> Range(int last)
{
    std::vector<int> indices;
    for (int i = 0; i <= last; ++i) {
        indices.push_back(i);
    }
    return indices;
}

TEST(SelectLanguageInCombo, EveryRowEndsSelectedWhereverTheListSortedIt)
{
    for (const LanguageEntry& row : LanguageTable) {
        SCOPED_TRACE(Describe(row.displayName));
        FakeCombo combo(AllDisplayNames());
        const int k = combo.IndexOf(row.displayName);
        ASSERT_GE(k, 0);
        SelectLanguageInCombo(combo, row.displayName);
        EXPECT_EQ(combo.sent, Range(k));
        EXPECT_EQ(combo.selected, k);
        EXPECT_U16_EQ(row.displayName, combo.GetWindowText());
    }
}

// A name that equals no item only up to case, parenthesis form or blanks is not found: every
// index 0..16 is tried and the last one stays selected.
TEST(SelectLanguageInCombo, NearMissesAreNotFound)
{
    const std::u16string_view kSought[] = {
        u"english",
        u"ENGLISH",
        u"English ",
        u"",
        u"Fran\u00C7ais",
        u"\u4E2D\u6587(\u7B80\u4F53)",                   // ASCII instead of fullwidth parenthesis
        u"\u7E41\u9AD4\u4E2D\u6587(\u81FA\u7063\uFF09",  // fullwidth instead of ASCII parenthesis
        u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439",   // Cyrillic small instead of capital
    };
    for (std::u16string_view name : kSought) {
        SCOPED_TRACE(Describe(name));
        FakeCombo combo(AllDisplayNames());
        SelectLanguageInCombo(combo, name);
        EXPECT_EQ(combo.sent, Range(16));
        EXPECT_EQ(combo.selected, 16);
    }
}

TEST(SelectLanguageInCombo, ListItemDifferingOnlyInCaseOrParenthesisDoesNotMatch)
{
    struct Case {
        std::u16string_view sought, itemInList;
    };
    const Case kCases[] = {
        {u"English", u"english"},
        {u"Svenska", u"SVENSKA"},
        {u"\u4E2D\u6587(\u7B80\u4F53\uFF09", u"\u4E2D\u6587(\u7B80\u4F53)"},
        {u"\u7E41\u9AD4\u4E2D\u6587(\u81FA\u7063)", u"\u7E41\u9AD4\u4E2D\u6587\uFF08\u81FA\u7063)"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(Describe(c.sought));
        auto items = AllDisplayNames();
        std::replace(items.begin(), items.end(), std::u16string(c.sought), std::u16string(c.itemInList));
        FakeCombo combo(items);
        SelectLanguageInCombo(combo, c.sought);
        EXPECT_EQ(combo.sent, Range(16));
        EXPECT_EQ(combo.selected, 16);
    }
}

TEST(ApplyLanguageToDialog, WritesLabelButtonsCaptionThenSelectsForEveryRow)
{
    for (const LanguageEntry& row : LanguageTable) {
        SCOPED_TRACE(Describe(row.displayName));
        FakeDialog dialog(AllDisplayNames());
        const int k = dialog.LanguageCombo().IndexOf(row.displayName);
        ApplyLanguageToDialog(dialog, row);

        FakeCombo::Log want = {
            u"item label: " + std::u16string(row.prompt),
            u"item install: " + std::u16string(row.okText),
            u"item cancel: " + std::u16string(row.cancelText),
            u"caption: " + std::u16string(row.caption),
        };
        for (int i = 0; i <= k; ++i) {
            want.push_back(SelectLine(i));
        }
        ASSERT_EQ(dialog.log.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_U16_EQ(want[i], dialog.log[i]);
        }
        EXPECT_U16_EQ(row.displayName, dialog.LanguageCombo().GetWindowText());
    }
}

TEST(ApplyLanguageToDialog, TextsStayWrittenWhenTheNameIsNotInTheList)
{
    const LanguageEntry& german = FindLanguageForUiLanguage(0x0407);
    auto items = AllDisplayNames();
    std::replace(items.begin(), items.end(), std::u16string(u"Deutsch"), std::u16string(u"deutsch"));
    FakeDialog dialog(items);
    ApplyLanguageToDialog(dialog, german);

    ASSERT_EQ(dialog.log.size(), 4u + 17u);
    EXPECT_U16_EQ(
        u"item label: W\u00E4hlen Sie die w\u00E4hrend der Installation zu verwendende "
        u"Sprache aus:",
        dialog.log[0]);
    EXPECT_U16_EQ(u"item install: OK", dialog.log[1]);
    EXPECT_U16_EQ(u"item cancel: Abbrechen", dialog.log[2]);
    EXPECT_U16_EQ(u"caption: Einrichtung", dialog.log[3]);
    EXPECT_EQ(dialog.LanguageCombo().sent, Range(16));
    EXPECT_EQ(dialog.LanguageCombo().selected, 16);
}

}  // namespace
