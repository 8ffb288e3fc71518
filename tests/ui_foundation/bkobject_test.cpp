#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <tinyxml.h>

#include "ui/bkobject.h"

namespace {

// A two-level chain as controls build it: the derived class offers every name
// to its base first and handles it only when the base refuses.
class BaseObject : public CBkObject {
    BK_DECLARE_ELEMENT_NAME("base")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override
    {
        HRESULT hr = CBkObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr))
            return hr;
        offered.push_back(name);
        if (name == "a") {
            a = value;
            return S_OK;
        }
        return E_FAIL;
    }
    std::vector<std::string> offered;
    std::string a;
};

class DerivedObject : public BaseObject {
    BK_DECLARE_ELEMENT_NAME("derived")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override
    {
        HRESULT hr = BaseObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr))
            return hr;
        if (name == "b") {
            b = value;
            loadingSeen = loading;
            return S_FALSE;   // taken, needs a repaint
        }
        if (name == "a") {
            derivedSawA = true;   // must never happen: the base took it
            return S_OK;
        }
        return hr;
    }
    void OnAttributesLoaded() override { ++loadedCalls; }

    std::string b;
    BOOL loadingSeen = FALSE;
    bool derivedSawA = false;
    int loadedCalls = 0;
};

TiXmlElement Parse(const char* xml)
{
    TiXmlDocument doc;
    doc.Parse(xml);
    EXPECT_FALSE(doc.Error()) << xml;
    return *doc.RootElement();
}

TEST(BkObject, SetAttributeResultsFollowTheChain)
{
    DerivedObject obj;
    EXPECT_EQ(obj.SetAttribute("a", "1", FALSE), S_OK);
    EXPECT_FALSE(obj.derivedSawA);
    EXPECT_EQ(obj.SetAttribute("b", "2", FALSE), S_FALSE);
    HRESULT unknown = obj.SetAttribute("nosuch", "3", FALSE);
    EXPECT_TRUE(FAILED(unknown));
    EXPECT_EQ(obj.a, "1");
    EXPECT_EQ(obj.b, "2");

    CBkObject& root = obj;
    EXPECT_TRUE(FAILED(root.CBkObject::SetAttribute("a", "x", TRUE)));
}

TEST(BkObject, LoadOffersAttributesInDocumentOrderThenNotifiesOnce)
{
    TiXmlElement elem = Parse("<derived z=\"0\" b=\"bee\" a=\"ay\" q=\"1\"/>");
    DerivedObject obj;
    EXPECT_TRUE(obj.Load(&elem));
    EXPECT_EQ(obj.offered, (std::vector<std::string>{"z", "b", "a", "q"}));
    EXPECT_EQ(obj.a, "ay");
    EXPECT_EQ(obj.b, "bee");
    EXPECT_TRUE(obj.loadingSeen);
    EXPECT_EQ(obj.loadedCalls, 1);

    // A second load notifies once more, not twice.
    EXPECT_TRUE(obj.Load(&elem));
    EXPECT_EQ(obj.loadedCalls, 2);
}

TEST(BkObject, ElementWithoutAttributesOrWithUnknownOnesStillLoads)
{
    TiXmlElement bare = Parse("<derived/>");
    DerivedObject obj;
    EXPECT_TRUE(obj.Load(&bare));
    EXPECT_EQ(obj.loadedCalls, 1);

    TiXmlElement unknown = Parse("<derived color=\"red\" size=\"9\"/>");
    DerivedObject other;
    EXPECT_TRUE(other.Load(&unknown));
    EXPECT_EQ(other.loadedCalls, 1);
    EXPECT_TRUE(other.a.empty());
    EXPECT_TRUE(other.b.empty());
}

TEST(BkObject, NullElementLoadsNothing)
{
    DerivedObject obj;
    EXPECT_FALSE(obj.Load(nullptr));
    EXPECT_EQ(obj.loadedCalls, 0);
}

TEST(BkObject, IsClassComparesTheWholeName)
{
    DerivedObject obj;
    EXPECT_STREQ(obj.GetObjectClass(), "derived");
    EXPECT_STREQ(DerivedObject::ElementName(), "derived");
    EXPECT_TRUE(obj.IsClass("derived"));
    EXPECT_FALSE(obj.IsClass("derive"));
    EXPECT_FALSE(obj.IsClass("derived2"));
    EXPECT_FALSE(obj.IsClass("Derived"));
    EXPECT_FALSE(obj.IsClass(""));
    EXPECT_FALSE(obj.IsClass(nullptr));
    EXPECT_FALSE(obj.IsClass("base"));

    BaseObject base;
    EXPECT_TRUE(base.IsClass("base"));
    EXPECT_STREQ(base.GetObjectClass(), "base");
}

} // namespace
