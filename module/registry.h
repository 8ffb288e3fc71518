#pragma once
// Registry reads for values that other programs (and users) write: every
// value is checked for its type and size before use.
#include <windows.h>

#include <string>

class CRegKey {
public:
    CRegKey() noexcept = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Opens an existing key; false when it cannot be opened.
    bool Open(HKEY root, const wchar_t* path, REGSAM access);
    // Opens the key, creating it (and the keys above it) when missing.
    bool Create(HKEY root, const wchar_t* path, REGSAM access);
    void Close() noexcept;
    HKEY Get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }

    // A REG_DWORD of exactly four bytes; false leaves `value` unchanged.
    bool QueryDword(const wchar_t* name, DWORD& value) const;
    // A REG_SZ or REG_EXPAND_SZ (not expanded) of at most `maxChars`
    // characters before its terminator; a missing terminator is tolerated.
    // False leaves `value` unchanged (too long counts as unreadable).
    bool QueryString(const wchar_t* name, std::wstring& value, size_t maxChars) const;
    // Byte size of a value; false when it does not exist.
    bool QuerySize(const wchar_t* name, DWORD& bytes) const;
    bool SetString(const wchar_t* name, const std::wstring& value) const;
    bool SetDword(const wchar_t* name, DWORD value) const;

private:
    HKEY key_ = nullptr;
};
