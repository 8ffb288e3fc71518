// The program's own resources: the items the windows' code reaches by id,
// the texts it does not set itself, the menus and the icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resource_checks.h"

namespace {

using namespace resource_checks;

TEST_F(ProgramResources, EveryLayoutOfTheProgramIsThere) {
    auto layouts = ProgramLayouts();
    for (UINT id : {IDR_LAYOUT_DOCK, IDR_LAYOUT_RESULT, IDR_LAYOUT_MINIDOCK, IDR_LAYOUT_DRAG_BOX, IDR_LAYOUT_DRAG_LINE,
                    IDR_LAYOUT_WEBVIEW, IDR_LAYOUT_WEBPANEL, IDR_LAYOUT_RECOVER, IDR_LAYOUT_SCOPE, IDR_LAYOUT_CHECK,
                    IDR_LAYOUT_MORESEARCH, IDR_LAYOUT_DOCK2}) {
        EXPECT_EQ(layouts.count(id), 1u) << "layout " << id;
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
    LayoutViews views;
    auto skins = SkinTableEntries();
    for (const Item& item : items) {
        SCOPED_TRACE(std::to_string(item.layout) + "/" + std::to_string(item.id));
        CBkWindow* wnd = views.Find(item.layout, item.id);
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
    EXPECT_FALSE(views.Find(116, 1013)->IsVisible(FALSE)) << "the clear button starts hidden";
    EXPECT_EQ(views.Find(116, 1012)->GetInnerText(), BkString::Get(2));
    EXPECT_EQ(views.Find(117, 1000)->GetInnerText(), std::wstring(5, L'\x00A0') + L"\x672C\x5730\x6587\x4EF6");
    EXPECT_FALSE(views.Find(117, 200)->IsVisible(FALSE));
    EXPECT_EQ(views.Find(121, 1000)->GetInnerText(), std::wstring(5, L'\x00A0') + L"\x7F51\x7EDC\x8D44\x6E90");
    EXPECT_EQ(views.Find(125, 401)->GetInnerText(), L"\x641C\x7D22\x7535\x8111\x6587\x4EF6");   // 搜索电脑文件
    EXPECT_EQ(views.Find(125, 402)->GetInnerText(), L"\x641C\x7D22\x5220\x9664\x6587\x4EF6");   // 搜索删除文件
    EXPECT_EQ(views.Find(125, 403)->GetInnerText(), L"\x641C\x7D22\x7F51\x7EDC\x8D44\x6E90");   // 搜索网络资源
    EXPECT_EQ(views.Find(126, 5002)->GetInnerText(), L"\x4E0D\x518D\x663E\x793A\x6B64\x5BF9\x8BDD\x6846");
    EXPECT_EQ(views.Find(126, 5004)->GetInnerText(), L"\x6211\x77E5\x9053\x4E86");   // 我知道了
    EXPECT_FALSE(views.Find(115, 2001)->IsVisible(FALSE)) << "the content edit shows on a click";
    for (UINT panel : {6000u, 7000u}) {
        EXPECT_FALSE(views.Find(124, panel)->IsVisible(FALSE)) << panel;
    }
}

// The result list draws its action buttons from these skins: a face for the
// normal and the hot state, each exactly as wide as its button and as tall as
// the bar, so no button falls back to its plain drawing.
TEST_F(ProgramResources, ActionBarButtonsHaveTheirSkins) {
    const struct { const char* skin; int width; } buttons[] = {
        {"btn_openfile", 46}, {"btn_openfolder", 70}, {"btn_copyfile", 48}, {"btn_copyfolder", 72},
        {"btn_recoverdelfile", 97},
    };
    auto skins = SkinTableEntries();
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.skin);
        ASSERT_EQ(skins.count(b.skin), 1u);
        const SkinEntry& entry = skins[b.skin];
        EXPECT_EQ(entry.subwidth, b.width);
        EXPECT_GE(SubImageCount(entry), 2);
        Gdiplus::Image* image = BkPngPool::Get(static_cast<UINT>(entry.src));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetHeight(), 24u);
        EXPECT_NE(BkSkin::GetSkin(b.skin), nullptr);
    }
}

std::wstring MenuText(HMENU menu, UINT pos) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, pos, text, 64, MF_BYPOSITION);
    return text;
}

TEST_F(ProgramResources, MenusIconAndPages) {
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
    // The browser's own pages, as res:// addresses them (type 23, HTML).
    ExpectBrowserPages(IDR_HTML_LOADING, IDR_HTML_ERROR);
}

} // namespace
