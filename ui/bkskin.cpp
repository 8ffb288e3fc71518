#include "ui/bkskin.h"

#include <tinyxml.h>

#include "resources/resource_ids.h"
#include "ui/bkbitmapskin.h"
#include "ui/bkpngskin.h"
#include "ui/bkresmanager.h"
#include "ui/bkxml.h"

namespace {

struct SkinClass {
    const char* element;
    BkSkin::SkinCreator create;
};

// The framework's own skin classes, by XML element name (exact,
// case-sensitive). The list grows as skin classes are added.
const SkinClass kBuiltinSkins[] = {
    {"imglst", &BkSkin::Create<CBkImageSkin>},
    {"imgframe", &BkSkin::Create<CBkSkinImgFrame>},
    {"button", &BkSkin::Create<CBkSkinButton>},
    {"imghorzex", &BkSkin::Create<CBkSkinImgHorzExtend>},
    {"gradation", &BkSkin::Create<CBkSkinGradation>},
    {"png", &BkSkin::Create<CBkPngSkin>},
    {"jpg", &BkSkin::Create<CBkJpgSkin>},
    {"skinpng", &BkSkin::Create<CBkNormalPngSkin>},
    {"skinjpg", &BkSkin::Create<CBkNormalJPGSkin>},
};

std::unordered_map<std::string, BkSkin::SkinCreator>& ExtraSkins()
{
    static std::unordered_map<std::string, BkSkin::SkinCreator> extra;
    return extra;
}

} // namespace

CBkSkinBase* BkSkin::CreateSkin(const std::string& strElement)
{
    for (const SkinClass& cls : kBuiltinSkins) {
        if (cls.element && strElement == cls.element)
            return cls.create();
    }
    auto it = ExtraSkins().find(strElement);
    return it != ExtraSkins().end() ? it->second() : nullptr;
}

void BkSkin::RegisterSkinClass(const std::string& strElement, SkinCreator pfnCreate)
{
    if (!pfnCreate)
        return;
    ExtraSkins()[strElement] = pfnCreate;
}

BkSkin::Table& BkSkin::SkinTable()
{
    static Table table;
    return table;
}

BOOL BkSkin::LoadSkins()
{
    return LoadSkinsFromSources(BkResManager::LoadAllSources(IDR_XML_SKIN_TABLE, L"xml"));
}

BOOL BkSkin::LoadSkinsFromSources(const std::vector<std::string>& sources)
{
    SkinTable().clear();
    BOOL loaded = FALSE;
    for (const std::string& source : sources) {
        if (AddSource(source))
            loaded = TRUE;
    }
    return loaded;
}

BOOL BkSkin::AddSource(const std::string& strXml)
{
    TiXmlDocument doc;
    if (!BkParseXml(strXml, doc))
        return FALSE;
    const TiXmlElement* root = doc.RootElement();
    if (root->ValueStr() != "skins")
        return FALSE;
    Table& table = SkinTable();
    for (const TiXmlElement* elem = root->FirstChildElement(); elem; elem = elem->NextSiblingElement()) {
        const std::string* name = elem->Attribute(std::string("name"));
        if (!name || table.count(*name))
            continue;   // unnamed, or an earlier definition wins
        std::unique_ptr<CBkSkinBase> skin(CreateSkin(elem->ValueStr()));
        if (!skin)
            continue;   // not a skin class of ours (e.g. "img")
        skin->Load(elem);
        table.emplace(*name, std::move(skin));
    }
    return TRUE;
}

CBkSkinBase* BkSkin::GetSkin(const std::string& strName)
{
    Table& table = SkinTable();
    auto it = table.find(strName);
    if (it == table.end())
        return nullptr;
    it->second->LazyLoad();
    return it->second.get();
}
