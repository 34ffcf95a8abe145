// One registry value read whole, telling a missing value from one of another type: the machine policy
// and the user's settings are read through here.
#pragma once

#include "framework/Afx.h"

#include <string>

enum class RegistryRead { Missing, Value, WrongType };

// Both read in the 64-bit view: policies are shared by both views, and asking for that one explicitly
// lets a 32-bit build read what an administrator set. A DWORD is REG_DWORD of four bytes; text is
// REG_SZ, up to its terminator.
RegistryRead ReadRegistryDword(HKEY root, const char* key, const char* name, DWORD& value);
RegistryRead ReadRegistryText(HKEY root, const char* key, const char* name, std::string& text);

// A value as stored, whatever its type, or its absence: what is read is written back as it was.
struct StoredRegistryValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string bytes;
};
StoredRegistryValue ReadStoredRegistryValue(HKEY root, const char* key, const char* name);
// Writes it back, or deletes the value when it was absent; FALSE when that failed.
BOOL WriteStoredRegistryValue(HKEY root, const char* key, const char* name, const StoredRegistryValue& value);
