#include "DelayLoads.h"

#include "framework/Afx.h"

#include <atomic>

namespace {
// Descriptors written with virtual addresses instead of relative ones (bit 0 clear) are of old linkers.
template <class T>
const T* At(const BYTE* base, const IMAGE_NT_HEADERS* headers, ULONGLONG address, bool relative) {
    if (address == 0)
        return nullptr;
    return reinterpret_cast<const T*>(base +
                                      (relative ? address : address - headers->OptionalHeader.ImageBase));
}

bool LoadAll() {
    const auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    if (directory.VirtualAddress == 0)
        return true;
    for (const auto* library =
             reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(base + directory.VirtualAddress);
         library->DllNameRVA != 0; ++library) {
        const bool relative = (library->Attributes.AllAttributes & 1) != 0;
        const char* name = At<char>(base, headers, library->DllNameRVA, relative);
        HMODULE module = name ? ::LoadLibraryA(name) : nullptr;
        if (!module)
            return false;
        for (const auto* entry = At<IMAGE_THUNK_DATA>(base, headers, library->ImportNameTableRVA, relative);
             entry && entry->u1.AddressOfData != 0; ++entry) {
            const char* function =
                IMAGE_SNAP_BY_ORDINAL(entry->u1.Ordinal)
                    ? reinterpret_cast<const char*>(IMAGE_ORDINAL(entry->u1.Ordinal))
                    : reinterpret_cast<const char*>(
                          At<IMAGE_IMPORT_BY_NAME>(base, headers, entry->u1.AddressOfData, relative)->Name);
            if (!::GetProcAddress(module, function))
                return false;
        }
    }
    return true;
}
} // namespace

bool DelayLoadsAvailable() {
    // Once all could be had they stay loaded; a failure is asked again next time.
    static std::atomic<bool> available{false};
    if (!available)
        available = LoadAll();
    return available;
}
