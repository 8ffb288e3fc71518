#include "ui/bkctrl_link.h"

BOOL CBkDialogButton::Load(const TiXmlElement* pXmlElem) {
    if (!CBkDialog::Load(pXmlElem)) return FALSE;
    m_nOnlyDrawChild = 1;
    return TRUE;
}
