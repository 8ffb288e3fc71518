// The program's layouts, as the framework loads them from the program's
// resources: every skin, style and string a layout names must exist, every
// skin image must decode with per-pixel alpha and hold the sub-images its
// controls step through, and the menus and the icon must be there.
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/bkcontainer.h"
#include "ui/bkdlgview.h"
#include "ui/bkpngpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"
#include "ui/bkwnd.h"
#include "ui/bkxml.h"

namespace {

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<UINT>*>(param)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

std::string Resource(UINT id, LPCWSTR type = L"xml") {
    std::string bytes;
    BkResManager::LoadFromModule(id, type, bytes);
    return bytes;
}

// Every XML resource of the program whose root is a layout.
std::map<UINT, std::string> ProgramLayouts() {
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

std::map<std::string, SkinEntry> SkinTableEntries() {
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
int SubImageCount(const SkinEntry& skin) {
    Gdiplus::Image* image = BkPngPool::Get(static_cast<UINT>(skin.src));
    if (image == nullptr || skin.subwidth <= 0) return 1;
    return static_cast<int>(image->GetWidth()) / skin.subwidth;
}

bool StyleExists(const std::string& name) {
    return name.empty() || &BkStyle::GetStyle(name) != &BkStyle::GetStyle(std::string());
}

class ProgramResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BkResManager::SetResourcePath(nullptr);
        ASSERT_TRUE(BkString::Load());
        ASSERT_TRUE(BkStyle::LoadStyles());
        ASSERT_TRUE(BkSkin::LoadSkins());
    }
};

TEST_F(ProgramResources, EverySkinImageDecodesWithAlphaAndFitsItsParts) {
    auto skins = SkinTableEntries();
    ASSERT_FALSE(skins.empty());
    std::set<int> ids;
    for (const auto& entry : skins) {
        SCOPED_TRACE(entry.first);
        const SkinEntry& s = entry.second;
        ASSERT_EQ(s.element, "png");
        EXPECT_TRUE(ids.insert(s.src).second) << "resource id used twice";
        Gdiplus::Image* image = BkPngPool::Get(static_cast<UINT>(s.src));
        ASSERT_NE(image, nullptr);
        const int w = static_cast<int>(image->GetWidth()), h = static_cast<int>(image->GetHeight());
        ASSERT_GT(w, 0);
        ASSERT_GT(h, 0);
        EXPECT_TRUE(Gdiplus::IsAlphaPixelFormat(image->GetPixelFormat()));
        CBkSkinBase* skin = BkSkin::GetSkin(entry.first);
        ASSERT_NE(skin, nullptr);
        EXPECT_TRUE(skin->LazyLoad());
        if (s.subwidth > 0) {
            EXPECT_EQ(w % s.subwidth, 0) << "a strip of whole sub-images";
        }
        if (s.tileStretch) {
            // Eight-piece frames: the stretched column and row lie inside,
            // and the bottom part is the rest of the image below that row.
            EXPECT_LT(s.left, w);
            EXPECT_LT(s.top, h);
            EXPECT_EQ(s.marginBottom, h - s.top - 1);
        }
    }
}

TEST_F(ProgramResources, EveryLayoutLoadsAndEveryNameItUsesExists) {
    auto layouts = ProgramLayouts();
    for (UINT id : {IDR_LAYOUT_DOCK, IDR_LAYOUT_RESULT, IDR_LAYOUT_MINIDOCK, IDR_LAYOUT_DRAGBOX, IDR_LAYOUT_DRAGLINE,
                    IDR_LAYOUT_WEBVIEW, IDR_LAYOUT_WEBPANEL, IDR_LAYOUT_RECOVER, IDR_LAYOUT_SCOPE, IDR_LAYOUT_CHECK,
                    IDR_LAYOUT_MORESEARCH, IDR_LAYOUT_DOCK2})
        EXPECT_EQ(layouts.count(id), 1u) << "layout " << id;

    auto skins = SkinTableEntries();
    for (const auto& layout : layouts) {
        SCOPED_TRACE("layout " + std::to_string(layout.first));
        CBkDialogView view;
        ASSERT_TRUE(view.XmlLoad(layout.second));

        TiXmlDocument doc;
        ASSERT_TRUE(BkParseXml(layout.second, doc));
        const TiXmlElement* root = doc.RootElement();
        EXPECT_GT(std::atoi(root->Attribute("width") ? root->Attribute("width") : "0"), 0);
        EXPECT_GT(std::atoi(root->Attribute("height") ? root->Attribute("height") : "0"), 0);
        if (const char* frame = root->Attribute("frame")) {
            EXPECT_EQ(skins.count(frame), 1u) << "frame " << frame;
        }
        if (const char* title = root->Attribute("title")) {
            if (std::atoi(title) != 0) {
                EXPECT_NE(BkString::Get(static_cast<UINT>(std::atoi(title))), nullptr);
            }
        }

        std::vector<const TiXmlElement*> pending;
        for (const TiXmlElement* part = root->FirstChildElement(); part; part = part->NextSiblingElement())
            pending.push_back(part);
        while (!pending.empty()) {
            const TiXmlElement* e = pending.back();
            pending.pop_back();
            for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) pending.push_back(c);
            const std::string element = e->Value();
            const int cmdId = e->Attribute("id") ? std::atoi(e->Attribute("id")) : 0;
            SCOPED_TRACE(element + " id " + std::to_string(cmdId));
            if (element != "header" && element != "body" && element != "footer") {
                CBkWindow* made = CBkDialog::CreateChildByName(element.c_str());
                EXPECT_NE(made, nullptr) << "not an element of the framework";
                delete made;
            }
            for (const char* attr : {"skin", "ico", "mask"}) {
                const char* name = e->Attribute(attr);
                if (name == nullptr || *name == '\0') continue;
                auto skin = skins.find(name);
                ASSERT_NE(skin, skins.end()) << attr << " " << name;
                int sub = 0;
                if (element == "imgbtn" && skin->second.subwidth > 0) {
                    EXPECT_GE(SubImageCount(skin->second), 4) << name << ": normal, hover, pushed, disabled";
                }
                if (e->Attribute("sub", &sub)) {
                    EXPECT_LT(sub, SubImageCount(skin->second)) << name;
                }
            }
            if (const char* cls = e->Attribute("class")) {
                EXPECT_TRUE(StyleExists(cls)) << "class " << cls;
            }
            // %strN% references in texts.
            if (const char* text = e->GetText()) {
                for (const char* p = std::strstr(text, "%str"); p; p = std::strstr(p + 4, "%str")) {
                    int ref = std::atoi(p + 4);
                    EXPECT_NE(BkString::Get(static_cast<UINT>(ref)), nullptr) << "string " << ref;
                }
            }
        }
    }
}

