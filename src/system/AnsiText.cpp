#include "AnsiText.h"

#include "PathUtil.h"

bool IsUtf8CodePage(UINT codePage) {
    return codePage == CP_UTF8 || (codePage == CP_ACP && ::GetACP() == CP_UTF8);
}

CString FitText(const CString& text, std::size_t maxBytes, UINT codePage) {
    return text.substr(0, FittingLength(text, maxBytes, LeadByteTestOf(codePage), IsUtf8CodePage(codePage)));
}

bool SameTextIgnoringAsciiCase(const CString& a, const CString& b, UINT codePage) {
    return SameIgnoringAsciiCase(a, b, LeadByteTestOf(codePage));
}

CString FromSystemCodePage(const std::string& text) {
    DWORD systemCodePage = CP_ACP;
    if (!::GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                          reinterpret_cast<LPWSTR>(&systemCodePage), sizeof systemCodePage / sizeof(WCHAR)))
        return CString();
    const int size = static_cast<int>(text.size());
    const int wideLength = ::MultiByteToWideChar(systemCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength > 0 ? wideLength : 0), L'\0');
    if (wide.empty() || !::MultiByteToWideChar(systemCodePage, 0, text.data(), size, &wide[0], wideLength))
        return CString();
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    CString result(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (result.empty() ||
        !::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &result[0], length, nullptr, nullptr))
        return CString();
    return result;
}

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return ::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.c_str()), static_cast<int>(a.size()),
                                  reinterpret_cast<const wchar_t*>(b.c_str()), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}
