#include "tests/ui_controls/controls_helpers.h"

#include <algorithm>
#include <sstream>

#include <objidl.h>
#include <gdiplus.h>

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
        std::istringstream in(strValue);
        for (std::string color; std::getline(in, color, ',');) colors_.push_back(BkParseColor(color));
    } else if (strName == "cx") {
        size_.cx = BkParseInt(strValue);
    } else if (strName == "cy") {
        size_.cy = BkParseInt(strValue);
    } else {
        return CBkSkinBase::SetAttribute(strName, strValue, bLoading);
    }
    return S_OK;
}

void RecordingSkin::Record(const char* op, HDC hdc, const RECT& dest, const RECT& src, DWORD index, int alpha) {
    SkinCall call = {};
    call.skin = name_;
    call.op = op;
    call.dest = dest;
    call.src = src;
    call.index = index;
    call.alpha = alpha;
    Calls().push_back(call);
    if (hdc == nullptr) return;
    COLORREF color = colors_.empty() ? RGB(0, 0, 0) : index < colors_.size() ? colors_[index] : colors_[0];
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(hdc, &dest, brush);
    ::DeleteObject(brush);
}

void RecordingSkin::DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest,
                                       const Gdiplus::Rect& rcSrc, Gdiplus::ImageAttributes* pAttributes) {
    Record("DrawWithAttributes", nullptr, Rect(rcDest.X, rcDest.Y, rcDest.X + rcDest.Width, rcDest.Y + rcDest.Height),
           Rect(rcSrc.X, rcSrc.Y, rcSrc.X + rcSrc.Width, rcSrc.Y + rcSrc.Height), 0);
    // An opaque image of the first colour that holds the source rectangle.
    const COLORREF c = colors_.empty() ? RGB(0, 0, 0) : colors_[0];
    Gdiplus::Bitmap image(std::max(rcSrc.X + rcSrc.Width, 1), std::max(rcSrc.Y + rcSrc.Height, 1),
                          PixelFormat32bppARGB);
    Gdiplus::Graphics g(&image);
    g.Clear(Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)));
    pGraphics->DrawImage(&image, rcDest, rcSrc.X, rcSrc.Y, rcSrc.Width, rcSrc.Height, Gdiplus::UnitPixel,
                         pAttributes);
}

void RecordingSkin::DrawToPoints(HDC, const POINT* pPoints, const RECT& rcSrc) {
    Record("DrawToPoints", nullptr, RECT{}, rcSrc, 0);
    for (int i = 0; i < 3; ++i) Calls().back().points[i] = pPoints[i];
}

void SetSkins(const std::string& elements) {
    static bool registered = false;
    if (!registered) {
        BkSkin::RegisterSkinClass("tskin", &BkSkin::Create<RecordingSkin>);
        registered = true;
    }
    BkSkin::LoadSkinsFromSources({"<skins>" + elements + "</skins>"});
    Calls().clear();
}

NotifyRecorder::NotifyRecorder()
    : window_([this](UINT msg, WPARAM, LPARAM lp, LRESULT& result) { return OnMessage(msg, lp, result); }) {}

bool NotifyRecorder::OnMessage(UINT msg, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    // Every control notification starts with the header and the item id.
    const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
    Record rec = {*hdr, reinterpret_cast<const BKNMCOMMAND*>(lp)->uItemID, 0, 0};
    result = 0;
    if (hdr->code == BKNM_INVALIDATERECT) {
        invalidated.push_back(rec.item);
        result = 7;
        return true;
    }
    if (hdr->code == BKNM_SLIDER_POSCHANGING || hdr->code == BKNM_SLIDER_POSCHANGED) {
        auto* nm = reinterpret_cast<BKNMSLIDERPOS*>(lp);
        rec.oldPos = nm->nOldPos;
        rec.newPos = nm->nNewPos;
        if (veto && hdr->code == BKNM_SLIDER_POSCHANGING) nm->nResult = 1;
    }
    records.push_back(rec);
    return true;
}

} // namespace ctrl_test
