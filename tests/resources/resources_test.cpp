// The layouts of this test program's resources (the program's, or the
// module library's), as the framework loads them: every skin, style and
// string a layout names must exist, and every skin image must decode with
// per-pixel alpha and hold the sub-images its controls step through.
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
#include "resource_checks.h"

namespace {

using namespace resource_checks;

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
    ASSERT_FALSE(layouts.empty());
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

} // namespace
