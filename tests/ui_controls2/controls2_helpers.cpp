#include "tests/ui_controls2/controls2_helpers.h"

#include <tinyxml.h>

#include "ui/bkskin.h"
#include "ui/bkvalue.h"

namespace c2test {

Canvas::Canvas(int w, int h, COLORREF fill) : w_(w), h_(h) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    dc_ = ::CreateCompatibleDC(nullptr);
    bmp_ = ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = ::SelectObject(dc_, bmp_);
    const DWORD px = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    for (int i = 0; i < w * h; ++i) bits_[i] = px;
}

Canvas::~Canvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bmp_);
    ::DeleteDC(dc_);
}

COLORREF Canvas::At(int x, int y) const {
    ::GdiFlush();
    const DWORD px = bits_[y * w_ + x];
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

int Canvas::Count(const RECT& rc, COLORREF color) const {
    int n = 0;
    for (int y = std::max<int>(rc.top, 0); y < rc.bottom && y < h_; ++y)
        for (int x = std::max<int>(rc.left, 0); x < rc.right && x < w_; ++x)
            if (At(x, y) == color) ++n;
    return n;
}

HostWindow::HostWindow() {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &HostWindow::WndProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Controls2TestHost";
        atom = ::RegisterClassW(&wc);
    }
    hwnd_ = ::CreateWindowExW(0, L"Controls2TestHost", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200,
                              nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HostWindow::~HostWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK HostWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NOTIFY && self != nullptr) {
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr->code == BKNM_INVALIDATERECT) {
            ++self->invalidations;
            return 0;
        }
        Note note = {hdr->code, 0};
        if (hdr->code == BKNM_SLIDER_POSCHANGING || hdr->code == BKNM_SLIDER_POSCHANGED) {
            auto* nm = reinterpret_cast<BKNMSLIDERPOS*>(lp);
            note.item = nm->uItemID;
            note.oldPos = nm->nOldPos;
            note.newPos = nm->nNewPos;
            if (self->veto && hdr->code == BKNM_SLIDER_POSCHANGING) nm->nResult = 1;
        } else if (hdr->code == BKNM_REALWND_MOVED) {
            auto* nm = reinterpret_cast<const BKNMREALWNDRESIZED*>(lp);
            note.item = nm->uItemID;
            note.rc = nm->rcWnd;
        }
        self->notes.push_back(note);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

std::unique_ptr<CBkDialog> Load(const std::string& xml, HWND host, int w, int h) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error() || doc.RootElement() == nullptr) return nullptr;
    std::unique_ptr<CBkDialog> root(new CBkDialog);
    root->SetContainer(host);
    if (!root->Load(doc.RootElement())) return nullptr;
    root->SetContainer(host);
    Place(root.get(), 0, 0, w, h);
    return root;
}

void Place(CBkWindow* wnd, int x, int y, int cx, int cy) {
    WINDOWPOS wp = {};
    wp.x = x;
    wp.y = y;
    wp.cx = cx;
    wp.cy = cy;
    wnd->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

HRESULT ProbeSkin::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkSkinBase::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "cx") size.cx = BkParseInt(strValue);
    else if (strName == "cy") size.cy = BkParseInt(strValue);
    else if (strName == "color") color = BkParseColor(strValue);
    else return E_FAIL;
    return S_OK;
}

void ProbeSkin::Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) {
    lastCall = "Draw";
    lastDest = rcDraw;
    lastState = dwState;
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(hdc, &rcDraw, brush);
    ::DeleteObject(brush);
}

void ProbeSkin::DrawAlpha(HDC, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha) {
    lastCall = "DrawAlpha";
    lastDest = rcDest;
    lastSrc = rcSrc;
    lastAlpha = byAlpha;
}

void ProbeSkin::DrawStretch(HDC, const RECT& rcDest, const RECT& rcSrc) {
    lastCall = "DrawStretch";
    lastDest = rcDest;
    lastSrc = rcSrc;
}

void ProbeSkin::DrawGray(HDC, const RECT& rcDest, const RECT& rcSrc) {
    lastCall = "DrawGray";
    lastDest = rcDest;
    lastSrc = rcSrc;
}

void SetSkins(const std::string& xml) {
    BkSkin::RegisterSkinClass("probeskin", &BkSkin::Create<ProbeSkin>);
    std::vector<std::string> sources;
    if (!xml.empty()) sources.push_back(xml);
    BkSkin::LoadSkinsFromSources(sources);
}

ProbeSkin* Probe(const std::string& name) {
    return static_cast<ProbeSkin*>(BkSkin::GetSkin(name));
}

} // namespace c2test
