// One registry value read whole, telling a missing value from one of another type, and one value
// written: every value of the program goes through here (see RegistryTable for their rules).
#pragma once

#include "framework/Afx.h"

#include <string>

enum class RegistryRead { Missing, Value, WrongType };

// All read in the 64-bit view: policies are shared by both views, and asking for that one explicitly
// lets a 32-bit build read what an administrator set. A DWORD is REG_DWORD of four bytes; text is
// REG_SZ, up to its terminator.
RegistryRead ReadRegistryDword(HKEY root, const char* key, const char* name, DWORD& value);
RegistryRead ReadRegistryText(HKEY root, const char* key, const char* name, std::string& text);
// A list's text: REG_SZ or REG_EXPAND_SZ up to its terminator, or the strings of a REG_MULTI_SZ joined
// by ";", wherever empty ones stand.
RegistryRead ReadRegistryList(HKEY root, const char* key, const char* name, std::u16string& text);

// Each creates the key where it is missing; the result is whether the value was written.
bool WriteRegistryText(HKEY root, const char* key, const char* name, const std::string& text);
bool WriteRegistryDword(HKEY root, const char* key, const char* name, DWORD value);
bool DeleteRegistryValue(HKEY root, const char* key, const char* name);

// A value as stored, whatever its type, or its absence: what is read is written back as it was.
struct StoredRegistryValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string bytes;
};
StoredRegistryValue ReadStoredRegistryValue(HKEY root, const char* key, const char* name);
// Writes it back, or deletes the value when it was absent; FALSE when that failed.
BOOL WriteStoredRegistryValue(HKEY root, const char* key, const char* name, const StoredRegistryValue& value);
