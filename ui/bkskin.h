#pragma once
// The skin table: skin name -> skin, from XML resource 60000
// (<skins><imglst name="..." .../>...</skins>). The table owns its skins; a
// reload deletes them, so skin pointers do not outlive a reload. UI thread
// only.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <windows.h>

#include "ui/bkskinbase.h"

class BkSkin {
public:
    typedef CBkSkinBase* (*SkinCreator)();

    // Rebuilds the table from every source of the resource (program first,
    // then the resource folder); the first definition of a name wins and
    // elements of unknown skin classes are skipped. FALSE when no source
    // exists or none is a well-formed skin table.
    static BOOL LoadSkins();
    static BOOL LoadSkinsFromSources(const std::vector<std::string>& sources);
    // The skin, after asking it to load its image; null for an unknown name.
    static CBkSkinBase* GetSkin(const std::string& strName);

    // A new skin of the XML element name, or null when no skin class has it.
    static CBkSkinBase* CreateSkin(const std::string& strElement);
    // Adds a skin class beside the built-in ones (for skin classes that live
    // outside the framework library). A built-in name cannot be replaced.
    static void RegisterSkinClass(const std::string& strElement, SkinCreator pfnCreate);

    template <class T>
    static CBkSkinBase* Create() { return new T; }

private:
    typedef std::unordered_map<std::string, std::unique_ptr<CBkSkinBase>> Table;
    static Table& SkinTable();
    static BOOL AddSource(const std::string& strXml);
};
