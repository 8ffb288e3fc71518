#include "resource_folder.h"

#include <cstdio>

#include "tests/support/test_support.h"
#include "ui/bkresmanager.h"

ResourceFolder::ResourceFolder()
{
    static int serial = 0;
    wchar_t temp[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    std::swprintf(name, 64, L"bkres_%lu_%d", ::GetCurrentProcessId(), ++serial);
    path_ = std::wstring(temp, n) + name;
    ::CreateDirectoryW(path_.c_str(), nullptr);
    BkResManager::SetResourcePath(path_.c_str());
}

ResourceFolder::~ResourceFolder()
{
    BkResManager::SetResourcePath(nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((path_ + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW((path_ + L"\\" + fd.cFileName).c_str());
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path_.c_str());
}

bool ResourceFolder::Write(UINT id, const wchar_t* type, const std::string& bytes) const
{
    wchar_t name[64];
    std::swprintf(name, 64, L"\\%u.%ls", id, type);
    return testing_support::WriteFileBytes(path_ + name, bytes);
}
