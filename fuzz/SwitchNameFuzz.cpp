// Switch names: a parameter against the program's switches and against itself, in a single-byte and
// a double-byte code page. Input: the parameter, a zero byte, a name.
#include "FuzzCheck.h"
#include "core/SwitchName.h"

namespace {
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string param = input.Until('\0');
    const std::string name = input.Rest();
    const LeadByteTest cp932 = Cp932LeadByte;
    const LeadByteTest singleByte;

    for (const char* known : {"uninstall", "UpdateOnStartup", "NoUpdateOnStartup"}) {
        FUZZ_CHECK(IsSwitchNamed(param, known, singleByte) == SameIgnoringAsciiCase(param, known));
        FUZZ_CHECK(IsSwitchNamed(param, known, cp932) == SameIgnoringAsciiCase(param, known));
    }
    FUZZ_CHECK(IsSwitchNamed(param, param, cp932));
    FUZZ_CHECK(IsSwitchNamed(param, name, singleByte) == SameIgnoringAsciiCase(param, name));
    // Whole double-byte characters only narrow what matches.
    if (IsSwitchNamed(param, name, cp932))
        FUZZ_CHECK(IsSwitchNamed(param, name, singleByte));
    return 0;
}