TEST_F(ProgramResources, StylesNameOnlySkinsThatExist) {
    TiXmlDocument doc;
    ASSERT_TRUE(BkParseXml(Resource(IDR_XML_STYLE_TABLE), doc));
    auto skins = SkinTableEntries();
    for (const TiXmlElement* c = doc.RootElement()->FirstChildElement("class"); c; c = c->NextSiblingElement("class")) {
        if (const char* skin = c->Attribute("skin")) {
            EXPECT_EQ(skins.count(skin), 1u) << c->Attribute("name");
        }
    }
}

// The items the windows' code reaches by id, with the skin or class it
// relies on, and the sub-images its state changes step through.
TEST_F(ProgramResources, BarAndPanelItemsAreWhereTheWindowsLookForThem) {
    struct Item { UINT layout; UINT id; const char* element; const char* skin; const char* cls; int states; };
    const Item items[] = {
        {116, 1000, "img", "btn_all", nullptr, 3},       {116, 1001, "img", "btn_photo", nullptr, 3},
        {116, 1002, "img", "btn_movi", nullptr, 3},      {116, 1003, "img", "btn_music", nullptr, 3},
        {116, 1004, "img", "btn_document", nullptr, 3},  {116, 1005, "img", "btn_zip", nullptr, 3},
        {116, 1006, "img", "btn_all", nullptr, 3},       {116, 1007, "img", "btn_today", nullptr, 3},
        {116, 1008, "img", "btn_oneweek", nullptr, 3},   {116, 1009, "img", "btn_onemonth", nullptr, 3},
        {116, 1010, "img", "btn_more", nullptr, 3},      {116, 1011, "imgbtn", "btn_search", nullptr, 4},
        {116, 1012, "link", nullptr, "bgtext", 0},       {116, 1013, "imgbtn", "btn_closeedit", nullptr, 4},
        {116, 1014, "imgbtn", "btn_search_push", nullptr, 4}, {116, 1015, "imgbtn", "btn_setting", nullptr, 4},
        {116, 1016, "dlg", nullptr, "editbg", 0},        {116, 1018, "img", "right_logo", nullptr, 1},
        {117, 1000, "link", nullptr, "bluetext", 0},     {117, 200, "dlg", nullptr, nullptr, 0},
        {117, 204, "img", "loading_big", nullptr, 8},    {117, 100, "dlg", nullptr, nullptr, 0},
        {117, 600, "text", nullptr, "blacktext", 0},     {117, 602, "text", nullptr, "0404cdtext", 0},
        {117, 601, "link", nullptr, "bgtext3", 0},
        {120, 10000, "realwnd", nullptr, nullptr, 0},    {121, 1000, "link", nullptr, "bgtext3", 0},
        {121, 1001, "link", nullptr, "bgtext3", 0},      {124, 1002, "imgbtn", "btn_sys_close", nullptr, 4},
        {124, 5000, "dlg", nullptr, nullptr, 0},         {124, 5003, "realwnd", nullptr, nullptr, 0},
        {124, 5004, "imgbtn", nullptr, nullptr, 4},      {124, 5007, "richtext", nullptr, nullptr, 0},
        {124, 5008, "imgbtn", nullptr, nullptr, 4},      {124, 5010, "imgbtn", nullptr, nullptr, 4},
        {124, 6000, "dlg", nullptr, nullptr, 0},         {124, 6002, "text", nullptr, nullptr, 0},
        {124, 6003, "progress", nullptr, nullptr, 0},    {124, 6004, "imgbtn", nullptr, nullptr, 4},
        {124, 7000, "dlg", nullptr, nullptr, 0},         {124, 7002, "text", nullptr, nullptr, 0},
        {124, 7004, "imgbtn", nullptr, nullptr, 4},      {124, 7006, "imgbtn", nullptr, nullptr, 4},
        {124, 7008, "text", nullptr, "bluelink", 0},     {125, 501, "imgbtn", "btn_menu_gou", "cmn_imgbtn", 4},
        {125, 502, "imgbtn", "btn_menu_gou", "cmn_imgbtn", 4}, {125, 503, "imgbtn", "btn_menu_gou", "cmn_imgbtn", 4},
        {125, 401, "text", nullptr, "setting_btn_text", 0}, {125, 402, "text", nullptr, "setting_btn_text", 0},
        {125, 403, "text", nullptr, "setting_btn_text", 0}, {126, 1002, "imgbtn", "btn_sys_close", nullptr, 4},
        {126, 5000, "dlg", nullptr, nullptr, 0},         {126, 5001, "richtext", nullptr, nullptr, 0},
        {126, 5002, "check", nullptr, nullptr, 0},       {126, 5003, "imgbtn", "btn_recovery", nullptr, 4},
        {126, 5004, "text", nullptr, nullptr, 0},
        {115, 2000, "realwnd", nullptr, nullptr, 0},     {115, 2001, "realwnd", nullptr, nullptr, 0},
        {115, 2002, "realwnd", nullptr, nullptr, 0},     {115, 2003, "realwnd", nullptr, nullptr, 0},
        {115, 2004, "realwnd", nullptr, nullptr, 0},     {115, 2005, "realwnd", nullptr, nullptr, 0},
        {115, 2100, "dlg", nullptr, "editbg2", 0},       {115, 2101, "link", nullptr, "bgtext2", 0},
        {115, 1004, "text", nullptr, "bodertext", 0},    {118, 1000, "img_h", "btn_all", nullptr, 3},
        {118, 1010, "img_h", "btn_more", nullptr, 3},    {118, 1017, "img", "btn_moretype", "cmn_imgbtn", 4},
        {118, 999, "dlg", nullptr, "moresearch_frame", 0}, {118, 1016, "dlg", nullptr, "editbg", 0},
        {118, 1012, "link", nullptr, "bgtext", 0},       {118, 1011, "imgbtn", "btn_search", nullptr, 4},
        {118, 1013, "imgbtn", "btn_closeedit", nullptr, 4}, {118, 1014, "imgbtn", "btn_search_push", nullptr, 4},
        {118, 1015, "imgbtn", "btn_setting", nullptr, 4},
    };
    auto layouts = ProgramLayouts();
    auto skins = SkinTableEntries();
    std::map<UINT, std::unique_ptr<CBkDialogView>> views;
    for (const Item& item : items) {
        SCOPED_TRACE(std::to_string(item.layout) + "/" + std::to_string(item.id));
        auto& view = views[item.layout];
        if (!view) {
            view.reset(new CBkDialogView);
            ASSERT_TRUE(view->XmlLoad(layouts[item.layout]));
        }
        CBkWindow* wnd = view->FindControl(item.id);
        ASSERT_NE(wnd, nullptr);
        EXPECT_TRUE(wnd->IsClass(item.element));
        if (item.cls) {
            EXPECT_EQ(wnd->GetStyleName(), item.cls);
        }
        if (item.skin) {
            ASSERT_EQ(skins.count(item.skin), 1u);
            EXPECT_GE(SubImageCount(skins[item.skin]), item.states);
        }
    }
    EXPECT_FALSE(views[116]->FindControl(1013)->IsVisible(FALSE)) << "the clear button starts hidden";
    EXPECT_EQ(views[116]->FindControl(1012)->GetInnerText(), BkString::Get(2));
    EXPECT_EQ(views[117]->FindControl(1000)->GetInnerText(), std::wstring(5, L'\x00A0') + L"\x672C\x5730\x6587\x4EF6");
    EXPECT_FALSE(views[117]->FindControl(200)->IsVisible(FALSE));
    EXPECT_EQ(views[121]->FindControl(1000)->GetInnerText(), std::wstring(5, L'\x00A0') + L"\x7F51\x7EDC\x8D44\x6E90");
    EXPECT_EQ(views[125]->FindControl(401)->GetInnerText(), L"\x641C\x7D22\x7535\x8111\x6587\x4EF6");   // 搜索电脑文件
    EXPECT_EQ(views[125]->FindControl(402)->GetInnerText(), L"\x641C\x7D22\x5220\x9664\x6587\x4EF6");   // 搜索删除文件
    EXPECT_EQ(views[125]->FindControl(403)->GetInnerText(), L"\x641C\x7D22\x7F51\x7EDC\x8D44\x6E90");   // 搜索网络资源
    EXPECT_EQ(views[126]->FindControl(5002)->GetInnerText(), L"\x4E0D\x518D\x663E\x793A\x6B64\x5BF9\x8BDD\x6846");
    EXPECT_EQ(views[126]->FindControl(5004)->GetInnerText(), L"\x6211\x77E5\x9053\x4E86");   // 我知道了
    EXPECT_FALSE(views[115]->FindControl(2001)->IsVisible(FALSE)) << "the content edit shows on a click";
    for (UINT panel : {6000u, 7000u}) EXPECT_FALSE(views[124]->FindControl(panel)->IsVisible(FALSE)) << panel;
}

