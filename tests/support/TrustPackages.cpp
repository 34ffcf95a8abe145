#include "TrustPackages.h"

#include "TestEnv.h"

#include <cstring>

namespace pmtest {

namespace {
const char kPolicyKey[] = "Software\\Policies\\Corvalis\\Pendlemark";

std::string TrustDir() {
    return ProgramDir() + "..\\trust";
}

void SetPin(HKEY root, const char* key, const char* text, DWORD type, const char* name) {
    CRegKey handle;
    if (handle.Create(root, key) != ERROR_SUCCESS)
        return;
    if (!text) {
        ::RegDeleteValueA(handle.Get(), name);
    } else {
        // REG_MULTI_SZ: ";" separates the strings of the list in the text given here.
        std::string data = text;
        if (type == REG_MULTI_SZ) {
            for (char& c : data)
                c = c == ';' ? '\0' : c;
            data += '\0';
        }
        ::RegSetValueExA(handle.Get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
    }
}
} // namespace

std::string TrustPackage(const char* name) {
    return TrustDir() + "\\" + name;
}

std::string PublisherThumbprint(const char* who) {
    std::string text = ReadFileText(TrustPackage((std::string(who) + ".sha256").c_str()));
    return text.substr(0, text.find_first_of("\r\n"));
}

void SetPolicyPin(const char* text, DWORD type, const char* name) {
    SetPin(HKEY_LOCAL_MACHINE, kPolicyKey, text, type, name);
}

void SetUserPin(const char* text, DWORD type, const char* name) {
    SetPin(HKEY_CURRENT_USER, kParamsKey, text, type, name);
}

void ClearPins() {
    SetUserPin(nullptr);
    SetUserPin(nullptr, REG_SZ, "PackageProducts");
    DeletePolicyKeys();
}

} // namespace pmtest
