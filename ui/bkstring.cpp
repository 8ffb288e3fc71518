#include "ui/bkstring.h"

#include <tinyxml.h>

#include "platform/strconv.h"
#include "resources/resource_ids.h"
#include "ui/bkresmanager.h"
#include "ui/bkvalue.h"
#include "ui/bkxml.h"

std::unordered_map<UINT, std::wstring>& BkString::Table()
{
    static std::unordered_map<UINT, std::wstring> table;
    return table;
}

BOOL BkString::Load()
{
    return LoadFromSources(BkResManager::LoadAllSources(IDR_XML_STRING_TABLE, L"xml"));
}

BOOL BkString::LoadFromSources(const std::vector<std::string>& sources)
{
    Table().clear();
    BOOL loaded = FALSE;
    for (const std::string& source : sources) {
        if (AddSource(source))
            loaded = TRUE;
    }
    return loaded;
}

BOOL BkString::AddSource(const std::string& strXml)
{
    TiXmlDocument doc;
    if (!BkParseXml(strXml, doc))
        return FALSE;
    const TiXmlElement* root = doc.RootElement();
    if (root->ValueStr() != "string")
        return FALSE;
    auto& table = Table();
    for (const TiXmlElement* s = root->FirstChildElement("s"); s; s = s->NextSiblingElement("s")) {
        const std::string* idText = s->Attribute(std::string("id"));
        UINT id = 0;
        if (!idText || !BkParseId(*idText, &id))
            continue;   // no id, or not a number we can key on
        if (table.count(id))
            continue;   // an earlier definition wins
        const TiXmlNode* first = s->FirstChild();
        const TiXmlText* text = first ? first->ToText() : nullptr;
        table.emplace(id, text ? platform::Utf8ToWide(text->ValueStr()) : std::wstring());
    }
    return TRUE;
}

LPCWSTR BkString::Get(UINT uId)
{
    const auto& table = Table();
    auto it = table.find(uId);
    return it == table.end() ? nullptr : it->second.c_str();
}