std::wstring MenuText(HMENU menu, UINT pos) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, pos, text, 64, MF_BYPOSITION);
    return text;
}

TEST_F(ProgramResources, MenusAndIcon) {
    struct Entry { UINT menu; UINT pos; UINT cmd; const wchar_t* text; };
    const Entry entries[] = {
        {IDR_MENU_DOCK, 0, 40008, L"\x6B63\x5219\x8868\x8FBE\x5F0F(&R\xFF09"},   // 正则表达式(&R）
        {IDR_MENU_DOCK, 1, 40010, L"\x5173\x95ED\x81F3\x6258\x76D8(&X)"},       // 关闭至托盘(&X)
        {IDR_MENU_TRAY, 0, 40016, L"\x8BBE\x7F6E(&S)"},                          // 设置(&S)
        {IDR_MENU_TRAY, 1, 40015, L"\x9000\x51FA(&X)"},                          // 退出(&X)
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.cmd);
        HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(e.menu));
        ASSERT_NE(menu, nullptr);
        HMENU popup = ::GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(::GetMenuItemCount(popup), 2);
        EXPECT_EQ(::GetMenuItemID(popup, e.pos), e.cmd);
        EXPECT_EQ(MenuText(popup, e.pos), e.text);
        ::DestroyMenu(menu);
    }
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_LUMSEK), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP bm = {};
        ::GetObjectW(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

} // namespace
