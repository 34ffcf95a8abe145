#include "DelayLoads.h"

#include "framework/Afx.h"

#include <atomic>

// The import descriptors of the delay-loaded libraries, as the build's delay-import libraries name them.
extern "C" {
extern const IMAGE_DELAYLOAD_DESCRIPTOR
    g_wintrustImports __asm__("__DELAY_IMPORT_DESCRIPTOR_libwintrust_delay_a");
extern const IMAGE_DELAYLOAD_DESCRIPTOR
    g_crypt32Imports __asm__("__DELAY_IMPORT_DESCRIPTOR_libcrypt32_delay_a");
extern const IMAGE_DELAYLOAD_DESCRIPTOR
    g_bcryptImports __asm__("__DELAY_IMPORT_DESCRIPTOR_libbcrypt_delay_a");
}

namespace {
// Descriptors hold addresses relative to the image (bit 0 of their attributes) or, of old, absolute ones.
template <class T> const T* At(const IMAGE_DELAYLOAD_DESCRIPTOR& library, ULONG_PTR address) {
    if (address == 0)
        return nullptr;
    if (library.Attributes.AllAttributes & 1)
        return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(::GetModuleHandleA(nullptr)) +
                                          address);
    return reinterpret_cast<const T*>(address);
}

bool LoadAll(const IMAGE_DELAYLOAD_DESCRIPTOR& library) {
    const char* name = At<char>(library, library.DllNameRVA);
    HMODULE module = name ? ::LoadLibraryA(name) : nullptr;
    if (!module)
        return false;
    for (const auto* entry = At<IMAGE_THUNK_DATA>(library, library.ImportNameTableRVA);
         entry && entry->u1.AddressOfData != 0; ++entry) {
        const char* function = IMAGE_SNAP_BY_ORDINAL(entry->u1.Ordinal)
                                   ? reinterpret_cast<const char*>(IMAGE_ORDINAL(entry->u1.Ordinal))
                                   : reinterpret_cast<const char*>(
                                         At<IMAGE_IMPORT_BY_NAME>(library, entry->u1.AddressOfData)->Name);
        if (!::GetProcAddress(module, function))
            return false;
    }
    return true;
}
} // namespace

bool DelayLoadsAvailable() {
    // Once all could be had they stay loaded; a failure is asked again next time.
    static std::atomic<bool> available{false};
    if (!available)
        available = LoadAll(g_wintrustImports) && LoadAll(g_crypt32Imports) && LoadAll(g_bcryptImports);
    return available;
}
