#pragma once
// Shared by the module tests: a fresh folder per test and a reference base64
// decoder for round trips. The prefix is thrown away after the run, so the
// folders are left behind.
#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        do {
            path_ = base + std::wstring(L"modtest_") + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                    std::to_wstring(::InterlockedIncrement(&counter));
        } while (!::CreateDirectoryW(path_.c_str(), nullptr));
    }
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Temp paths here are ASCII.
    std::string FileA(const std::string& name) const { return std::string(path_.begin(), path_.end()) + "\\" + name; }

private:
    std::wstring path_;
};

inline std::string Utf16Le(const std::wstring& text) {
    std::string out = "\xff\xfe";
    for (wchar_t c : text) out += {static_cast<char>(c & 0xff), static_cast<char>(c >> 8)};
    return out;
}

inline std::string Base64Decode(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        const size_t v = alphabet.find(c);
        if (v == std::string::npos) return "<bad base64>";
        value = (value << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xff);
        }
    }
    return out;
}
