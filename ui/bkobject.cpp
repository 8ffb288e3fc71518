#include "ui/bkobject.h"

#include <cstring>
#include <tinyxml.h>

BOOL CBkObject::Load(const TiXmlElement* pXmlElem)
{
    if (!pXmlElem)
        return FALSE;
    for (const TiXmlAttribute* attr = pXmlElem->FirstAttribute(); attr; attr = attr->Next()) {
        // Results are deliberately ignored: an attribute nobody takes leaves
        // the object as it was.
        SetAttribute(attr->NameTStr(), attr->ValueStr(), TRUE);
    }
    OnAttributesLoaded();
    return TRUE;
}

HRESULT CBkObject::SetAttribute(const std::string&, const std::string&, BOOL)
{
    return E_FAIL;
}

BOOL CBkObject::NameEquals(LPCSTR lpszName, LPCSTR lpszClass)
{
    if (!lpszName || !lpszClass)
        return FALSE;
    return std::strcmp(lpszName, lpszClass) == 0;
}
