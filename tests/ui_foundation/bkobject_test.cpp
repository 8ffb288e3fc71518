#include <gtest/gtest.h>

#include <string>
#include <tinyxml.h>
#include <vector>

#include "ui/bkobject.h"

namespace {

// A two-level chain as controls build it: the derived class offers every name
// to its base first and handles it only when the base refuses.
class BaseObject : public CBkObject {
    BK_DECLARE_ELEMENT_NAME("base")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override {
        HRESULT hr = CBkObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr)) return hr;
        offered.push_back(name);
        if (name != "a") return E_FAIL;
        a = value;
        return S_OK;
    }
    std::vector<std::string> offered;
    std::string a;
};

class DerivedObject : public BaseObject {
    BK_DECLARE_ELEMENT_NAME("derived")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override {
        HRESULT hr = BaseObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr)) return hr;
        if (name == "a") derivedSawA = true;   // must never happen: the base took it
        if (name != "b") return hr;
        b = value;
        loadingSeen = loading;
        return S_FALSE;
    }
    void OnAttributesLoaded() override { ++loadedCalls; }

    std::string b;
    BOOL loadingSeen = FALSE;
    bool derivedSawA = false;
    int loadedCalls = 0;
};

TEST(BkObject, LoadOffersAttributesThroughTheChainNotifiesOnceAndNamesCompareWhole) {
    EXPECT_TRUE(FAILED(DerivedObject().SetAttribute("nosuch", "3", FALSE)));

    TiXmlDocument doc;
    doc.Parse("<derived z=\"0\" b=\"bee\" a=\"ay\" q=\"1\"/>");
    DerivedObject obj;
    EXPECT_TRUE(obj.Load(doc.RootElement()));
    EXPECT_EQ(obj.offered, (std::vector<std::string>{"z", "b", "a", "q"}));
    EXPECT_EQ(obj.a, "ay");
    EXPECT_EQ(obj.b, "bee");
    EXPECT_FALSE(obj.derivedSawA);
    EXPECT_TRUE(obj.loadingSeen);
    EXPECT_EQ(obj.loadedCalls, 1);
    EXPECT_TRUE(obj.Load(doc.RootElement()));   // a second load notifies once more, not twice
    EXPECT_EQ(obj.loadedCalls, 2);

    DerivedObject none;
    EXPECT_FALSE(none.Load(nullptr));
    EXPECT_EQ(none.loadedCalls, 0);
    // The element name is compared whole and exactly.
    EXPECT_TRUE(obj.IsClass("derived"));
    for (const char* other : {"derive", "derived2", "Derived", "", "base"}) EXPECT_FALSE(obj.IsClass(other)) << other;
    EXPECT_FALSE(obj.IsClass(nullptr));
}

} // namespace
