// The dialog tests run the program's own application object and dialog inside this process.
#include <cstdio>

#include <gtest/gtest.h>

#include "Harness.h"
#include "framework/afxwin.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!dialogtest::InstallRecorders()) {
        std::fprintf(stderr, "cannot patch the imports the tests record and fault\n");
        return 1;
    }
    static wchar_t noArguments[] = L"";
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, noArguments, SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
