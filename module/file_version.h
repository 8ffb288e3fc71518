#pragma once
// File versions as the update index checks them.
#include <windows.h>

#include <cstdint>
#include <string>

// The two words (most and least significant) of a file's fixed version
// resource; false when the file has none.
bool GetFileVersion(const wchar_t* path, DWORD& mostSignificant, DWORD& leastSignificant);
// "%d.%d.%d.%d" of the four 16-bit parts.
std::wstring FormatFileVersion(DWORD mostSignificant, DWORD leastSignificant);
// a<<48 | b<<32 | c<<16 | d from "a.b.c.d"; each part is read as decimal
// digits up to the next non-digit, missing parts count 0 and a part above
// 65535 counts 65535.
uint64_t ParseVersion(const std::wstring& text);
inline uint64_t PackVersion(DWORD mostSignificant, DWORD leastSignificant) {
    return (static_cast<uint64_t>(mostSignificant) << 32) | leastSignificant;
}
