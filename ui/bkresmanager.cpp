#include "ui/bkresmanager.h"

#include <cwchar>

#include "platform/handle.h"
#include "platform/trace.h"

BkResManager& BkResManager::Instance()
{
    static BkResManager instance;
    return instance;
}

void BkResManager::SetResourcePath(LPCWSTR lpszPath)
{
    Instance().m_strPath = lpszPath ? lpszPath : L"";
}

const std::wstring& BkResManager::GetResourcePath()
{
    return Instance().m_strPath;
}

void BkResManager::SetResourceModule(HMODULE hModule)
{
    Instance().m_hModule = hModule;
}

HMODULE BkResManager::GetResourceModule()
{
    HMODULE module = Instance().m_hModule;
    return module ? module : ::GetModuleHandleW(nullptr);
}

BOOL BkResManager::LoadFromModule(UINT uResId, LPCWSTR lpszType, std::string& strBytes)
{
    strBytes.clear();
    if (!lpszType || uResId > 0xFFFF)
        return FALSE;
    HMODULE module = GetResourceModule();
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(uResId), lpszType);
    if (!res)
        return FALSE;
    DWORD size = ::SizeofResource(module, res);
    if (size == 0)
        return FALSE;
    HGLOBAL data = ::LoadResource(module, res);
    const void* bytes = data ? ::LockResource(data) : nullptr;
    if (!bytes) {
        platform::TraceLastError("LoadResource");
        return FALSE;
    }
    strBytes.assign(static_cast<const char*>(bytes), size);
    ::FreeResource(data);   // a no-op on Win32; kept for symmetry with LoadResource
    return TRUE;
}

std::wstring BkResManager::FilePath(UINT uResId, LPCWSTR lpszType)
{
    const std::wstring& folder = GetResourcePath();
    if (folder.empty() || !lpszType)
        return std::wstring();
    wchar_t name[32];
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"\\%u.", uResId);
    return folder + name + lpszType;
}

BOOL BkResManager::LoadFromFile(UINT uResId, LPCWSTR lpszType, std::string& strBytes)
{
    strBytes.clear();
    std::wstring path = FilePath(uResId, lpszType);
    if (path.empty())
        return FALSE;
    platform::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return FALSE;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0)
        return FALSE;
    if (size.QuadPart > kMaxFileSize) {
        platform::TraceW(L"Resource file %ls is too large, ignored", path.c_str());
        return FALSE;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD total = 0;
    while (total < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[total], static_cast<DWORD>(bytes.size()) - total, &read, nullptr)) {
            platform::TraceLastError("ReadFile (resource file)");
            return FALSE;
        }
        if (read == 0)
            return FALSE;   // the file shrank under us: a short read
        total += read;
    }
    strBytes.swap(bytes);
    return TRUE;
}

BOOL BkResManager::LoadResource(UINT uResId, LPCWSTR lpszType, std::string& strBytes)
{
    if (LoadFromModule(uResId, lpszType, strBytes))
        return TRUE;
    return LoadFromFile(uResId, lpszType, strBytes);
}

std::vector<std::string> BkResManager::LoadAllSources(UINT uResId, LPCWSTR lpszType)
{
    std::vector<std::string> sources;
    std::string bytes;
    if (LoadFromModule(uResId, lpszType, bytes))
        sources.push_back(std::move(bytes));
    if (LoadFromFile(uResId, lpszType, bytes))
        sources.push_back(std::move(bytes));
    return sources;
}
