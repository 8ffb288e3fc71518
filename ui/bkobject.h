#pragma once
// Root of every framework object that is built from an XML element: controls,
// styles and skins. The element's attributes reach the object one by one
// through SetAttribute; each class in the chain first offers the name to its
// base and handles it only when the base refuses it with a negative code.
#include <string>
#include <windows.h>

class TiXmlElement;

class CBkObject {
public:
    CBkObject() = default;
    virtual ~CBkObject() = default;

    // True when the name is exactly this object's element name.
    virtual BOOL IsClass(LPCSTR lpszName) const = 0;
    // The element name, e.g. "dlg", "text", "style".
    virtual LPCSTR GetObjectClass() const = 0;
    // Offers every attribute of the element in document order to SetAttribute
    // (loading = TRUE), then runs OnAttributesLoaded once. A null element
    // loads nothing and answers FALSE.
    virtual BOOL Load(const TiXmlElement* pXmlElem);
    virtual void OnAttributesLoaded() {}
    // Negative: not an attribute of this class (a derived class may take it);
    // S_OK: taken; S_FALSE: taken and the control must be repainted.
    virtual HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading);

protected:
    // Exact comparison of an element name, NUL included, so a name that only
    // shares a prefix does not match.
    static BOOL NameEquals(LPCSTR lpszName, LPCSTR lpszClass);
};

// Gives a class its element name: a static ElementName() for factories plus
// the two naming operations of CBkObject.
#define BK_DECLARE_ELEMENT_NAME(elementName)                                    \
public:                                                                         \
    static LPCSTR ElementName() { return elementName; }                         \
    BOOL IsClass(LPCSTR lpszName) const override { return NameEquals(lpszName, elementName); } \
    LPCSTR GetObjectClass() const override { return elementName; }
