#include "tests/ui_controls/controls_helpers.h"

#include <objidl.h>
#include <gdiplus.h>

#include "ui/bknotify.h"
#include "ui/bkskin.h"
#include "ui/bkvalue.h"

namespace ctrl_test {

std::vector<SkinCall>& RecordingSkin::Calls() {
    static std::vector<SkinCall> calls;
    return calls;
}

HRESULT RecordingSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    if (strName == "name") {
        name_ = strValue;
    } else if (strName == "colors") {
        size_t start = 0;
        while (start < strValue.size()) {
            size_t comma = strValue.find(',', start);
            if (comma == std::string::npos) comma = strValue.size();
            colors_.push_back(BkParseColor(strValue.substr(start, comma - start)));
            start = comma + 1;
        }
    } else if (strName == "cx") {
        size_.cx = BkParseInt(strValue);
    } else if (strName == "cy") {
        size_.cy = BkParseInt(strValue);
    } else {
        return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
    }
    return S_OK;
}

COLORREF RecordingSkin::ColorOf(DWORD index) const {
    if (colors_.empty()) return RGB(0, 0, 0);
    return index < colors_.size() ? colors_[index] : colors_[0];
}

namespace {

SkinCall NewCall(const std::string& skin, const char* op) {
    SkinCall call = {};
    call.skin = skin;
    call.op = op;
    return call;
}

void FillRect(HDC hdc, const RECT& rc, COLORREF color) {
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(hdc, &rc, brush);
    ::DeleteObject(brush);
}

} // namespace

void RecordingSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) {
    SkinCall call = NewCall(name_, "Draw");
    call.dest = rcDraw;
    call.index = dwState;
    Calls().push_back(call);
    FillRect(hdc, rcDraw, ColorOf(dwState));
}

void RecordingSkin::DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest,
                                       const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes) {
    SkinCall call = NewCall(name_, "DrawWithAttributes");
    call.dest = {rcDest.X, rcDest.Y, rcDest.X + rcDest.Width, rcDest.Y + rcDest.Height};
    call.src = {rcSrc.X, rcSrc.Y, rcSrc.X + rcSrc.Width, rcSrc.Y + rcSrc.Height};
    Calls().push_back(call);
    // An opaque image of the first colour, as large as the source asks.
    const COLORREF c = ColorOf(0);
    Gdiplus::Bitmap image(rcSrc.Width > 0 ? rcSrc.Width : 1, rcSrc.Height > 0 ? rcSrc.Height : 1,
                          PixelFormat32bppARGB);
    Gdiplus::Graphics g(&image);
    g.Clear(Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)));
    pGraphics->DrawImage(&image, rcDest, rcSrc.X, rcSrc.Y, rcSrc.Width, rcSrc.Height, Gdiplus::UnitPixel,
                         pAttributes);
}

void RecordingSkin::DrawToPoints(HDC, const POINT* pPoints, const RECT& rcSrc) {
    SkinCall call = NewCall(name_, "DrawToPoints");
    call.src = rcSrc;
    for (int i = 0; i < 3; ++i) call.points[i] = pPoints[i];
    Calls().push_back(call);
}

void RecordingSkin::DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) {
    SkinCall call = NewCall(name_, "DrawStretch");
    call.dest = rcDest;
    call.src = rcSrc;
    Calls().push_back(call);
    FillRect(hdc, rcDest, ColorOf(0));
}

void RecordingSkin::DrawTiled(HDC hdc, const RECT& rcDraw) {
    SkinCall call = NewCall(name_, "DrawTiled");
    call.dest = rcDraw;
    Calls().push_back(call);
    FillRect(hdc, rcDraw, ColorOf(0));
}

void SetSkins(const std::string& elements) {
    static bool registered = false;
    if (!registered) {
        BkSkin::RegisterSkinClass("tskin", &BkSkin::Create<RecordingSkin>);
        registered = true;
    }
    BkSkin::LoadSkinsFromSources({"<skins>" + elements + "</skins>"});
    RecordingSkin::Calls().clear();
}

NotifyRecorder::NotifyRecorder() {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &NotifyRecorder::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CtrlTestRecorder";
        atom = ::RegisterClassW(&wc);
    }
    hwnd_ = ::CreateWindowExW(0, L"CtrlTestRecorder", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
}

NotifyRecorder::~NotifyRecorder() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK NotifyRecorder::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    if (msg == WM_NOTIFY) {
        auto* self = reinterpret_cast<NotifyRecorder*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        auto* nm = reinterpret_cast<BKNMINVALIDATERECT*>(lp);
        if (self) self->records.push_back(Record{wp, nm->hdr, nm->uItemID, nm->rect});
        return 7;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Paint(CBkWindow* wnd, HDC hdc) {
    HDC dc = hdc;
    wnd->RedrawRegion(dc, nullptr);
}

CBkWindow* Find(CBkDialog* root, UINT id) {
    return root ? root->FindChildByCmdID(id) : nullptr;
}

} // namespace ctrl_test
