#include "platform/strconv.h"

#include <cstring>
#include <cwchar>

namespace platform {

std::wstring MultiByteToWide(UINT codePage, const char* text, int length) {
    if (!text) return std::wstring();
    if (length < 0) length = static_cast<int>(std::strlen(text));
    if (length == 0) return std::wstring();
    int n = ::MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text, length, &out[0], n);
    return out;
}

std::string WideToMultiByte(UINT codePage, const wchar_t* text, int length) {
    if (!text) return std::string();
    if (length < 0) length = static_cast<int>(std::wcslen(text));
    if (length == 0) return std::string();
    int n = ::WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Utf8ToWide(const char* text, int length) { return MultiByteToWide(CP_UTF8, text, length); }
std::string WideToUtf8(const wchar_t* text, int length) { return WideToMultiByte(CP_UTF8, text, length); }
std::wstring AnsiToWide(const char* text, int length) { return MultiByteToWide(CP_ACP, text, length); }
std::string WideToAnsi(const wchar_t* text, int length) { return WideToMultiByte(CP_ACP, text, length); }

} // namespace platform
