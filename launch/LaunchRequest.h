// The one shell launch of the installer package that the install button makes: which package,
// with which installer settings, from which folder. Free of platform code; the dialog turns the
// request into the ShellExecuteW call.
#ifndef ORVIA_LAUNCH_LAUNCHREQUEST_H
#define ORVIA_LAUNCH_LAUNCHREQUEST_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::u16string_view kPackageFile = u"Quillmere_Business.msi";

// The arguments of the ShellExecuteW call; the owner window is always null.
struct LaunchRequest {
    std::u16string_view verb = u"";           // the default verb: present and empty, never null
    std::u16string_view file = kPackageFile;  // bare file name
    std::u16string parameters;                // transform, then the PACKAGENAMEUID property
    std::optional<std::u16string> directory;  // the program's folder; absent when unknown
    std::int32_t showCommand = 5;             // SW_SHOW
};

// Name of the folder that holds the executable, followed by ".msi". Only the backslash
// separates; a backslash at position 0 counts as none, so a program at a root gives ".msi".
std::u16string PackageNameProperty(std::u16string_view modulePath);

// modulePath up to and including its last backslash; empty when it has none.
std::u16string_view ProgramFolder(std::u16string_view modulePath);

// The launch for the display name selected in the list (matched with only A-Z folded to a-z),
// or none when no row has that name.
std::optional<LaunchRequest> BuildLaunchRequest(std::u16string_view selectedName,
                                                std::u16string_view modulePath);

#endif
