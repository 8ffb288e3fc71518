// The bar and the panel drawn by the framework from the program's layouts
// into a 32-bit bitmap, as the layered repaint draws them: the surfaces are
// opaque, the shadow margins translucent, the selected filter button shows
// its selected face. With LUMSEK_RENDER_DIR set (a Linux folder), each
// drawing is also written there as <layout>.bmp to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/gdi.h"
#include "resources/resource_ids.h"
#include "ui/bkdlgimpl.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace {

class LayoutDlg : public CBkDialogImpl<LayoutDlg> {
public:
    explicit LayoutDlg(UINT id) : CBkDialogImpl<LayoutDlg>(id) {}
    WINDOW_MAP_BEGIN(LayoutDlg)
        WINDOW_MAP_CHAIN(CBkDialogImpl<LayoutDlg>)
    WINDOW_MAP_END()
};

struct Pixel {
    int r, g, b, a;
};

class Drawing {
public:
    Drawing(UINT layout, int w, int h) : w_(w), h_(h), layout_(layout), dlg_(layout) {
        RECT rc = {0, 0, w, h};
        hwnd_ = dlg_.Create(nullptr, rc);
        ::MoveWindow(hwnd_, 0, 0, w, h, FALSE);
        bmp_.Reset(platform::CreateDib32(w, h, reinterpret_cast<void**>(&bits_)));
        Render("");
    }
    // Draws the view again (after its items changed); `suffix` names the
    // saved copy.
    void Render(const std::string& suffix) {
        if (bits_ == nullptr) return;
        std::fill(bits_, bits_ + w_ * h_, 0u);
        platform::SelectObjectScope select(mem_, bmp_.Get());
        // The view's own print path: its cached drawing, copied with its alpha.
        dlg_.GetViewControl().RequestFullRepaint();
        ::SendMessageW(dlg_.GetViewControl().Handle(), WM_PRINT, reinterpret_cast<WPARAM>(mem_.Get()), PRF_CLIENT);
        ::GdiFlush();
        Save(std::to_string(layout_) + suffix);
    }
    // Pixels the drawing never touched (an ordinary window shows them black).
    int Untouched() const {
        int count = 0;
        for (int i = 0; i < w_ * h_; ++i) count += bits_[i] == 0 ? 1 : 0;
        return count;
    }
    ~Drawing() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    bool Made() const { return hwnd_ != nullptr && bits_ != nullptr; }
    CBkDialogView& View() { return dlg_.GetViewControl(); }
    // Straight (not premultiplied) colour of a pixel, top-down coordinates.
    Pixel At(int x, int y) const {
        DWORD p = bits_[y * w_ + x];
        int a = p >> 24;
        auto un = [a](int c) { return a ? c * 255 / a : 0; };
        return {un((p >> 16) & 255), un((p >> 8) & 255), un(p & 255), a};
    }

private:
    void Save(const std::string& name) {
        const char* dir = std::getenv("LUMSEK_RENDER_DIR");
        if (dir == nullptr || *dir == '\0') return;
        std::string path = std::string("\\\\?\\unix") + dir + "/" + name + ".bmp";
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = w_;
        info.biHeight = -h_;   // top-down, as drawn
        info.biPlanes = 1;
        info.biBitCount = 32;
        BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof(file) + sizeof(info) + w_ * h_ * 4), 0, 0,
                                 static_cast<DWORD>(sizeof(file) + sizeof(info))};
        HANDLE out = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ::WriteFile(out, &file, sizeof(file), &written, nullptr);
        ::WriteFile(out, &info, sizeof(info), &written, nullptr);
        ::WriteFile(out, bits_, w_ * h_ * 4, &written, nullptr);
        ::CloseHandle(out);
    }

    int w_, h_;
    UINT layout_;
    LayoutDlg dlg_;
    HWND hwnd_ = nullptr;
    DWORD* bits_ = nullptr;
    platform::Bitmap bmp_;
    platform::MemoryDC mem_;
};

bool Near(const Pixel& p, int r, int g, int b) {
    return std::abs(p.r - r) <= 3 && std::abs(p.g - g) <= 3 && std::abs(p.b - b) <= 3 && p.a == 255;
}

class ProgramDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BkResManager::SetResourcePath(nullptr);
        ASSERT_TRUE(BkString::Load());
        ASSERT_TRUE(BkStyle::LoadStyles());
        ASSERT_TRUE(BkSkin::LoadSkins());
    }
};

TEST_F(ProgramDrawing, BarIsAnOpaqueSurfaceOnATranslucentShadow) {
    Drawing bar(IDR_LAYOUT_DOCK, 800, 73);
    ASSERT_TRUE(bar.Made());
    EXPECT_TRUE(Near(bar.At(400, 58), 0xFF, 0xFF, 0xFF));            // surface
    EXPECT_TRUE(Near(bar.At(4, 30), 0xDA, 0xDC, 0xE3));              // border
    EXPECT_GT(bar.At(2, 30).a, 0);                                   // shadow beside it
    EXPECT_LT(bar.At(2, 30).a, 128);
    EXPECT_LT(bar.At(400, 71).a, 64);                                // fading below it
    EXPECT_TRUE(Near(bar.At(8 + 28, 4), 0x33, 0x99, 0xFF));          // selected "all": accent outline
    EXPECT_TRUE(Near(bar.At(66 + 28, 4), 0xFF, 0xFF, 0xFF));         // pictures: plain
    // Hover and back: the face follows the "sub" attribute the bar sets.
    EXPECT_TRUE(bar.View().SetItemIntAttribute(1001, "sub", 1));
}

TEST_F(ProgramDrawing, PanelFrameLeavesNoHoleWhenTheListIsHidden) {
    Drawing panel(IDR_LAYOUT_RESULT, 800, 300);
    ASSERT_TRUE(panel.Made());
    for (POINT pt : {POINT{10, 10}, POINT{400, 150}, POINT{790, 280}, POINT{400, 5}})
        EXPECT_TRUE(Near(panel.At(pt.x, pt.y), 0xFF, 0xFF, 0xFF)) << pt.x << "," << pt.y;
    EXPECT_TRUE(Near(panel.At(4, 150), 0xDA, 0xDC, 0xE3));
    EXPECT_LT(panel.At(1, 150).a, 128);
    EXPECT_LT(panel.At(400, 299).a, 64);
}

TEST_F(ProgramDrawing, WebPanelHasNoHoleAndDialogsAreOpaqueInEveryPanel) {
    Drawing web(IDR_LAYOUT_WEBPANEL, 650, 300);
    ASSERT_TRUE(web.Made());
    EXPECT_TRUE(Near(web.At(400, 150), 0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(Near(web.At(400, 0), 0xDA, 0xDC, 0xE3));   // top border: it may hang under the result panel
    EXPECT_LT(web.At(400, 299).a, 64);

    Drawing tall(IDR_LAYOUT_DOCK2, 800, 171);
    ASSERT_TRUE(tall.Made());
    EXPECT_TRUE(Near(tall.At(400, 158), 0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(Near(tall.At(23, 60), 0xDA, 0xDC, 0xE3));   // outline beside the advanced-search popup

    // Ordinary windows: every pixel drawn, whichever panel shows.
    const struct { UINT layout; SIZE size; } dialogs[] = {
        {IDR_LAYOUT_SCOPE, {112, 86}}, {IDR_LAYOUT_CHECK, {314, 200}}, {IDR_LAYOUT_RECOVER, {378, 240}},
        {IDR_LAYOUT_MORESEARCH, {619, 93}},
    };
    for (const auto& d : dialogs) {
        const UINT layout = d.layout;
        const SIZE size = d.size;
        SCOPED_TRACE(layout);
        Drawing dlg(layout, size.cx, size.cy);
        ASSERT_TRUE(dlg.Made());
        EXPECT_EQ(dlg.Untouched(), 0);
        if (layout == IDR_LAYOUT_RECOVER) {
            for (UINT shown : {6000u, 7000u}) {
                for (UINT panel : {5000u, 6000u, 7000u}) dlg.View().SetItemVisible(panel, panel == shown);
                dlg.Render("-" + std::to_string(shown));
                EXPECT_EQ(dlg.Untouched(), 0) << shown;
            }
        }
    }
}

} // namespace
