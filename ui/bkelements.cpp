// The element table of layouts: element name -> control class. The first
// matching name creates its class; names outside the table create nothing.
#include <cstring>

#include "ui/bkcontainer.h"
#include "ui/bkctrl_button.h"
#include "ui/bkctrl_check.h"
#include "ui/bkctrl_icon.h"
#include "ui/bkctrl_image.h"
#include "ui/bkctrl_imagex.h"
#include "ui/bkctrl_line.h"
#include "ui/bkctrl_link.h"
#include "ui/bkctrl_progress.h"
#include "ui/bkctrl_realwnd.h"
#include "ui/bkctrl_slider.h"
#include "ui/bkctrl_text.h"
#include "ui/bkrichtext.h"
#include "ui/bktabctrl.h"

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
    {"text", &Create<CBkStatic>},
    {"button", &Create<CBkButton>},
    {"img", &Create<CBkImageWnd>},
    {"img_h", &Create<CBKImageWndHeader>},
    {"imgbg", &Create<CBkImageBg>},
    {"scrollimg", &Create<CBkImageScroll>},
    {"progress", &Create<CBkProgress>},
    {"progressex", &Create<CBkProgressEx>},
    {"imgbtn", &Create<CBkImageBtnWnd>},
    {"skinbtn", &Create<CBkSkinBtnWnd>},
    {"realwnd", &Create<CBkRealWnd>},
    {"hr", &Create<CBkLine>},
    {"check", &Create<CBkCheckBox>},
    {"icon", &Create<CBkIconWnd>},
    {"tabctrl", &Create<CBkTabCtrl>},
    {"radio", &Create<CBkRadioBox>},
    {"richtext", &Create<CBkRichText>},
    {"link", &Create<CBkLink>},
    {"memimage", &Create<CBkMemoryImage>},
    {"storageimage", &Create<CBkStorageImage>},
    {"imgbtnsized", &Create<CBkImgbtnsized>},
    {"imggray", &Create<CBkImgGray>},
    {"imgex", &Create<CBkImageEx>},
    {"imgrotale", &Create<CBkImageRotale>},
    {"slider", &Create<BkSlider>},
    {"dlgbtn", &Create<CBkDialogButton>},
    {"hicon", &Create<CBkHIcon>},
};

} // namespace

CBkWindow* CBkDialog::CreateChildByName(LPCSTR lpszName) {
    if (lpszName == nullptr) return nullptr;
    for (const ElementEntry& entry : kElements) {
        if (std::strcmp(entry.name, lpszName) == 0) return entry.create ? entry.create() : nullptr;
    }
    return nullptr;
}
