#pragma once
// Conversions between UTF-16 (UI, registry), UTF-8 (XML resources) and the
// system ANSI code page (names in the index and its files).
#include <string>
#include <windows.h>

namespace platform {

std::wstring Utf8ToWide(const char* text, int length = -1);
std::string WideToUtf8(const wchar_t* text, int length = -1);
std::wstring AnsiToWide(const char* text, int length = -1);
std::string WideToAnsi(const wchar_t* text, int length = -1);

inline std::wstring Utf8ToWide(const std::string& s) { return Utf8ToWide(s.data(), static_cast<int>(s.size())); }
inline std::string WideToUtf8(const std::wstring& s) { return WideToUtf8(s.data(), static_cast<int>(s.size())); }
inline std::wstring AnsiToWide(const std::string& s) { return AnsiToWide(s.data(), static_cast<int>(s.size())); }
inline std::string WideToAnsi(const std::wstring& s) { return WideToAnsi(s.data(), static_cast<int>(s.size())); }

// Any code page; length -1 means NUL-terminated. Invalid input converts with
// the system's replacement characters rather than failing.
std::wstring MultiByteToWide(UINT codePage, const char* text, int length = -1);
std::string WideToMultiByte(UINT codePage, const wchar_t* text, int length = -1);

} // namespace platform
