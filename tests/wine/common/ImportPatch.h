// Import patching for the Windows test programs: the slot of the test program's import address
// table that the calls of the linked program code go through, and a replacement put into it.
#pragma once

#include <windows.h>

#include <cstring>

namespace testsupport {

inline void** ImportSlot(HMODULE module, const char* library, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), library) != 0) {
            continue;
        }
        const DWORD lookup =
            descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

// Puts `replacement` into the test program's import slot of `function`; the function it held
// goes to `original` when that is not null. False when the program does not import it.
template <class Fn>
bool Patch(const char* library, const char* function, Fn replacement, Fn* original)
{
    void** slot = ImportSlot(GetModuleHandleW(nullptr), library, function);
    if (slot == nullptr) {
        return false;
    }
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection)) {
        return false;
    }
    if (original != nullptr) {
        *original = reinterpret_cast<Fn>(*slot);
    }
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return true;
}

}  // namespace testsupport
