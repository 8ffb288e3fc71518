// The module library's resources: its four dialog layouts with the items
// its dialogs reach by id.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "drawing.h"
#include "resource_checks.h"

namespace {

using namespace resource_checks;

TEST_F(ProgramResources, ModuleDialogItemsAreWhereTheDialogsLookForThem) {
    struct Item { UINT layout; UINT id; const char* element; };
    const Item items[] = {
        {1, 100, "text"},      {1, 2, "imgbtn"},      {1, 10000, "realwnd"},
        {7, 100, "text"},      {7, 2, "imgbtn"},      {7, 103, "text"},       {7, 104, "progress"},
        {13, 100, "text"},     {13, 2, "imgbtn"},     {13, 103, "text"},      {13, 104, "progress"},
        {9, 99, "text"},       {9, 100, "imgbtn"},    {9, 102, "imgbtn"},     {9, 1469, "dlg"},
        {9, 1460, "radio"},    {9, 1461, "radio"},    {9, 1462, "radio"},     {9, 1463, "realwnd"},
        {9, 1464, "realwnd"},  {9, 1465, "realwnd"},  {9, 1466, "realwnd"},   {9, 1467, "check"},
    };
    LayoutViews views;
    for (const Item& item : items) {
        SCOPED_TRACE(std::to_string(item.layout) + "/" + std::to_string(item.id));
        CBkWindow* wnd = views.Find(item.layout, item.id);
        ASSERT_NE(wnd, nullptr);
        EXPECT_TRUE(wnd->IsClass(item.element));
    }
    // Texts the dialogs keep from their layouts.
    EXPECT_EQ(views.Find(13, 103)->GetInnerText(),
              L"\x6B63\x5728\x542F\x7528\x6570\x636E\x6062\x590D\x4E13\x4E1A\x7248\xFF0C\x8BF7\x7A0D\x7B49......");
    EXPECT_EQ(views.Find(9, 1460)->GetInnerText(),
              L"\x81EA\x52A8\xFF08\x4F7F\x7528IE\x7684\x4EE3\x7406\x8BBE\x7F6E\xFF09");   // 自动（使用IE的代理设置）
    EXPECT_EQ(views.Find(9, 1462)->GetInnerText(), L"SOCKS 5s");
}

TEST_F(ProgramResources, ModuleIconAndBrowserPages) {
    HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) ::DestroyIcon(icon);
    // The web window's own pages: 102 while a page loads, 101 when it fails.
    ExpectBrowserPages(102, 101);
}

// Ordinary windows: every pixel of each dialog is drawn.
TEST_F(ProgramResources, ModuleDialogsAreDrawnToTheirLastPixel) {
    const struct { UINT layout; SIZE size; } dialogs[] = {
        {1, {584, 452}}, {7, {378, 179}}, {9, {378, 240}}, {13, {378, 179}},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.layout);
        Drawing dlg(d.layout, d.size.cx, d.size.cy);
        ASSERT_TRUE(dlg.Made());
        // The web window's body is the browser's; the rest is the dialog's.
        const int untouched = dlg.Untouched();
        EXPECT_EQ(untouched, d.layout == 1 ? (584 - 2) * (452 - 32 - 9) : 0);
    }
}

} // namespace
