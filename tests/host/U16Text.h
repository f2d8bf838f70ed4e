// Readable UTF-16 in test failures: each text is shown as UTF-8 followed by its code units, so
// look-alike characters (fullwidth or Cyrillic letters, precomposed or combining accents) and
// stray blanks stand out.
#ifndef ORVIA_TESTS_HOST_U16TEXT_H
#define ORVIA_TESTS_HOST_U16TEXT_H

#include <cstdio>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

inline std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// "Fran\u00E7ais" -> u"Français" [46 72 61 6E E7 61 69 73] (long texts show their first units).
inline std::string Describe(std::u16string_view text)
{
    constexpr std::size_t kMaxUnits = 80;
    std::string out = "u\"" + ToUtf8(text.substr(0, kMaxUnits)) + "\"";
    if (text.size() > kMaxUnits) {
        out += "... (" + std::to_string(text.size()) + " units)";
    }
    out += " [";
    for (std::size_t i = 0; i < text.size() && i < kMaxUnits; ++i) {
        char unit[8];
        std::snprintf(unit, sizeof unit, i ? " %X" : "%X", static_cast<unsigned>(text[i]));
        out += unit;
    }
    out += text.size() > kMaxUnits ? " ...]" : "]";
    return out;
}

inline ::testing::AssertionResult U16Equal(const char* expectedExpr, const char* actualExpr,
                                           std::u16string_view expected, std::u16string_view actual)
{
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "Expected equality of these texts:\n  " << expectedExpr << "\n    which is "
           << Describe(expected) << "\n  " << actualExpr << "\n    which is " << Describe(actual);
}

#define EXPECT_U16_EQ(expected, actual) EXPECT_PRED_FORMAT2(U16Equal, expected, actual)

#endif
