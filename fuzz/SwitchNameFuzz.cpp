// Switch names: a parameter against the program's switches and against itself, in a single-byte and
// a double-byte code page. Input: the parameter, a zero byte, a name.
#include "FuzzCheck.h"
#include "core/AsciiCase.h"
#include "core/SwitchName.h"
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string param = input.Until('\0');
    const std::string name = input.Rest();
    const LeadByteTest cp932 = Cp932LeadByte;
    const LeadByteTest singleByte;

    for (const char* known : {"uninstall", "UpdateOnStartup", "NoUpdateOnStartup"}) {
        FUZZ_CHECK(IsSwitchNamed(param, known, singleByte) ==
                   SameIgnoringAsciiCase(param, std::string(known)));
        FUZZ_CHECK(IsSwitchNamed(param, known, cp932) == SameIgnoringAsciiCase(param, std::string(known)));
    }
    FUZZ_CHECK(IsSwitchNamed(param, param, cp932));
    FUZZ_CHECK(IsSwitchNamed(param, name, singleByte) == SameIgnoringAsciiCase(param, name));
    // Whole double-byte characters only narrow what matches.
    if (IsSwitchNamed(param, name, cp932))
        FUZZ_CHECK(IsSwitchNamed(param, name, singleByte));
    return 0;
}
