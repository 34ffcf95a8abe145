#include "RegistryValue.h"

#include "framework/Handles.h"

#include <algorithm>
#include <vector>

namespace {
RegistryRead Query(HKEY root, const char* key, const char* name, DWORD wanted, std::string& data) {
    CRegKey opened;
    if (opened.Open(root, key, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
        return RegistryRead::Missing;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(opened.Get(), name, nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return RegistryRead::Missing;
    if (result != ERROR_SUCCESS || type != wanted)
        return RegistryRead::WrongType;
    data.assign(size, '\0');
    result = ::RegQueryValueExA(opened.Get(), name, nullptr, &type,
                                reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]), &size);
    if (result != ERROR_SUCCESS || type != wanted) // changed between the two calls
        return RegistryRead::WrongType;
    data.resize(std::min<std::size_t>(size, data.size()));
    return RegistryRead::Value;
}
} // namespace

RegistryRead ReadRegistryDword(HKEY root, const char* key, const char* name, DWORD& value) {
    std::string data;
    RegistryRead read = Query(root, key, name, REG_DWORD, data);
    if (read == RegistryRead::Value && data.size() != sizeof value)
        return RegistryRead::WrongType;
    if (read == RegistryRead::Value)
        std::copy(data.begin(), data.end(), reinterpret_cast<char*>(&value));
    return read;
}

RegistryRead ReadRegistryText(HKEY root, const char* key, const char* name, std::string& text) {
    std::string data;
    RegistryRead read = Query(root, key, name, REG_SZ, data);
    text = read == RegistryRead::Value ? data.c_str() : ""; // up to its terminator, whatever was stored
    return read;
}

RegistryRead ReadRegistryList(HKEY root, const char* key, const char* name, std::u16string& text) {
    text.clear();
    CRegKey opened;
    if (opened.Open(root, key, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
        return RegistryRead::Missing;
    const std::wstring wideName = AfxWiden(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(opened.Get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return RegistryRead::Missing;
    std::vector<char16_t> data(size / 2 + 2, u'\0');
    if (::RegQueryValueExW(opened.Get(), wideName.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return RegistryRead::Missing;
    const std::size_t characters = std::min<std::size_t>(size / 2, data.size());
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        text = data.data(); // up to its terminator, whatever was stored
        return RegistryRead::Value;
    }
    if (type != REG_MULTI_SZ)
        return RegistryRead::WrongType;
    std::vector<char16_t> joined;
    for (std::size_t at = 0; at < characters; ++at) {
        if (data[at] != u'\0')
            joined.push_back(data[at]);
        else if (!joined.empty() && joined.back() != u';')
            joined.push_back(u';');
    }
    text.assign(joined.begin(), joined.end());
    return RegistryRead::Value;
}

bool WriteRegistryText(HKEY root, const char* key, const char* name, const std::string& text) {
    CRegKey opened;
    return opened.Create(root, key) == ERROR_SUCCESS &&
           ::RegSetValueExA(opened.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteRegistryDword(HKEY root, const char* key, const char* name, DWORD value) {
    CRegKey opened;
    return opened.Create(root, key) == ERROR_SUCCESS &&
           ::RegSetValueExA(opened.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const char* key, const char* name) {
    CRegKey opened;
    return opened.Create(root, key) == ERROR_SUCCESS &&
           ::RegDeleteValueA(opened.Get(), name) == ERROR_SUCCESS;
}

StoredRegistryValue ReadStoredRegistryValue(HKEY root, const char* key, const char* name) {
    StoredRegistryValue value;
    CRegKey opened;
    if (opened.Open(root, key, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(opened.Get(), name, nullptr, &value.type, nullptr, &size);
    // It may grow between the calls: asked again, a few times, until it fits.
    for (int tries = 3; tries > 0 && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA); --tries) {
        value.bytes.assign(size, '\0');
        result = ::RegQueryValueExA(opened.Get(), name, nullptr, &value.type,
                                    reinterpret_cast<BYTE*>(value.bytes.empty() ? nullptr : &value.bytes[0]),
                                    &size);
        if (result == ERROR_SUCCESS) {
            value.bytes.resize(std::min<std::size_t>(size, value.bytes.size()));
            value.present = true;
            return value;
        }
    }
    return StoredRegistryValue();
}

BOOL WriteStoredRegistryValue(HKEY root, const char* key, const char* name,
                              const StoredRegistryValue& value) {
    CRegKey opened;
    if (!value.present) {
        if (opened.Open(root, key, KEY_SET_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
            return TRUE; // no key, no value
        const LONG result = ::RegDeleteValueA(opened.Get(), name);
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    if (opened.Create(root, key) != ERROR_SUCCESS)
        return FALSE;
    return ::RegSetValueExA(opened.Get(), name, 0, value.type,
                            reinterpret_cast<const BYTE*>(value.bytes.data()),
                            static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}
