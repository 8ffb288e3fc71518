#include <gtest/gtest.h>

#include "platform/com_ptr.h"
#include "platform/gdi.h"

namespace {

TEST(Gdi, ObjectsAreDeletedAndSelectionsUndone) {
    HBRUSH raw = ::CreateSolidBrush(RGB(1, 2, 3));
    {
        platform::Brush brush(raw);
        EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
        platform::Brush moved(std::move(brush));
        EXPECT_FALSE(brush);
        EXPECT_EQ(moved.Get(), raw);
    }
    EXPECT_EQ(::GetObjectType(raw), 0u);  // deleted exactly once, by the last owner

    void* bits = nullptr;
    platform::Bitmap dib(platform::CreateDib32(8, 4, &bits));
    ASSERT_TRUE(dib);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(platform::CreateDib32(0, 4, &bits), nullptr);
    EXPECT_EQ(bits, nullptr);

    platform::MemoryDC dc;
    ASSERT_TRUE(dc);
    HGDIOBJ before = ::GetCurrentObject(dc, OBJ_BITMAP);
    {
        platform::SelectObjectScope select(dc, dib.Get());
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), dib.Get());
        platform::SaveDCScope save(dc);
        ::SetBkMode(dc, TRANSPARENT);
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), before);
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
}

class Counted : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = this; AddRef(); return S_OK; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(ComPtr, CountsReferences) {
    Counted obj;
    {
        auto p = platform::ComPtr<IUnknown>::Adopt(&obj);
        EXPECT_EQ(obj.refs, 1u);
        platform::ComPtr<IUnknown> copy = p;
        EXPECT_EQ(obj.refs, 2u);
        platform::ComPtr<IUnknown> q;
        EXPECT_EQ(p.QueryInterface(IID_IUnknown, &q), S_OK);
        EXPECT_EQ(obj.refs, 3u);
        copy = q;  // releases one, adds one
        EXPECT_EQ(obj.refs, 3u);
        platform::ComPtr<IUnknown> moved(std::move(copy));
        EXPECT_FALSE(copy);
    }
    EXPECT_EQ(obj.refs, 0u);
}

} // namespace
