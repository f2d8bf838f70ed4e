#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "U16Text.h"
#include "languages/LanguageTable.h"
#include "launch/LaunchRequest.h"

namespace {

constexpr std::u16string_view kSuitePath = u"C:\\Setup Files\\Suite Setup\\Setup.exe";

struct PathCase {
    std::u16string modulePath;
    std::u16string property;  // PackageNameProperty
    std::u16string folder;    // ProgramFolder; empty means no directory in the request
};

std::vector<PathCase> PathCases()
{
    std::vector<PathCase> cases = {
        {u"C:\\Setup Files\\Suite Setup\\Setup.exe", u"Suite Setup.msi", u"C:\\Setup Files\\Suite Setup\\"},
        {u"C:\\Setup.exe", u".msi", u"C:\\"},
        {u"\\\\server\\share\\Setup.exe", u"share.msi", u"\\\\server\\share\\"},
        {u"\\\\server\\share\\Disk1\\Setup.exe", u"Disk1.msi", u"\\\\server\\share\\Disk1\\"},
        {u"\\\\server\\Setup.exe", u"server.msi", u"\\\\server\\"},  // separator at position 1 counts
        {u"Setup.exe", u".msi", u""},
        {u"", u".msi", u""},
        {u"\\Setup.exe", u".msi", u"\\"},
        {u"\\Suite\\Setup.exe", u".msi", u"\\Suite\\"},
        {u"C:\\Suite\\\\Setup.exe", u".msi", u"C:\\Suite\\\\"},
        {u"C:\\A/B\\Setup.exe", u"A/B.msi", u"C:\\A/B\\"},
        {u"C:/Suite/Setup.exe", u".msi", u""},
        {u"Suite\\Setup.exe", u".msi", u"Suite\\"},
        {u"C:\\Suite\\", u"Suite.msi", u"C:\\Suite\\"},
        // Cut short by the module-path buffer: the name comes from what is there.
        {u"C:\\Deep\\Folder\\Setu", u"Folder.msi", u"C:\\Deep\\Folder\\"},
        {u"C:\\Deep\\Fol", u"Deep.msi", u"C:\\Deep\\"},
        // Folder names pass through verbatim: blanks, quotes, surrogate pairs, look-alikes.
        {u"C:\\My \"Kit\" 1\\Setup.exe", u"My \"Kit\" 1.msi", u"C:\\My \"Kit\" 1\\"},
        {u"C:\\\U0001F4E6Kit\xD800\\Setup.exe", u"\U0001F4E6Kit\xD800.msi", u"C:\\\U0001F4E6Kit\xD800\\"},
        {u"D:\\Install\u00E9\uFF09\\Setup.exe", u"Install\u00E9\uFF09.msi", u"D:\\Install\u00E9\uFF09\\"},
    };
    EXPECT_EQ(cases[17].property.substr(0, 2), (std::u16string{char16_t(0xD83D), char16_t(0xDCE6)}));
    // The longest path Windows hands out: 32,767 code units.
    const std::u16string outer = u"\\\\?\\C:\\" + std::u16string(20000, u'a') + u"\\";
    const std::u16string inner(32767 - outer.size() - 10, u'b');
    std::u16string longPath = outer + inner + u"\\Setup.exe";
    EXPECT_EQ(longPath.size(), 32767u);
    cases.push_back({longPath, inner + u".msi", outer + inner + u"\\"});
    return cases;
}

TEST(PackageNameProperty, FolderHoldingTheProgramPlusMsi)
{
    for (const PathCase& c : PathCases()) {
        SCOPED_TRACE(Describe(c.modulePath));
        EXPECT_U16_EQ(c.property, PackageNameProperty(c.modulePath));
        EXPECT_U16_EQ(c.folder, ProgramFolder(c.modulePath));
    }
}

TEST(BuildLaunchRequest, PathDecidesPropertyAndDirectoryOnly)
{
    for (const PathCase& c : PathCases()) {
        SCOPED_TRACE(Describe(c.modulePath));
        const auto request = BuildLaunchRequest(u"English", c.modulePath);
        ASSERT_TRUE(request.has_value());
        EXPECT_U16_EQ(u" PACKAGENAMEUID=\"" + c.property + u"\"", request->parameters);
        if (c.folder.empty()) {
            EXPECT_FALSE(request->directory.has_value());
        } else {
            ASSERT_TRUE(request->directory.has_value());
            EXPECT_U16_EQ(c.folder, *request->directory);
        }
        EXPECT_U16_EQ(u"Quillmere_Business.msi", request->file);
    }
}

TEST(BuildLaunchRequest, EveryRowLaunchesWithItsTransform)
{
    constexpr std::u16string_view kProperty = u" PACKAGENAMEUID=\"Suite Setup.msi\"";
    const std::u16string_view kTransforms[kLanguageCount] = {
        u"",
        u"Transforms=Transforms\\de.mst",
        u"Transforms=Transforms\\es.mst",
        u"Transforms=Transforms\\fr.mst",
        u"Transforms=Transforms\\nl.mst",
        u"Transforms=Transforms\\pt.mst",
        u"Transforms=Transforms\\pl.mst",
        u"Transforms=Transforms\\it.mst",
        u"Transforms=Transforms\\ru.mst",
        u"Transforms=Transforms\\jp.mst",
        u"Transforms=Transforms\\ko.mst",
        u"Transforms=Transforms\\zh.mst",
        u"Transforms=Transforms\\tw.mst",
        u"",  // Dansk: no transform, launched as English is
        u"Transforms=Transforms\\fi-FI.mst",
        u"Transforms=Transforms\\nb-NO.mst",
        u"Transforms=Transforms\\sv-SE.mst",
    };
    for (std::size_t i = 0; i < kLanguageCount; ++i) {
        const std::u16string_view name = LanguageTable[i].displayName;
        SCOPED_TRACE(Describe(name));
        const auto request = BuildLaunchRequest(name, kSuitePath);
        ASSERT_TRUE(request.has_value());
        EXPECT_U16_EQ(std::u16string(kTransforms[i]) + std::u16string(kProperty), request->parameters);
        EXPECT_TRUE(request->verb.empty());
        EXPECT_NE(request->verb.data(), nullptr);
        EXPECT_U16_EQ(u"Quillmere_Business.msi", request->file);
        ASSERT_TRUE(request->directory.has_value());
        EXPECT_U16_EQ(u"C:\\Setup Files\\Suite Setup\\", *request->directory);
        EXPECT_EQ(request->showCommand, 5);
    }
}

// Only A-Z fold; nothing else is folded, trimmed or normalised.
TEST(BuildLaunchRequest, SelectedNameMatchesWithAsciiCaseFoldingOnly)
{
    struct Case {
        std::u16string_view selected;
        std::optional<std::u16string_view> parameters;  // nullopt: no launch
    };
    const Case kCases[] = {
        {u"ENGLISH", u" PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"english", u" PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"dEUTSCH", u"Transforms=Transforms\\de.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"SUOMI", u"Transforms=Transforms\\fi-FI.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"DANSK", u" PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"FRAN\u00E7AIS", u"Transforms=Transforms\\fr.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"ESPA\u00F1OL_LATINOAMERICANO",
         u"Transforms=Transforms\\es.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"FRAN\u00C7AIS", std::nullopt},
        {u"ESPA\u00D1OL_LATINOAMERICANO", std::nullopt},
        {u"Espa\u00F1ol Latinoamericano", std::nullopt},
        {u"Espan\u0303ol_Latinoamericano", std::nullopt},  // decomposed n + combining tilde
        {u"English ", std::nullopt},
        {u" English", std::nullopt},
        {u"Englis", std::nullopt},
        {u"", std::nullopt},
        {u"\u4E2D\u6587(\u7B80\u4F53)", std::nullopt},
        {u"\u4E2D\u6587(\u7B80\u4F53\uFF09",
         u"Transforms=Transforms\\zh.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"\u0420\u0423\u0421\u0421\u041A\u0418\u0419", std::nullopt},
        {u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439", std::nullopt},
        {u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439",
         u"Transforms=Transforms\\ru.mst PACKAGENAMEUID=\"Suite Setup.msi\""},
        {u"Transforms=Transforms\\de.mst", std::nullopt},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(Describe(c.selected));
        const auto request = BuildLaunchRequest(c.selected, kSuitePath);
        ASSERT_EQ(request.has_value(), c.parameters.has_value());
        if (request) {
            EXPECT_U16_EQ(*c.parameters, request->parameters);
        }
    }
}

}  // namespace
