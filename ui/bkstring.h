#pragma once
// The UI texts: id -> wide text, from XML resource 60002
// (<string><s id="N">text</s>...</string>, UTF-8). UI thread only.
#include <string>
#include <unordered_map>
#include <vector>
#include <windows.h>

class BkString {
public:
    // Rebuilds the table from every source of the resource (program first,
    // then the resource folder); the first definition of an id wins. FALSE
    // when no source exists or none is a well-formed string table.
    static BOOL Load();
    // Same, from given source texts (what Load collects).
    static BOOL LoadFromSources(const std::vector<std::string>& sources);
    // The text of the id, or null when absent (also before any load). The
    // pointer stays valid until the next load.
    static LPCWSTR Get(UINT uId);

private:
    static std::unordered_map<UINT, std::wstring>& Table();
    static BOOL AddSource(const std::string& strXml);
};
