#pragma once
// Shared pieces of the control tests: a drawing surface, a stand-in view
// window that records notifications, and a skin that records how it is used.
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "ui/bkcontainer.h"
#include "ui/bknotify.h"
#include "ui/bkskinbase.h"

namespace c2test {

// A top-down 32-bit DIB in a memory DC, filled with one colour.
class Canvas {
public:
    Canvas(int w, int h, COLORREF fill = RGB(0x80, 0x80, 0x80));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const;
    // Pixels of exactly this colour inside rc.
    int Count(const RECT& rc, COLORREF color) const;

private:
    int w_, h_;
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// A notification as the host saw it.
struct Note {
    UINT code;
    UINT item;
    int oldPos = 0;
    int newPos = 0;
    RECT rc = {0, 0, 0, 0};
};

// A top-level window standing in for the view: controls send their
// notifications to it. vetoPos answers BKNM_SLIDER_POSCHANGING with a veto.
class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HWND hwnd() const { return hwnd_; }
    std::vector<Note> notes;
    bool veto = false;
    int invalidations = 0;

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
};

// Loads a "dlg" root from the text, gives it the host window (may be null)
// and places it at (0, 0) in a w x h area.
std::unique_ptr<CBkDialog> Load(const std::string& xml, HWND host, int w = 200, int h = 100);
void Place(CBkWindow* wnd, int x, int y, int cx, int cy);

// Skin "probe" (element "probeskin"): fixed size from its "cx"/"cy", records
// the last call; Draw fills the destination with its "color".
class ProbeSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("probeskin")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    void DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha) override;
    void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    SIZE GetSkinSize() override { return size; }
    BOOL LazyLoad() override { return TRUE; }

    SIZE size = {0, 0};
    COLORREF color = RGB(0, 0, 0);
    std::string lastCall;
    RECT lastDest = {0, 0, 0, 0};
    RECT lastSrc = {0, 0, 0, 0};
    DWORD lastState = 0;
    int lastAlpha = -1;
};

// Installs the probe skin class and a skin table of the given text.
void SetSkins(const std::string& xml);
ProbeSkin* Probe(const std::string& name);

} // namespace c2test

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
