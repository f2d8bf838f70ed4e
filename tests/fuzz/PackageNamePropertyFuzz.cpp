// Fuzz target: PackageNameProperty and ProgramFolder over arbitrary module paths (the input
// read as UTF-16LE). Checks the results against the rule, the shape of the property, and that
// neither function reads outside the path.
#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "launch/LaunchRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ExactText path(Utf16FromBytes(data, size));
    const std::u16string_view modulePath = path.view();

    const std::u16string property = PackageNameProperty(modulePath);
    Require(property == ExpectedProperty(modulePath), "property is the folder name plus .msi");
    Require(property.size() >= 4 && property.substr(property.size() - 4) == u".msi", "property ends in .msi");
    const std::u16string_view name = std::u16string_view(property).substr(0, property.size() - 4);
    Require(name.find(u'\\') == std::u16string_view::npos, "folder name holds no backslash");
    Require(name.size() + 2 <= modulePath.size() || name.empty(), "folder name fits the path");
    if (!name.empty()) {
        // A non-empty name stands between two backslashes, the first of them not at position 0.
        const std::size_t end = modulePath.rfind(u'\\');
        Require(end != std::u16string_view::npos && end > name.size() + 1 &&
                    modulePath.substr(end - name.size(), name.size()) == name &&
                    modulePath[end - name.size() - 1] == u'\\',
                "folder name is the last component of the folder part");
    }

    const std::u16string_view folder = ProgramFolder(modulePath);
    Require(folder == ExpectedFolder(modulePath), "folder is the path up to its last backslash");
    Require(folder.empty() || folder.data() == modulePath.data(), "folder is a prefix view");
    return 0;
}
