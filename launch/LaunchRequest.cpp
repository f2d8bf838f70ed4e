#include "launch/LaunchRequest.h"

#include "languages/LanguageTable.h"

namespace {

constexpr char16_t kBackslash = u'\\';

constexpr char16_t FoldAsciiCapital(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Equal length and equal code units once the ASCII capitals are folded; nothing else is folded,
// trimmed or normalised.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCapital(a[i]) != FoldAsciiCapital(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::u16string PackageNameProperty(std::u16string_view modulePath)
{
    std::u16string_view folderName;
    const std::size_t fileSeparator = modulePath.rfind(kBackslash);
    if (fileSeparator != std::u16string_view::npos && fileSeparator != 0) {
        const std::u16string_view folderPart = modulePath.substr(0, fileSeparator);
        const std::size_t folderSeparator = folderPart.rfind(kBackslash);
        if (folderSeparator != std::u16string_view::npos && folderSeparator != 0) {
            folderName = folderPart.substr(folderSeparator + 1);
        }
    }
    std::u16string property(folderName);
    property += u".msi";
    return property;
}

std::u16string_view ProgramFolder(std::u16string_view modulePath)
{
    const std::size_t separator = modulePath.rfind(kBackslash);
    if (separator == std::u16string_view::npos) {
        return {};
    }
    return modulePath.substr(0, separator + 1);
}

std::optional<LaunchRequest> BuildLaunchRequest(std::u16string_view selectedName,
                                                std::u16string_view modulePath)
{
    for (const LanguageEntry& entry : LanguageTable) {
        if (!EqualsIgnoringAsciiCase(entry.displayName, selectedName)) {
            continue;
        }
        LaunchRequest request;
        // Dansk has no transform of its own and launches without one, as English does.
        request.parameters = entry.transformArgument.value_or(std::u16string_view());
        request.parameters += u" PACKAGENAMEUID=\"";
        request.parameters += PackageNameProperty(modulePath);
        request.parameters += u'"';
        const std::u16string_view folder = ProgramFolder(modulePath);
        if (!folder.empty()) {
            request.directory = std::u16string(folder);
        }
        return request;
    }
    return std::nullopt;
}
