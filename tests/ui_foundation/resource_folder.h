#pragma once
// A fresh resource folder for one test, set as the loader's folder and
// removed (with the setting) afterwards.
#include <string>
#include <windows.h>

class ResourceFolder {
public:
    ResourceFolder();
    ~ResourceFolder();
    ResourceFolder(const ResourceFolder&) = delete;
    ResourceFolder& operator=(const ResourceFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Writes "<folder>\<id>.<type>".
    bool Write(UINT id, const wchar_t* type, const std::string& bytes) const;

private:
    std::wstring path_;
};
