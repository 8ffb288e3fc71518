// The element table of layouts: element name -> control class. The first
// matching name creates its class; names outside the table create nothing.
#include <cstring>

#include "ui/bkcontainer.h"

namespace {

template <class T>
CBkWindow* Create() {
    return new T;
}

struct ElementEntry {
    const char* name;
    CBkWindow* (*create)();  // null: the control is not part of this build
};

// In lookup order. An entry without a creator is skipped like an unknown name.
const ElementEntry kElements[] = {
    {"dlg", &Create<CBkDialog>},
    {"text", nullptr},
    {"button", nullptr},
    {"img", nullptr},
    {"img_h", nullptr},
    {"imgbg", nullptr},
    {"scrollimg", nullptr},
    {"progress", nullptr},
    {"progressex", nullptr},
    {"imgbtn", nullptr},
    {"skinbtn", nullptr},
    {"realwnd", nullptr},
    {"hr", nullptr},
    {"check", nullptr},
    {"icon", nullptr},
    {"tabctrl", nullptr},
    {"radio", nullptr},
    {"richtext", nullptr},
    {"link", nullptr},
    {"memimage", nullptr},
    {"storageimage", nullptr},
    {"imgbtnsized", nullptr},
    {"imggray", nullptr},
    {"imgex", nullptr},
    {"imgrotale", nullptr},
    {"slider", nullptr},
    {"dlgbtn", nullptr},
    {"hicon", nullptr},
};

} // namespace

CBkWindow* CBkDialog::CreateChildByName(LPCSTR lpszName) {
    if (lpszName == nullptr) return nullptr;
    for (const ElementEntry& entry : kElements) {
        if (std::strcmp(entry.name, lpszName) == 0) return entry.create ? entry.create() : nullptr;
    }
    return nullptr;
}
