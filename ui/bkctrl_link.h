#pragma once
// "link": a text control that the view counts as clickable; its text, style,
// hover font and colour are the base control's.
// "dlgbtn": a "dlg" container hit as a whole: its children only draw, and a
// click anywhere inside reports the dlgbtn itself.
#include "ui/bkcontainer.h"

class CBkLink : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("link")
};

class CBkDialogButton : public CBkDialog {
    BK_DECLARE_ELEMENT_NAME("dlgbtn")

public:
    BOOL Load(const TiXmlElement* pXmlElem) override;
};
