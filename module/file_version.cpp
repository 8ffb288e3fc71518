#include "module/file_version.h"

#include <cstdio>
#include <new>
#include <vector>

bool GetFileVersion(const wchar_t* path, DWORD& mostSignificant, DWORD& leastSignificant) {
    if (!path) return false;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> data;
    try {
        data.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) return false;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", &value, &length) || !value) return false;
    // The block comes from the file: check it really holds a fixed version.
    if (length < sizeof(VS_FIXEDFILEINFO)) return false;
    const unsigned char* begin = data.data();
    const unsigned char* at = static_cast<const unsigned char*>(value);
    if (at < begin || at + sizeof(VS_FIXEDFILEINFO) > begin + data.size()) return false;
    VS_FIXEDFILEINFO info;
    memcpy(&info, at, sizeof(info));
    if (info.dwSignature != 0xFEEF04BD) return false;
    mostSignificant = info.dwFileVersionMS;
    leastSignificant = info.dwFileVersionLS;
    return true;
}

std::wstring FormatFileVersion(DWORD mostSignificant, DWORD leastSignificant) {
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.%d", static_cast<int>(HIWORD(mostSignificant)),
             static_cast<int>(LOWORD(mostSignificant)), static_cast<int>(HIWORD(leastSignificant)),
             static_cast<int>(LOWORD(leastSignificant)));
    return text;
}

uint64_t ParseVersion(const std::wstring& text) {
    uint64_t parts[4] = {0, 0, 0, 0};
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        uint32_t value = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            value = value * 10 + static_cast<uint32_t>(text[i] - L'0');
            if (value > 0xFFFF) value = 0xFFFF;
        }
        parts[part] = value;
        if (i >= text.size() || text[i] != L'.') break;
        ++i;
    }
    return (parts[0] << 48) | (parts[1] << 32) | (parts[2] << 16) | parts[3];
}
