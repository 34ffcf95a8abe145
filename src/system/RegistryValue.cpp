#include "RegistryValue.h"

#include "framework/Handles.h"

#include <algorithm>

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
