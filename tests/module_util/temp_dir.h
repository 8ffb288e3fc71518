#pragma once
// A fresh folder under the prefix's temp folder, removed with its contents.
#include <windows.h>

#include <string>

class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        for (;;) {
            wchar_t name[64];
            swprintf(name, 64, L"modutil_%lu_%ld", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
            path_ = std::wstring(base) + name;
            if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        }
    }
    ~TempDir() { RemoveTree(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::string PathA() const { return Narrow(path_); }
    std::string FileA(const std::string& name) const { return PathA() + "\\" + name; }

    static std::string Narrow(const std::wstring& w) {
        std::string s;
        for (wchar_t c : w) s += static_cast<char>(c);  // temp paths here are ASCII
        return s;
    }

private:
    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring full = folder + L"\\" + name;
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(full);
                } else {
                    ::DeleteFileW(full.c_str());
                }
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(folder.c_str());
    }

    std::wstring path_;
};

// Whole file as bytes; empty when missing.
inline std::string ReadWholeFile(const std::wstring& path) {
    std::string out;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got) out.append(buf, got);
    ::CloseHandle(f);
    return out;
}

inline bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
