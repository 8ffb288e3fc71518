#pragma once
// A layout drawn by the framework into a 32-bit bitmap through the view's
// print path, as the windows draw themselves. With LUMSEK_RENDER_DIR set (a
// Linux folder) each drawing is also written there as <name>.bmp.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/gdi.h"
#include "tests/support/test_support.h"
#include "ui/bkdlgimpl.h"

namespace resource_checks {

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
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = w_;
        info.biHeight = -h_;   // top-down, as drawn
        info.biPlanes = 1;
        info.biBitCount = 32;
        BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof(file) + sizeof(info) + w_ * h_ * 4), 0, 0,
                                 static_cast<DWORD>(sizeof(file) + sizeof(info))};
        std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
        bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
        bytes.append(reinterpret_cast<const char*>(bits_), w_ * h_ * 4);
        testing_support::WriteFileBytes(testing_support::UnixToWindowsPath(std::string(dir) + "/" + name + ".bmp"), bytes);
    }

    int w_, h_;
    UINT layout_;
    LayoutDlg dlg_;
    HWND hwnd_ = nullptr;
    DWORD* bits_ = nullptr;
    platform::Bitmap bmp_;
    platform::MemoryDC mem_;
};

inline bool Near(const Pixel& p, int r, int g, int b) {
    return std::abs(p.r - r) <= 3 && std::abs(p.g - g) <= 3 && std::abs(p.b - b) <= 3 && p.a == 255;
}

} // namespace resource_checks
