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

// An HTML page of the browser, decoded from the GB2312 its charset names.
inline std::wstring BrowserPage(UINT id) {
    std::string bytes;
    if (!BkResManager::LoadFromModule(id, MAKEINTRESOURCEW(23), bytes) || bytes.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

// The loading and the error page of the browser: GB2312, Tahoma, no script,
// the texts in their order and the link to the product's site in a new window.
inline void ExpectBrowserPages(UINT loading, UINT error) {
    for (UINT id : {loading, error}) {
        SCOPED_TRACE(id);
        const std::wstring page = BrowserPage(id);
        ASSERT_FALSE(page.empty()) << "missing, or not GB2312";
        EXPECT_NE(page.find(L"charset=gb2312"), std::wstring::npos);
        EXPECT_NE(page.find(L"<title>Lumsek</title>"), std::wstring::npos);
        EXPECT_NE(page.find(L"font-family: Tahoma"), std::wstring::npos);
        std::wstring lower = page;
        ::CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
        EXPECT_EQ(lower.find(L"<script"), std::wstring::npos);
        EXPECT_EQ(lower.find(L"javascript:"), std::wstring::npos);
    }
    const std::wstring wait = BrowserPage(loading);
    // One centred cell of 378 x 305 with the text at 16 px.
    EXPECT_NE(wait.find(L"<td align=\"center\" valign=\"middle\">"), std::wstring::npos);
    EXPECT_NE(wait.find(L"<td class=\"cell\" width=\"378\" height=\"305\">"
                        L"\u6b63\u5728\u52a0\u8f7d\u9875\u9762\uff0c\u8bf7\u7a0d\u5019......</td>"),
              std::wstring::npos);
    EXPECT_NE(wait.find(L"td.cell { width: 378px; height: 305px;"), std::wstring::npos);
    EXPECT_NE(wait.find(L"font-size: 16px"), std::wstring::npos);

    const std::wstring failed = BrowserPage(error);
    const wchar_t* const texts[] = {
        L"\u65e0\u6cd5\u663e\u793a\u7f51\u9875\uff0c\u53ef\u80fd\u7684\u539f\u56e0\u662f\uff1a",  // 无法显示网页，可能的原因是：
        L"1\u3001\u672a\u8fde\u63a5\u5230Internet",                                            // 1、未连接到Internet
        L"2\u3001\u7f51\u7ad9\u9047\u5230\u95ee\u9898",                                        // 2、网站遇到问题
        L"\u8bf7\u60a8\u5c1d\u8bd5\u4ee5\u4e0b\u64cd\u4f5c\uff1a",                             // 请您尝试以下操作：
        L"1\u3001\u68c0\u67e5\u60a8\u7684Internet\u8fde\u63a5\u3002",                          // 1、检查您的Internet连接。
        L"\u5c1d\u8bd5\u8bbf\u95ee\u5176\u4ed6\u7f51\u7ad9\u4ee5\u786e\u4fdd\u5df2\u8fde\u63a5\u5230Internet\u3002",
        L"2\u3001<a href=\"http://www.lumsek.net/\" target=\"_blank\">"
        L"\u4e0e\u6211\u4eec\u8054\u7cfb\uff0c\u53cd\u9988\u95ee\u9898</a>",                  // 与我们联系，反馈问题
    };
    size_t at = 0;
    for (const wchar_t* text : texts) {
        const size_t found = failed.find(text, at);
        EXPECT_NE(found, std::wstring::npos) << "in order: " << testing::PrintToString(std::wstring(text));
        if (found != std::wstring::npos) at = found;
    }
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

} // namespace resource_checks
