#pragma once
// Turns (id, type) into bytes: first from the program's own resources, then
// from the file "<folder>\<id>.<type>" in the resource folder, so a skin can be
// replaced by dropping files next to the program. Nothing is cached. UI thread
// only.
#include <string>
#include <vector>
#include <windows.h>

class BkResManager {
public:
    // The folder of the file fallback; null or empty switches it off.
    static void SetResourcePath(LPCWSTR lpszPath);
    static const std::wstring& GetResourcePath();

    // The module whose resources come first: the program itself unless set
    // (a DLL that carries its own resources sets its own handle).
    static void SetResourceModule(HMODULE hModule);
    static HMODULE GetResourceModule();

    // First source found wins. On failure the bytes are emptied.
    static BOOL LoadResource(UINT uResId, LPCWSTR lpszType, std::string& strBytes);

    // The two sources one by one. An empty resource or file counts as missing.
    static BOOL LoadFromModule(UINT uResId, LPCWSTR lpszType, std::string& strBytes);
    static BOOL LoadFromFile(UINT uResId, LPCWSTR lpszType, std::string& strBytes);

    // Every source that holds the id, in lookup order (program, then file);
    // the XML tables merge them all.
    static std::vector<std::string> LoadAllSources(UINT uResId, LPCWSTR lpszType);

    // "<folder>\<id>.<type>"; empty when no folder is set.
    static std::wstring FilePath(UINT uResId, LPCWSTR lpszType);

    // Files larger than this are refused as not being a resource of ours.
    static const DWORD kMaxFileSize = 64 * 1024 * 1024;

private:
    static BkResManager& Instance();
    std::wstring m_strPath;
    HMODULE m_hModule = nullptr;
};
