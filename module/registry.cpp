#include "module/registry.h"

#include <vector>

bool CRegKey::Open(HKEY root, const wchar_t* path, REGSAM access) {
    Close();
    return ::RegOpenKeyExW(root, path, 0, access, &key_) == ERROR_SUCCESS || (key_ = nullptr, false);
}

bool CRegKey::Create(HKEY root, const wchar_t* path, REGSAM access) {
    Close();
    return ::RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key_, nullptr) ==
               ERROR_SUCCESS ||
           (key_ = nullptr, false);
}

void CRegKey::Close() noexcept {
    if (key_) ::RegCloseKey(key_);
    key_ = nullptr;
}

bool CRegKey::QueryDword(const wchar_t* name, DWORD& value) const {
    if (!key_) return false;
    DWORD type = 0, data = 0, size = sizeof(data);
    if (::RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data)) {
        return false;
    }
    value = data;
    return true;
}

bool CRegKey::QueryString(const wchar_t* name, std::wstring& value, size_t maxChars) const {
    if (!key_) return false;
    // Room for the characters, a terminator and one more to tell "too long".
    std::vector<wchar_t> buf(maxChars + 2, L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    size_t chars = size / sizeof(wchar_t);
    // The stored bytes need not end in a NUL; the text ends at the first one.
    size_t length = 0;
    while (length < chars && buf[length] != L'\0') ++length;
    if (length > maxChars) return false;
    value.assign(buf.data(), length);
    return true;
}

bool CRegKey::QuerySize(const wchar_t* name, DWORD& bytes) const {
    if (!key_) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes = size;
    return true;
}

bool CRegKey::SetString(const wchar_t* name, const std::wstring& value) const {
    if (!key_) return false;
    return ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool CRegKey::SetDword(const wchar_t* name, DWORD value) const {
    if (!key_) return false;
    return ::RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}
