#pragma once
// Helpers shared by the resource tests: the layouts and the skin table of the
// module this test program carries (the program's or the module library's).
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/bkpngpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"
#include "ui/bkdlgview.h"
#include "ui/bkwnd.h"
#include "ui/bkxml.h"

namespace resource_checks {

inline BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<UINT>*>(param)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

inline std::string Resource(UINT id, LPCWSTR type = L"xml") {
    std::string bytes;
    BkResManager::LoadFromModule(id, type, bytes);
    return bytes;
}

// Every XML resource of the program whose root is a layout.
inline std::map<UINT, std::string> ProgramLayouts() {
    std::vector<UINT> ids;
    ::EnumResourceNamesW(nullptr, L"XML", CollectName, reinterpret_cast<LONG_PTR>(&ids));
    std::map<UINT, std::string> layouts;
    for (UINT id : ids) {
        std::string xml = Resource(id);
        TiXmlDocument doc;
        if (BkParseXml(xml, doc) && doc.RootElement() && std::strcmp(doc.RootElement()->Value(), "layer") == 0)
            layouts[id] = xml;
    }
    return layouts;
}

struct SkinEntry {
    std::string element;
    int src = 0, subwidth = 0, left = 0, top = 0, marginBottom = 0, tileStretch = 0;
};

inline std::map<std::string, SkinEntry> SkinTableEntries() {
    std::map<std::string, SkinEntry> entries;
    TiXmlDocument doc;
    if (!BkParseXml(Resource(IDR_XML_SKIN_TABLE), doc) || !doc.RootElement()) return entries;
    for (const TiXmlElement* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        SkinEntry s;
        s.element = e->Value();
        e->Attribute("src", &s.src);
        e->Attribute("subwidth", &s.subwidth);
        e->Attribute("left", &s.left);
        e->Attribute("top", &s.top);
        e->Attribute("margin_bottom", &s.marginBottom);
        e->Attribute("tile_stretch", &s.tileStretch);
        entries[e->Attribute("name") ? e->Attribute("name") : ""] = s;
    }
    return entries;
}

// Sub-images a skin holds: image width over the sub-image width (1 without).
inline int SubImageCount(const SkinEntry& skin) {
    Gdiplus::Image* image = BkPngPool::Get(static_cast<UINT>(skin.src));
    if (image == nullptr || skin.subwidth <= 0) return 1;
    return static_cast<int>(image->GetWidth()) / skin.subwidth;
}

inline bool StyleExists(const std::string& name) {
    return name.empty() || &BkStyle::GetStyle(name) != &BkStyle::GetStyle(std::string());
}

// The program's layouts loaded into views on first use, to find items by id.
class LayoutViews {
public:
    LayoutViews() : layouts_(ProgramLayouts()) {}
    // The item, or null when the layout or the item is missing.
    CBkWindow* Find(UINT layout, UINT id) {
        auto& view = views_[layout];
        if (!view) {
            view.reset(new CBkDialogView);
            if (!layouts_.count(layout) || !view->XmlLoad(layouts_[layout])) return nullptr;
        }
        return view->FindControl(id);
    }

private:
    std::map<UINT, std::string> layouts_;
    std::map<UINT, std::unique_ptr<CBkDialogView>> views_;
};

class ProgramResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BkResManager::SetResourcePath(nullptr);
        ASSERT_TRUE(BkString::Load());
        ASSERT_TRUE(BkStyle::LoadStyles());
        ASSERT_TRUE(BkSkin::LoadSkins());
    }
};

} // namespace resource_checks
