#include "module/ini_file.h"

#include <climits>
#include <new>
#include <stdexcept>

#include "platform/handle.h"

namespace {

inline wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Blanks of a line; CR and LF end lines and never reach here.
inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

std::wstring Trim(const wchar_t* begin, const wchar_t* end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    return std::wstring(begin, end);
}

const HRESULT kShortRead = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);  // 0x80070026

// Converts `count` bytes of a code page; false when the text is too large.
bool ConvertToWide(UINT codePage, const char* bytes, size_t count, std::wstring& out) {
    out.clear();
    if (count == 0) return true;
    if (count > static_cast<size_t>(INT_MAX)) return false;
    const int n = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    return ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(count), &out[0], n) == n;
}

} // namespace

bool IniNameLess::operator()(const std::wstring& a, const std::wstring& b) const noexcept {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

uint32_t ParseUnsignedDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

HRESULT CIniFile::Load(const wchar_t* path) {
    sections_.clear();
    if (!path) return E_INVALIDARG;
    platform::FileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return HRESULT_FROM_WIN32(::GetLastError());
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) return HRESULT_FROM_WIN32(::GetLastError());
    if (size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) >= 0x100000000ull) {
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    }
    const DWORD length = static_cast<DWORD>(size.QuadPart);

    try {
        std::string bytes(length, '\0');
        DWORD got = 0;
        if (length && !::ReadFile(file.Get(), &bytes[0], length, &got, nullptr)) {
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        if (got != length) return kShortRead;
        return DecodeText(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        // bad_alloc or length_error: the text does not fit in memory.
        sections_.clear();
        return E_OUTOFMEMORY;
    }
}

HRESULT CIniFile::DecodeText(const void* data, size_t count) {
    sections_.clear();
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!bytes) count = 0;
    try {
        std::wstring text;
        if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            if (!ConvertToWide(CP_UTF8, reinterpret_cast<const char*>(bytes) + 3, count - 3, text)) {
                return E_OUTOFMEMORY;
            }
        } else if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
            // An odd last byte is half a character and is dropped.
            const size_t units = (count - 2) / 2;
            text.resize(units);
            for (size_t i = 0; i < units; ++i) {
                text[i] = static_cast<wchar_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
            }
        } else if (!ConvertToWide(CP_ACP, reinterpret_cast<const char*>(bytes), count, text)) {
            return E_OUTOFMEMORY;
        }
        Parse(text.data(), text.size());
    } catch (const std::bad_alloc&) {
        sections_.clear();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CIniFile::Parse(const wchar_t* text, size_t length) {
    sections_.clear();
    if (!text) return;
    const wchar_t* end = text;
    const wchar_t* const limit = text + length;
    while (end < limit && *end) ++end;  // a NUL ends the text

    Section* current = nullptr;
    const wchar_t* p = text;
    while (p < end) {
        const wchar_t* lineEnd = p;
        while (lineEnd < end && *lineEnd != L'\r' && *lineEnd != L'\n') ++lineEnd;
        const wchar_t* s = p;
        while (s < lineEnd && IsBlank(*s)) ++s;
        p = lineEnd < end ? lineEnd + 1 : end;
        if (s == lineEnd) continue;

        if (*s == L'[') {
            const wchar_t* close = s + 1;
            while (close < lineEnd && *close != L']') ++close;
            if (close == lineEnd) continue;
            std::wstring name = Trim(s + 1, close);
            if (name.empty()) continue;
            current = &sections_[name];  // a repeated name continues its section
            continue;
        }
        if (!current || *s == L';') continue;

        const wchar_t* eq = s;
        while (eq < lineEnd && *eq != L'=') ++eq;
        if (eq == lineEnd) continue;
        std::wstring key = Trim(s, eq);
        if (key.empty()) continue;
        (*current)[key] = Trim(eq + 1, lineEnd);
    }
}

const CIniFile::Section* CIniFile::FindSection(const wchar_t* section) const {
    if (!section) return nullptr;
    auto it = sections_.find(section);
    return it == sections_.end() ? nullptr : &it->second;
}

std::wstring CIniFile::GetString(const wchar_t* section, const wchar_t* key) const {
    const Section* s = FindSection(section);
    if (!s || !key) return std::wstring();
    auto it = s->find(key);
    return it == s->end() ? std::wstring() : it->second;
}

uint32_t CIniFile::GetUInt(const wchar_t* section, const wchar_t* key) const {
    return ParseUnsignedDecimal(GetString(section, key));
}

bool CIniFile::HasKey(const wchar_t* section, const wchar_t* key) const {
    const Section* s = FindSection(section);
    return s && key && s->find(key) != s->end();
}

bool CIniFile::HasInfoSection() const { return FindSection(L"info") != nullptr; }
