#include "tests/ui_tree/tree_helpers.h"

#include <algorithm>
#include <ostream>
#include <tinyxml.h>

#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace tree_test {

std::unique_ptr<CBkDialog> LoadTree(const std::string& xml, int w, int h, int x, int y) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error() || doc.RootElement() == nullptr) return nullptr;
    std::unique_ptr<CBkDialog> root(new CBkDialog);
    if (!root->Load(doc.RootElement())) return nullptr;
    Place(root.get(), x, y, w, h);
    return root;
}

static std::vector<std::string> Sources(const std::string& xml) {
    return xml.empty() ? std::vector<std::string>() : std::vector<std::string>{xml};
}
void SetStyles(const std::string& xml) { BkStyle::LoadStylesFromSources(Sources(xml)); }
void SetStrings(const std::string& xml) { BkString::LoadFromSources(Sources(xml)); }

void Place(CBkWindow* wnd, int x, int y, int cx, int cy) {
    WINDOWPOS wp = {};
    wp.x = x, wp.y = y, wp.cx = cx, wp.cy = cy;
    wnd->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

} // namespace tree_test

std::ostream& operator<<(std::ostream& os, const RECT& rc) {
    return os << "(" << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom << ")";
}
