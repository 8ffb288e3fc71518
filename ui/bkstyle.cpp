#include "ui/bkstyle.h"

#include <tinyxml.h>

#include "resources/resource_ids.h"
#include "ui/bkfontpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkvalue.h"
#include "ui/bkxml.h"

namespace {

int ClampAlpha(int value)
{
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// A font key must fit 16 bits; a larger number is refused rather than cut to
// some unrelated key.
bool ReadFont(const std::string& strValue, HFONT* pFont)
{
    DWORD key = BkParseHex(strValue);
    if (key > 0xFFFF)
        return false;
    *pFont = BkFontPool::GetFont(static_cast<BkFontKey>(key));
    return true;
}

} // namespace

BkStyle::BkStyle()
    : m_crBg(CLR_INVALID), m_crBgHover(CLR_INVALID), m_crText(CLR_INVALID), m_crHoverText(CLR_INVALID),
      m_crDisabledText(RGB(0xCC, 0xCC, 0xCC)), m_nTextAlign(DT_SINGLELINE | DT_BOTTOM), m_hFont(nullptr),
      m_hFontHover(nullptr), m_nMarginX(0), m_nMarginY(0), m_nSpacing(0), m_nLineSpacing(20),
      m_lpCursorName(IDC_ARROW), m_nShadow(0), m_nGdiplus(0), m_nGdiplusCalcText(0), m_nYaHeiResizeDisable(0),
      m_nTextRenderingHint(0), m_crShadow(RGB(1, 1, 1)), m_nAlphaBg(255), m_nAlphaText(254), m_nBgGdiplus(0)
{
}

HRESULT BkStyle::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading)
{
    HRESULT hr = CBkObject::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr))
        return hr;

    struct ColorField { const char* name; COLORREF BkStyle::*field; };
    static const ColorField colors[] = {
        {"crbg", &BkStyle::m_crBg}, {"crbghover", &BkStyle::m_crBgHover},
        {"crtext", &BkStyle::m_crText}, {"crhover", &BkStyle::m_crHoverText},
        {"crdisabled", &BkStyle::m_crDisabledText}, {"crshadow", &BkStyle::m_crShadow},
    };
    for (const ColorField& c : colors) {
        if (strName == c.name) {
            this->*c.field = BkParseColor(strValue);
            return S_FALSE;
        }
    }

    struct IntField { const char* name; int BkStyle::*field; };
    static const IntField ints[] = {
        {"x-margin", &BkStyle::m_nMarginX}, {"y-margin", &BkStyle::m_nMarginY},
        {"spacing", &BkStyle::m_nSpacing}, {"linespacing", &BkStyle::m_nLineSpacing},
        {"shadow", &BkStyle::m_nShadow}, {"gdiplus", &BkStyle::m_nGdiplus},
        {"bggdiplus", &BkStyle::m_nBgGdiplus}, {"gditxtrndhit", &BkStyle::m_nTextRenderingHint},
        {"gdipluscalctxt", &BkStyle::m_nGdiplusCalcText}, {"yhresizedisable", &BkStyle::m_nYaHeiResizeDisable},
    };
    for (const IntField& f : ints) {
        if (strName == f.name) {
            this->*f.field = BkParseInt(strValue);
            return S_OK;
        }
    }

    if (strName == "name") {
        m_strName = strValue;
        return S_OK;
    }
    if (strName == "skin") {
        m_strSkinName = strValue;
        return S_OK;
    }
    if (strName == "textmode") {
        m_nTextAlign = BkParseHex(strValue);
        return S_OK;
    }
    if (strName == "font" || strName == "hoverfont") {
        HFONT* target = strName == "font" ? &m_hFont : &m_hFontHover;
        return ReadFont(strValue, target) ? S_OK : E_FAIL;
    }
    // Opacities are bytes when drawn; keep them in range instead of wrapping.
    if (strName == "alphatxt") {
        m_nAlphaText = ClampAlpha(BkParseInt(strValue));
        return S_OK;
    }
    if (strName == "alphabg") {
        m_nAlphaBg = ClampAlpha(BkParseInt(strValue));
        return S_OK;
    }
    if (strName == "margin") {
        m_nMarginX = m_nMarginY = BkParseInt(strValue);
        return S_OK;
    }
    if (strName == "cursor")
        return BkParseCursor(strValue, &m_lpCursorName) ? S_FALSE : E_FAIL;
    return E_FAIL;
}

BkStyle::Pool& BkStyle::StylePool()
{
    static Pool pool;
    if (pool.empty())
        ResetPool(pool);
    return pool;
}

void BkStyle::ResetPool(Pool& pool)
{
    pool.clear();
    pool.emplace(std::string(), BkStyle());
}

BOOL BkStyle::LoadStyles()
{
    return LoadStylesFromSources(BkResManager::LoadAllSources(IDR_XML_STYLE_TABLE, L"xml"));
}

BOOL BkStyle::LoadStylesFromSources(const std::vector<std::string>& sources)
{
    ResetPool(StylePool());
    BOOL loaded = FALSE;
    for (const std::string& source : sources) {
        if (AddSource(source))
            loaded = TRUE;
    }
    return loaded;
}

BOOL BkStyle::AddSource(const std::string& strXml)
{
    TiXmlDocument doc;
    if (!BkParseXml(strXml, doc))
        return FALSE;
    const TiXmlElement* root = doc.RootElement();
    if (root->ValueStr() != "style")
        return FALSE;
    Pool& pool = StylePool();
    for (const TiXmlElement* cls = root->FirstChildElement("class"); cls; cls = cls->NextSiblingElement("class")) {
        const std::string* name = cls->Attribute(std::string("name"));
        if (!name || pool.count(*name))
            continue;   // unnamed, or an earlier definition wins
        // Build the entry in place: the pool must never hold a half-loaded
        // copy, and references handed out stay valid across inserts.
        BkStyle& style = pool.emplace(*name, BkStyle()).first->second;
        style.Load(cls);
    }
    return TRUE;
}

const BkStyle& BkStyle::GetStyle(const std::string& strName)
{
    Pool& pool = StylePool();
    auto it = pool.find(strName);
    if (it == pool.end())
        it = pool.find(std::string());
    return it->second;
}
