// Fuzz target: BuildLaunchRequest over arbitrary selected names and module paths.
//
// Input layout: byte 0 picks the selected name. Below 2 x 17 it picks a display name of the
// table, with its ASCII letters flipped in case by the low bit, and the rest of the input is
// the module path; otherwise byte 1 is the length in code units of a selected name read from
// the input, and what follows it is the module path. Both texts are UTF-16LE.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "FuzzInput.h"
#include "languages/LanguageTable.h"
#include "launch/LaunchRequest.h"

namespace {

char16_t FlipAsciiCase(char16_t c)
{
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= u'A' && c <= u'Z') {
        return static_cast<char16_t>(c + 0x20);
    }
    return c;
}

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c | 0x20) : c; }

bool SameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    std::u16string selected;
    std::u16string path;
    const std::uint8_t pick = data[0];
    if (pick < 2 * kLanguageCount) {
        selected = LanguageTable[pick / 2].displayName;
        if (pick % 2 == 1) {
            for (char16_t& c : selected) {
                c = FlipAsciiCase(c);
            }
        }
        path = Utf16FromBytes(data + 1, size - 1);
    } else {
        if (size < 2) {
            return 0;
        }
        const std::u16string rest = Utf16FromBytes(data + 2, size - 2);
        const std::size_t nameLength = data[1] < rest.size() ? data[1] : rest.size();
        selected = rest.substr(0, nameLength);
        path = rest.substr(nameLength);
    }
    const ExactText selectedText(selected);
    const ExactText pathText(path);

    const LanguageEntry* match = nullptr;
    for (const LanguageEntry& entry : LanguageTable) {
        if (SameName(entry.displayName, selected)) {
            Require(match == nullptr, "at most one row matches a name");
            match = &entry;
        }
    }

    const std::optional<LaunchRequest> request = BuildLaunchRequest(selectedText.view(), pathText.view());
    if (match == nullptr) {
        Require(!request.has_value(), "a name that matches no row gives no request");
        return 0;
    }
    Require(request.has_value(), "every row launches (Dansk as English does)");

    // Exactly the transform, one blank, then the property: nothing before, between or after.
    const std::u16string transform(match->transformArgument.value_or(u""));
    const std::u16string expected = transform + u" PACKAGENAMEUID=\"" + ExpectedProperty(path) + u"\"";
    Require(request->parameters == expected, "parameters are transform, blank, property");

    Require(request->verb.empty() && request->verb.data() != nullptr, "verb is present and empty");
    Require(request->file == u"Quillmere_Business.msi", "file is the bare package name");
    Require(request->showCommand == 5, "shown with SW_SHOW");
    const std::u16string folder = ExpectedFolder(path);
    Require(request->directory.has_value() == !folder.empty(), "directory only with a folder");
    Require(!request->directory || *request->directory == folder, "directory is the program's folder");
    return 0;
}
